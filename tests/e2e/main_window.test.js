// The main window in a real browser over seeded traces: the layout of each
// mode, a scan and a clean, switching reports, cancelling and aborting,
// the settings, About and hiding to the notification area. A screenshot of
// each mode is kept under the build folder.
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, test } = require("node:test");
const h = require("./harness");

const { SHOTS } = h;
const RUN = ["RunHistory", "FindHistory", "WinRecUsed", "Clipboard"];  // WinRecUsed weighs most

let browser;
let program;
let page;

const { command, dialog, item, waitForMode } = h.mainPage(() => page);

async function shot(name) {
    await page.screenshot({ path: path.join(SHOTS, name + ".png") });
}

async function tickOnly(ids) {
    await command("btn_uncheckall").click();
    await page.locator('#PluginsArea input:checked').first().waitFor({ state: "detached" });
    for (const id of ids) await item(id).locator("input").click();
}

before(async () => {
    fs.mkdirSync(SHOTS, { recursive: true });
    const seeded = h.seedTraces("standard,system");
    assert.equal(seeded.status, 0, seeded.stderr);
    h.recordShellOpens();
    ({ browser, program, page } = await h.startWindow());
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
});

test("the idle layout lists every plug-in under its category", async () => {
    const listing = spawnSync("/usr/lib/wine/wine64",
                              ["C:\\Program Files\\Veltrane\\veltrane.exe", "/list", "/json"],
                              { encoding: "utf8", timeout: 60000 });
    const plugins = JSON.parse(listing.stdout).plugins;
    assert.equal(await page.locator("#PluginsArea li").count(), plugins.length);
    const headings = { "System plugins": "System", "IE & AOL plugins": "Internet Explorer & AOL" };
    for (const plugin of plugins.filter((p) => headings[p.category])) {
        const section = page.locator(".category", { has: page.locator(`button[pluginid="${plugin.id}"]`) });
        assert.equal(await section.locator("h3").textContent(), headings[plugin.category], plugin.id);
    }
    assert.equal(await page.locator(".step.active").textContent(), "1Choose and scan");
    await item("Clipboard").locator(".plugin-name").hover();
    await page.locator("#InfoArea p").waitFor();
    await shot("mode0-idle");
});

test("unticking all disables Scan; ticking one enables it", async () => {
    await command("btn_uncheckall").click();
    await page.locator("#ButtonsControlArea button.primary:disabled").waitFor();
    assert.equal(await command("btn_scan").count(), 0);
    await tickOnly(RUN);
    await command("btn_scan").waitFor();
});

test("a scan shows live row states, then the heaviest plug-in's report", async () => {
    await page.evaluate(() => {
        window.rowStates = new Set();
        window.rows = new Set();
        new MutationObserver((changes) => {
            for (const change of changes) {
                const target = change.target;
                if (target.id && target.id.startsWith("ProcessTableRowStatus_")) {
                    window.rows.add(target.id.slice("ProcessTableRowStatus_".length));
                    if (target.dataset.state) window.rowStates.add(target.dataset.state);
                }
            }
        }).observe(document.body, { subtree: true, attributes: true, attributeFilter: ["data-state"] });
    });
    await command("btn_scan").click();
    await waitForMode("btn_clean");
    const seen = await page.evaluate(() => [[...window.rows].sort(), [...window.rowStates].sort()]);
    assert.deepEqual(seen[0], [...RUN].sort());
    assert.ok(seen[1].includes("processing") && seen[1].includes("finished"), seen[1].join());

    assert.equal(await page.locator("#PluginsArea li.selected").count(), 1);
    assert.equal(await item("WinRecUsed").getAttribute("class"), "selected");
    assert.notEqual((await page.locator("#DetailsArea").innerHTML()).trim(), "");
    // Only plug-ins of the scan can be ticked for the clean.
    assert.equal(await item("IEHistory").locator("input").isDisabled(), true);
    assert.equal(await item("FindHistory").locator("input").isDisabled(), false);
    await shot("mode2-scan-results");
});

test('"name" switches the report and moves the selection; plug-ins not run stay put', async () => {
    const before = await page.locator("#DetailsArea").innerHTML();
    await item("Clipboard").locator(".plugin-name").click();
    await page.locator('#PluginsArea li.selected button[pluginid="Clipboard"]').waitFor();
    assert.notEqual(await page.locator("#DetailsArea").innerHTML(), before);
    await item("IEHistory").locator(".plugin-name").click();
    await page.waitForTimeout(500);
    assert.equal(await item("Clipboard").getAttribute("class"), "selected");
});

