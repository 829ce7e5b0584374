// Groups unticked in the scan report stay: through the real program over
// seeded Internet Explorer traces, a cookie domain, the whole forms
// auto-complete report and the History folder's own row are unticked, the
// clean runs, and exactly those stay (in the URL cache, the registry and on
// disk) and show as "Kept by you", while the other domain's cookies and the
// history entries beside the folder go.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { spawnSync } = require("node:child_process");
const { after, before, test } = require("node:test");
const h = require("./harness");

const PROVIDER = "HKCU\\Software\\Microsoft\\Protected Storage System Provider";
const FORMS_TYPE = "e161255a-37c3-11d2-bcaa-00c04fd929db";
const PLUGINS = ["IECookies", "IEFormsAutocomplete", "IEHistory"];

let browser;
let program;
let page;

const { command, item, waitForMode } = h.mainPage(() => page);
const report = () => page.locator("#DetailsArea");
const domainRow = (name) => report().locator(`tr:has(> td:text-is("${name}"))`);

// The forms items the registry holds now, by name.
function formItems() {
    const listed = spawnSync("/usr/lib/wine/wine64", ["reg", "query", PROVIDER, "/s"], { encoding: "utf8" });
    const prefix = `\\${FORMS_TYPE}\\${FORMS_TYPE}\\`;
    return listed.stdout.split("\n").map((line) => line.trim())
        .filter((line) => line.includes(prefix))
        .map((line) => line.slice(line.indexOf(prefix) + prefix.length)).sort();
}

// The seeded file of one day of the History folder, wherever Wine keeps it.
function historyDayFile() {
    const found = [];
    const walk = (folder, depth) => {
        for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
            const full = path.join(folder, entry.name);
            if (entry.isDirectory() && !entry.isSymbolicLink() && depth < 8) walk(full, depth + 1);
            else if (entry.name === "visits.dat" && folder.endsWith("MSHist012026120120261208")) found.push(full);
        }
    };
    walk(path.join(h.driveC(), "users"), 0);
    assert.equal(found.length, 1, found.join(","));
    return found[0];
}

async function showReport(id) {
    await item(id).locator(".plugin-name").click();
    await report().locator(`[data-group="plugin:${id}"]`).first().waitFor();
}

async function scan() {
    await command("btn_scan").click();
    await waitForMode("btn_clean");
}

before(async () => {
    const seeded = h.seedTraces("browser");
    assert.equal(seeded.status, 0, seeded.stderr);
    ({ browser, program, page } = await h.startWindow());
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
});

test("an unticked domain, plug-in and folder stay and show as kept by you", async () => {
    const formsBefore = formItems();
    assert.ok(formsBefore.includes("username:StringData"), formsBefore.join(","));
    const dayFile = historyDayFile();

    await command("btn_uncheckall").click();
    await page.locator("#PluginsArea input:checked").first().waitFor({ state: "detached" });
    for (const id of PLUGINS) await item(id).locator("input").click();
    await scan();

    await showReport("IECookies");
    await report().locator('tr[data-group="IECookies/domain:cookies.test"] .keep-box').uncheck();
    // The group's rows follow it: each of its cookies is unticked too.
    const keptCookies = report().locator('tr[data-in-group="IECookies/domain:cookies.test"] .keep-box');
    assert.ok(await keptCookies.count() >= 1);
    for (const box of await keptCookies.all()) assert.equal(await box.isChecked(), false);
    await showReport("IEFormsAutocomplete");
    await report().locator('[data-group="plugin:IEFormsAutocomplete"] .keep-box').first().uncheck();
    await showReport("IEHistory");
    const folderRow = report().locator('tr[data-item^="folder:"]');
    assert.equal(await folderRow.count(), 1);
    await folderRow.locator(".keep-box").uncheck();

    await command("btn_clean").click();
    await waitForMode("btn_finish");

    assert.deepEqual(formItems(), formsBefore);
    assert.equal(fs.readFileSync(dayFile, "utf8"), "visited pages");

    await showReport("IECookies");
    await domainRow("cookies.test").filter({ hasText: "Kept by you" }).waitFor();
    assert.equal(await domainRow("tracker.ads.test").filter({ hasText: "Kept by you" }).count(), 0);
    await showReport("IEFormsAutocomplete");
    await domainRow("bank.test").filter({ hasText: "Kept by you" }).waitFor();
    await domainRow("control username").filter({ hasText: "Kept by you" }).waitFor();
    await showReport("IEHistory");
    await report().locator("tr", { hasText: "Kept by you" }).first().waitFor();
    assert.equal(await report().locator("tr", { hasText: "Kept by you" }).count(), 1);

    // What the URL cache holds now, as a fresh scan reads it: the kept
    // domain's cookies and nothing else of the cookies or the history.
    await command("btn_finish").click();
    await waitForMode("btn_checkall");
    await scan();
    await showReport("IECookies");
    await domainRow("cookies.test").waitFor();
    assert.equal(await domainRow("tracker.ads.test").count(), 0);
    await showReport("IEHistory");
    assert.equal(await report().locator('tr[data-group^="IEHistory/domain:"]').count(), 0);
    assert.equal(await report().locator('tr[data-item^="folder:"]').count(), 1);
});
