// The cookie keep-list and the options in a real browser over seeded IE
// cookies: the keep toggle of a scan row stores the domain at once, Settings
// adds and removes domains (a list of 10,000 characters as well), the clean
// report shows the kept domains as kept, and a start shows "BootStartup" as
// the autostart entry says.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, test } = require("node:test");
const h = require("./harness");

const { SHOTS } = h;
const OPTIONS = "HKLM\\SOFTWARE\\Veltrane\\Options";

let browser;
let program;
let page;

const { command, dialog, item, waitForMode } = h.mainPage(() => page);
const reportRow = (domain) => page.locator(`#DetailsArea tr:has(td:text-is("${domain}"))`);

const keepCookies = () => h.registryValue(OPTIONS, "KeepCookies");

// Starts the program anew, so that it reads the options as they are stored now.
async function restart() {
    await program.stop();
    program = h.startProgram();
    await page.goto(await h.waitForAddress(program));
    await page.locator("#PluginsArea li").first().waitFor();
}

// Opens Settings and waits until the program has filled it in.
async function openSettings() {
    await command("btn_settings").click();
    const settings = dialog();
    await settings.locator("#OptionsPlace", { hasText: "Kept" }).waitFor();
    return settings;
}

before(async () => {
    fs.mkdirSync(SHOTS, { recursive: true });
    const seeded = h.seedTraces("browser");
    assert.equal(seeded.status, 0, seeded.stderr);
    ({ browser, program, page } = await h.startWindow());
    const second = h.startProgram();  // brings the window up
    assert.equal(await second.exited, 1);
    await page.locator('body[data-window="shown"]').waitFor();
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
});

test("keep toggles and Settings edit the list; the clean keeps those cookies", async () => {
    await command("btn_uncheckall").click();
    await page.locator("#PluginsArea input:checked").first().waitFor({ state: "detached" });
    await item("IECookies").locator("input").click();
    await command("btn_scan").click();
    await waitForMode("btn_clean");

    await reportRow("cookies.test").locator("a.keep-off").click();
    await reportRow("cookies.test").locator("a.keep-on").waitFor();
    await h.waitFor(() => keepCookies() === "cookies.test", "the toggle to be stored");
    await page.screenshot({ path: path.join(SHOTS, "report-keep-toggle.png") });

    await command("btn_settings").click();
    const settings = dialog();
    await settings.locator('#KeepList li:has-text("cookies.test")').waitFor();
    await settings.locator("#tx_KeepDomain").fill("not a domain");
    await settings.locator("#tx_KeepDomain").press("Enter");
    await settings.locator("#KeepMessage").filter({ hasText: "That is not a domain name." }).waitFor();
    await settings.locator("#tx_KeepDomain").fill(".Ads.test");
    await settings.locator("#btn_KeepAdd").click();
    await settings.locator('#KeepList li:has-text("ads.test") button').waitFor();
    assert.equal(await settings.locator("#tx_KeepDomain").inputValue(), "");
    assert.equal(await settings.locator("#KeepMessage").textContent(), "");
    await settings.locator("#tx_KeepDomain").fill("extra.test");
    await settings.locator("#btn_KeepAdd").click();
    await settings.locator('#KeepList li:has-text("extra.test") button').click();
    await settings.locator('#KeepList li:has-text("extra.test")').waitFor({ state: "detached" });
    await page.screenshot({ path: path.join(SHOTS, "dialog-settings-keep.png") });
    await settings.locator("#btn_Ok").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });

    // The options are stored when the next scan completes.
    await command("btn_back").click();
    await waitForMode("btn_scan");
    await command("btn_scan").click();
    await waitForMode("btn_clean");
    await h.waitFor(() => keepCookies() === "cookies.test;ads.test", "the settings to be stored");
    await reportRow("tracker.ads.test").locator(".keep-parent").filter({ hasText: "Kept with ads.test" })
        .waitFor();

    await command("btn_clean").click();
    await waitForMode("btn_finish");
    await reportRow("cookies.test").locator(".status-kept").waitFor();
    await reportRow("tracker.ads.test").locator(".status-kept").waitFor();
    assert.equal(await page.locator("#DetailsArea .status-deleted").count(), 0);
    assert.equal(await page.locator("#DetailsArea [cid^=idKeep_]").count(), 0);
    await page.screenshot({ path: path.join(SHOTS, "report-kept.png") });
    await command("btn_finish").click();
    await waitForMode("btn_checkall");
});

test("a keep-list of 10,000 characters goes through Settings whole", async () => {
    const domains = Array.from({ length: 420 }, (_, i) => `${100000 + i}-shop.example.test`);
    assert.ok(domains.join(";").length >= 10000);
    h.setOption("KeepCookies", "REG_SZ", domains.join(";"));
    await restart();
    const settings = await openSettings();
    assert.match(await settings.locator("#OptionsPlace").textContent(),
                 /^Kept for every user of this computer, in HKEY_LOCAL_MACHINE\\SOFTWARE\\Veltrane\.$/);
    assert.equal(await settings.locator("#KeepList li button").count(), domains.length);
    await settings.locator(`#KeepList li:has-text("${domains[0]}") button`).click();
    await settings.locator("#tx_KeepDomain").fill("last.test");
    await settings.locator("#btn_KeepAdd").click();
    await settings.locator('#KeepList li:has-text("last.test")').waitFor();
    await settings.locator("#btn_Ok").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    const expected = [...domains.slice(1), "last.test"].join(";");
    await h.waitFor(() => keepCookies() === expected, "the long list to be stored");
});

test("a start shows BootStartup as the autostart entry says, with no value stored", async () => {
    const run = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    for (const present of [true, false]) {
        h.deleteRegistryValue(OPTIONS, "BootStartup");
        if (present) h.setRegistryValue(run, "Veltrane", "REG_SZ", '"C:\\Program Files\\Veltrane\\veltrane.exe"');
        else h.deleteRegistryValue(run, "Veltrane");
        await restart();
        const settings = await openSettings();
        assert.equal(await settings.locator("#cb_BootStartup").isChecked(), present, `entry ${present}`);
        // Absent counts as on: with the entry there, nothing needed storing.
        assert.equal(h.registryValue(OPTIONS, "BootStartup"), present ? null : "0");
        await settings.locator("#btn_Cancel").click();
        await page.locator(".dialog-frame").waitFor({ state: "detached" });
    }
});