test("Back returns to the idle layout", async () => {
    await command("btn_back").click();
    await waitForMode("btn_checkall");
    assert.equal(await page.locator("#PluginsArea li.selected").count(), 0);
});

test("About shows the version from the program's resource", async () => {
    await command("btn_about").click();
    await dialog().locator("#AboutInfo .version").waitFor();
    assert.equal(await dialog().locator("#AboutInfo .version").textContent(), "Version 1.0.0.0");
    await shot("dialog-about");
    await dialog().locator('#control[cid="btn_close"]').click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
});

test("closing hides the window to the notification area; a second start brings it back", async () => {
    await page.locator(".app-header .close").click();
    await page.locator('body[data-window="hidden"]').waitFor();
    assert.equal(await page.locator("#Layout").isVisible(), false);
    await shot("hidden");
    const second = h.startProgram();
    assert.equal(await second.exited, 1);
    await page.locator('body[data-window="shown"]').waitFor();
    assert.equal(await page.locator("#Layout").isVisible(), true);
});

test("settings: Cancel changes nothing, OK stores the options at once", async () => {
    const options = "HKLM\\SOFTWARE\\Veltrane\\Options";
    await command("btn_settings").click();
    const box = (id) => dialog().locator("#" + id);
    await box("cb_TrayHide[checked]").waitFor();
    assert.equal(await box("cb_TrayHide").isChecked(), true);
    assert.equal(await box("cb_OverWrite").isChecked(), false);
    await box("cb_OverWrite").click();
    await box("btn_Cancel").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });

    await command("btn_settings").click();
    await box("cb_TrayHide[checked]").waitFor();
    assert.equal(await box("cb_OverWrite").isChecked(), false);
    await box("cb_OverWrite").click();
    await box("cb_BootStartup").click();
    await box("cb_TrayHide").click();
    await shot("dialog-settings");
    await box("btn_Ok").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    await h.waitFor(() => h.registryValue(options, "OverWrite") === "1", "the options to be saved");

    await command("btn_scan").click();
    await waitForMode("btn_clean");
    assert.equal(h.registryValue(options, "HideOnExit"), "0");
    assert.equal(h.registryValue(options, "BootStartup"), "1");
    assert.equal(h.registryValue("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Veltrane"),
                 '"C:\\Program Files\\Veltrane\\veltrane.exe"');
});

test("Clean shows the clean reports; an error link explains the item; Finish notices the reboot", async () => {
    await command("btn_clean").click();
    await waitForMode("btn_finish");
    assert.equal(await page.locator(".step.active").textContent(), "3Report");
    assert.notEqual((await page.locator("#DetailsArea").innerHTML()).trim(), "");
    await shot("mode4-clean-results");

    // Windows keeps the Run history until it restarts: its items link to why.
    await item("RunHistory").locator(".plugin-name").click();
    const link = page.locator('#DetailsArea [cid^="idError_"]').first();
    await link.click();
    await dialog().locator("#ReasonErrorArea").filter({ hasText: "Windows is cashing Run history." }).waitFor();
    assert.equal(await dialog().locator("#DefErrorArea").textContent(),
                 "Cleanup process will be completed after system reboot.");
    await shot("dialog-error");
    await dialog().locator("#btn_close").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    await link.click();
    await dialog().locator("#ReasonErrorArea").filter({ hasText: "Run history" }).waitFor();

    await command("btn_finish").click();
    const notice = page.frameLocator('.dialog-cover iframe[src*="DlgNotice.htm"]');
    await notice.locator("#NoticeText").filter({ hasText: "Please reboot system" }).waitFor();
    assert.equal(await notice.locator("#NoticeText").textContent(),
                 "Please reboot system to complete cleanup process.");
    await shot("notice-reboot");
    await notice.locator("#btn_ok").click();
    await waitForMode("btn_checkall");
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
});

test("Cancel during a scan returns to idle", async () => {
    await command("btn_checkall").click();
    await command("btn_scan").click();
    await command("btn_cancel").waitFor();
    await page.locator("#HintText h1").waitFor();
    await shot("mode1-scanning");
    await command("btn_cancel").click();
    await waitForMode("btn_checkall");
});

test("Abort during a clean ends with the clean reports", async () => {
    await command("btn_scan").click();
    await waitForMode("btn_clean");
    await command("btn_clean").click();
    await command("btn_abort").waitFor();
    await page.locator("#HintText h1").waitFor();
    await shot("mode3-cleaning");
    await command("btn_abort").click();
    await waitForMode("btn_finish");
});
