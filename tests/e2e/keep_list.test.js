// The cookie keep-list in a real browser over seeded IE cookies: the keep
// toggle of a scan row stores the domain at once, Settings adds and removes
// domains, and the clean report shows the kept domains as kept.
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

before(async () => {
    fs.mkdirSync(SHOTS, { recursive: true });
    const seeded = h.seedTraces("browser");
    assert.equal(seeded.status, 0, seeded.stderr);
    browser = await h.launchBrowser();
    program = h.startProgram();
    page = await browser.newPage({ viewport: { width: 1000, height: 720 } });
    await page.goto(await h.waitForAddress(program));
    await page.locator("#PluginsArea li").first().waitFor();
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
