// Rows unticked in the scan report stay: through the real program over
// seeded traces, a single registry value of the Run history and the whole
// report of the Find history are unticked (the choice surviving a switch
// between the reports), the clean runs, and exactly those stay in the
// registry and show as "Kept by you" while the rest goes.
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const { after, before, test } = require("node:test");
const h = require("./harness");

const EXPLORER = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
const RUN_MRU = EXPLORER + "RunMRU";
const FIND_MRU = EXPLORER + "FindComputerMRU";

let browser;
let program;
let page;

const { command, item, waitForMode } = h.mainPage(() => page);

// The names of a key's values, as reg lists them; the key must be there.
function valueNames(key) {
    const listed = spawnSync("/usr/lib/wine/wine64", ["reg", "query", key], { encoding: "utf8" });
    assert.equal(listed.status, 0, `reg query ${key}: ${listed.stderr} ${listed.error || ""}`);
    return listed.stdout.split("\n").map((line) => line.trim().split(/\s{2,}|\t/))
        .filter((parts) => parts.length >= 2 && parts[1].startsWith("REG_"))
        .map((parts) => parts[0]);
}

async function showReport(id) {
    await item(id).locator(".plugin-name").click();
    await page.locator(`#DetailsArea [data-group="plugin:${id}"] .keep-box`).first().waitFor();
}

before(async () => {
    const seeded = h.seedTraces("standard");
    assert.equal(seeded.status, 0, seeded.stderr);
    ({ browser, program, page } = await h.startWindow());
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
});

test("an unticked row and an unticked plug-in stay and show as kept by you", async () => {
    const runBefore = valueNames(RUN_MRU);
    const findBefore = valueNames(FIND_MRU);
    assert.ok(runBefore.length > 2 && findBefore.length > 2, runBefore.join(","));

    await command("btn_uncheckall").click();
    await page.locator("#PluginsArea input:checked").first().waitFor({ state: "detached" });
    for (const id of ["RunHistory", "FindHistory"]) await item(id).locator("input").click();
    await command("btn_scan").click();
    await waitForMode("btn_clean");

    await showReport("RunHistory");
    const keptRow = page.locator("#DetailsArea tr[data-item]").first();
    const keptText = await keptRow.innerText();
    await keptRow.locator(".keep-box").uncheck();
    await showReport("FindHistory");
    await page.locator('#DetailsArea [data-group="plugin:FindHistory"] .keep-box').first().uncheck();
    // Back again: the row is still unticked.
    await showReport("RunHistory");
    assert.equal(await page.locator("#DetailsArea tr[data-item]").first()
        .locator(".keep-box").isChecked(), false);

    await command("btn_clean").click();
    await waitForMode("btn_finish");

    assert.deepEqual(valueNames(FIND_MRU).sort(), findBefore.sort(), program.trace());
    const runLeft = valueNames(RUN_MRU);
    assert.equal(runLeft.length, 1, runLeft.join(","));
    assert.ok(keptText.includes(runLeft[0]), `${keptText} / ${runLeft[0]}`);

    await item("RunHistory").locator(".plugin-name").click();
    const keptRows = page.locator("#DetailsArea tr", { hasText: "Kept by you" });
    await keptRows.first().waitFor();
    assert.equal(await keptRows.count(), 1);
    await item("FindHistory").locator(".plugin-name").click();
    await page.locator("#DetailsArea tr", { hasText: "Kept by you" }).first().waitFor();
    assert.equal(await page.locator("#DetailsArea .keep-box").count(), 0);
});
