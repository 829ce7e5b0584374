// Every box of every report unticked: through the real program over the
// traces of every plug-in, each report is opened and all its boxes
// unticked, the clean runs, and nothing on disk or in the registry changes.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { spawnSync } = require("node:child_process");
const { after, before, test } = require("node:test");
const h = require("./harness");

let browser;
let program;
let page;

const { command, waitForMode } = h.mainPage(() => page);

// Every file of drive C: (but the tests' own folder) with its size and write
// time, and every line of the registry as regedit exports it.
function picture() {
    const files = new Map();
    const walk = (folder) => {
        for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
            const full = path.join(folder, entry.name);
            if (entry.isDirectory() && full !== h.workDir()) walk(full);
            else if (entry.isFile()) {
                const facts = fs.statSync(full);
                files.set(full, `${facts.size} ${facts.mtimeMs}`);
            }
        }
    };
    walk(h.driveC());
    const exported = path.join(h.workDir(), "registry.reg");
    spawnSync("/usr/lib/wine/wine64", ["regedit", "/E", "C:\\e2e\\registry.reg"], { timeout: 120000 });
    const registry = new Set(fs.readFileSync(exported).toString("utf16le").split(/\r?\n/));
    fs.rmSync(exported);
    return { files, registry };
}

before(async () => {
    fs.mkdirSync(h.workDir(), { recursive: true });
    const seeded = h.seedTraces();  // every family
    assert.equal(seeded.status, 0, seeded.stderr);
    ({ browser, program, page } = await h.startWindow());
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
});

test("with every box of every report unticked, the clean changes nothing", async () => {
    await command("btn_checkall").click();
    await page.locator("#PluginsArea input:not(:checked)").first().waitFor({ state: "detached" });
    const ids = await page.locator("#PluginsArea button[pluginid]").evaluateAll((buttons) =>
        buttons.map((button) => button.getAttribute("pluginid")));
    const was = picture();
    await command("btn_scan").click();
    await waitForMode("btn_clean");

    let unticked = 0;
    for (const id of ids) {
        await page.locator(`#PluginsArea button[pluginid="${id}"]`).click();
        // The list marks the plug-in chosen once its report is in.
        await page.locator(`#PluginsArea li.selected button[pluginid="${id}"]`).waitFor();
        const ticked = page.locator(`#DetailsArea [data-group="plugin:${id}"] .keep-box:checked`);
        while ((await ticked.count()) > 0) {
            await ticked.first().uncheck();
            ++unticked;
        }
    }
    assert.ok(unticked > 0, program.trace());
    await command("btn_clean").click();
    await waitForMode("btn_finish");
    const is = picture();

    const changed = [...was.files].filter(([file, facts]) => is.files.get(file) !== facts)
        .map(([file]) => file);
    assert.deepEqual(changed, [], program.trace());
    const gone = [...was.registry].filter((line) => !is.registry.has(line));
    assert.deepEqual(gone, []);

    // The Netscape files go whole or not at all: their rows say why they stayed.
    for (const id of ["NetscapeHistory", "NetscapeFormsManager", "NetscapeCookies"]) {
        await page.locator(`#PluginsArea button[pluginid="${id}"]`).click();
        await page.locator(`#PluginsArea li.selected button[pluginid="${id}"]`).waitFor();
        await page.locator(`#DetailsArea [data-group="plugin:${id}"] tr`, { hasText: "Kept by you" })
            .first().waitFor({ timeout: 10000 });
    }
});
