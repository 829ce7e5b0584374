// The Exclusions page of Settings in a real browser: a rule's Test button
// lists what it matches on this machine (seeded files that match and one
// that does not, shown as text), a rule that cannot be parsed is refused with
// its reason and never stored, a rule is added, edited and removed, the
// keep-list shows as site rules, and OK stores the rules in "Exclusions".
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, test } = require("node:test");
const h = require("./harness");

const OPTIONS = "HKLM\\SOFTWARE\\Veltrane\\Options";

let browser;
let program;
let page;

const { command, dialog } = h.mainPage(() => page);

before(async () => {
    const folder = path.join(h.workDir(), "excl");
    for (const relative of ["a.log", "deep/er/b.log", "other.txt", "deep/c.txt"]) {
        fs.mkdirSync(path.dirname(path.join(folder, relative)), { recursive: true });
        fs.writeFileSync(path.join(folder, relative), "x");
    }
    h.setOption("KeepCookies", "REG_SZ", "kept.test");
    ({ browser, program, page } = await h.startWindow());
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
    h.deleteRegistryValue(OPTIONS, "KeepCookies");
    h.deleteRegistryValue(OPTIONS, "Exclusions");
});

test("rules are tested, refused with their reason, edited and stored", async () => {
    await command("btn_settings").click();
    const settings = dialog();
    await settings.locator("#OptionsPlace", { hasText: "Kept" }).waitFor();
    await settings.locator("#tab_Exclusions").click();
    const box = settings.locator("#tx_Rule");
    const rules = settings.locator("#RuleList li");
    await rules.filter({ hasText: "site:kept.test" }).waitFor();

    await box.fill("file:C:\\e2e\\excl\\**\\*.log");
    await settings.locator("#btn_RuleTest").click();
    const matches = settings.locator("#RuleMatches");
    await matches.filter({ hasText: "2 items match" }).waitFor();
    assert.deepEqual((await matches.locator("li").allTextContents()).sort(),
                     ["C:\\e2e\\excl\\a.log", "C:\\e2e\\excl\\deep\\er\\b.log"]);

    // A site is matched when a clean runs, by its domain.
    await box.fill("site:Example.COM");
    await settings.locator("#btn_RuleTest").click();
    await matches.filter({ hasText: "cookies and site data of example.com and its sub-domains" })
        .waitFor();

    // Refused with the parser's reason, and not listed.
    await box.fill("file:relative\\*.log");
    await box.press("Enter");
    await settings.locator("#RuleMessage")
        .filter({ hasText: /^This rule cannot be used: a path must be a full path/ }).waitFor();
    await box.fill("key:HKCU\\**");
    await settings.locator("#btn_RuleTest").click();
    await settings.locator("#RuleMessage").filter({ hasText: "\"**\" is for paths" }).waitFor();
    assert.equal(await rules.filter({ hasText: "relative" }).count(), 0);

    await box.fill("file:C:\\e2e\\excl\\**\\*.log");
    await settings.locator("#btn_RuleAdd").click();
    await rules.filter({ hasText: "file:C:\\e2e\\excl\\**\\*.log" }).waitFor();
    assert.equal(await box.inputValue(), "");
    assert.equal(await settings.locator("#RuleMessage").textContent(), "");
    await box.fill("folder:C:\\e2e\\gone");
    await box.press("Enter");
    await rules.filter({ hasText: "folder:C:\\e2e\\gone" }).waitFor();

    // Edit puts the rule into the box; Save puts it back in its place.
    await rules.filter({ hasText: "file:C:" }).getByRole("button", { name: "Edit" }).click();
    assert.equal(await box.inputValue(), "file:C:\\e2e\\excl\\**\\*.log");
    await box.fill("file:C:\\e2e\\excl\\*.txt");
    await settings.locator("#btn_RuleAdd", { hasText: "Save" }).click();
    await rules.filter({ hasText: "file:C:\\e2e\\excl\\*.txt" }).waitFor();
    assert.equal(await rules.filter({ hasText: "*.log" }).count(), 0);
    await rules.filter({ hasText: "folder:C:\\e2e\\gone" }).getByRole("button", { name: "Remove" })
        .click();
    await rules.filter({ hasText: "folder:C:\\e2e\\gone" }).waitFor({ state: "detached" });

    // A rule is text on the page, whatever it holds.
    await box.fill("file:C:\\e2e\\<img src=pwned onerror=alert(1)>*");
    await box.press("Enter");
    const hostile = rules.filter({ hasText: "<img src=pwned" });
    await hostile.waitFor();
    assert.equal(await settings.locator("#RuleList img").count(), 0);
    await hostile.getByRole("button", { name: "Remove" }).click();
    await hostile.waitFor({ state: "detached" });

    await settings.locator("#btn_Ok").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    assert.equal(h.registryValue(OPTIONS, "Exclusions"), "file:C:\\e2e\\excl\\*.txt");
    assert.equal(h.registryValue(OPTIONS, "KeepCookies"), "kept.test");
});
