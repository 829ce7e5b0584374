// The check boxes of the scan report in the real page (its script, style and
// content policy), on a report laid out as the plug-ins lay theirs out: rows
// with data-item, group headers with data-group, each naming the group around
// it in data-in-group. Boxes tick and untick rows and whole groups, show a
// mixed group, keep the choice while reports are switched, start afresh with
// a new scan, are reached by keyboard with a label each, and hand the clean
// button the unticked keys exactly as the report holds them, hostile or not.
// The window's notice of what became of the last clean's deferred deletions
// (a record planted as a clean leaves it) is here too: it is told once, and
// its Yes schedules again what is still there and records it for the next check.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, beforeEach, test } = require("node:test");
const h = require("./harness");

const HOSTILE_KEY = "T/\"><img src=pwned-key onerror=alert('key')>";
const HOSTILE_TEXT = "<img src=pwned-row onerror=alert('row')>";

let browser;
let program;
let page;
const dialogs = [];
const requests = [];

// A results layout with a report of two folders (the second holding a
// hostile key) and a clean button the program does not listen to.
function buildReport({ hostileKey, hostileText, longFolders = 0 }) {
    const layout = document.getElementById("Layout");
    layout.textContent = "";
    const app = document.createElement("div");
    app.className = "app mode-results";
    const details = document.createElement("section");
    details.id = "DetailsArea";
    details.className = "details";
    const clean = document.createElement("button");
    clean.id = "test-clean";
    clean.setAttribute("cid", "btn_clean");
    clean.textContent = "Clean";
    app.append(details, clean);
    layout.append(app);

    const section = document.createElement("section");
    section.className = "report-section";
    section.setAttribute("data-group", "plugin:T");
    const title = document.createElement("h2");
    title.className = "report-title";
    title.textContent = "Test traces";
    const table = document.createElement("table");
    table.className = "report";
    const body = table.createTBody();
    const row = (attributes, text) => {
        const tr = body.insertRow();
        for (const [name, value] of Object.entries(attributes)) tr.setAttribute(name, value);
        tr.insertCell().textContent = text;
    };
    row({ "data-group": "T/folder:A", "data-in-group": "plugin:T" }, "C:\\A");
    row({ "data-item": "T/A/1", "data-in-group": "T/folder:A" }, "a1.tmp");
    row({ "data-item": "T/A/2", "data-in-group": "T/folder:A" }, "a2.tmp");
    row({ "data-group": "T/folder:B", "data-in-group": "plugin:T" }, "C:\\B");
    row({ "data-item": "T/B/1", "data-in-group": "T/folder:B" }, "b1.tmp");
    row({ "data-item": hostileKey, "data-in-group": "T/folder:B" }, hostileText);
    row({ "data-item": "T/top", "data-in-group": "plugin:T" }, "top.tmp");
    // A long report: many more folders of rows below, far past the first screen.
    for (let f = 0; f < longFolders; ++f) {
        row({ "data-group": "T/folder:L" + f, "data-in-group": "plugin:T" }, "C:\\L" + f);
        for (let r = 0; r < 20; ++r)
            row({ "data-item": `T/L${f}/${r}`, "data-in-group": "T/folder:L" + f }, `l${f}-${r}.tmp`);
    }
    section.append(title, table);
    details.append(section);
}

const box = (key) => page.locator(`tr[data-item="${key.replace(/["\\]/g, "\\$&")}"] .keep-box`);
const groupBox = (key) => page.locator(`[data-group="${key}"] .keep-box`).first();
const states = () => page.evaluate(() => Array.from(document.querySelectorAll(".keep-box"),
    (b) => (b.indeterminate ? "mixed" : b.checked ? "on" : "off")).join(" "));
// What the clean button hands the program when it is pressed.
async function keptOnClean() {
    await page.locator("#test-clean").click();
    return JSON.parse(await page.locator("#test-clean").getAttribute("data-kept"));
}
async function showReport(longFolders = 0) {
    await page.evaluate(buildReport, { hostileKey: HOSTILE_KEY, hostileText: HOSTILE_TEXT, longFolders });
    await page.locator(".keep-box").nth(7 + longFolders * 21).waitFor();
}
// The box as drawn, with the room around it where its focus ring goes.
async function shot(locator) {
    const { x, y, width, height } = await locator.boundingBox();
    return page.screenshot({ clip: { x: x - 5, y: y - 5, width: width + 10, height: height + 10 } });
}

before(async () => {
    browser = await h.launchBrowser();
    program = h.startProgram();
    page = await browser.newPage();
    page.on("dialog", (dialog) => {
        dialogs.push(dialog.message());
        dialog.dismiss();
    });
    page.on("request", (request) => requests.push(request.url()));
    await page.goto(await h.waitForAddress(program));
    await page.locator('.app.mode-normal [cid="btn_scan"]').waitFor();
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
});

beforeEach(async () => {
    // A scan layout between tests: every row starts ticked.
    await page.evaluate(() => {
        const scan = document.createElement("div");
        scan.className = "app mode-scan";
        document.getElementById("Layout").replaceChildren(scan);
    });
    await showReport();
});

test("rows and groups tick and untick; a group with both shows mixed", async () => {
    // Plug-in, folder A, 2 rows, folder B, 2 rows, the row under the plug-in.
    assert.equal(await states(), "on on on on on on on on");
    await box("T/A/1").uncheck();
    assert.equal(await states(), "mixed mixed off on on on on on");
    await groupBox("T/folder:B").uncheck();
    assert.equal(await states(), "mixed mixed off on off off off on");
    assert.deepEqual((await keptOnClean()).sort(), [HOSTILE_KEY, "T/A/1", "T/B/1"].sort());
    await groupBox("plugin:T").check();
    assert.equal(await states(), "on on on on on on on on");
    assert.deepEqual(await keptOnClean(), []);
    await groupBox("plugin:T").uncheck();
    assert.equal((await keptOnClean()).length, 5);
});

test("the choice lasts while reports are switched and ends with a new scan", async () => {
    await box("T/B/1").uncheck();
    await showReport();  // another report was shown, then this one again
    assert.equal(await box("T/B/1").isChecked(), false);
    assert.deepEqual(await keptOnClean(), ["T/B/1"]);
    await page.evaluate(() => {
        const scan = document.createElement("div");
        scan.className = "app mode-scan";
        document.getElementById("Layout").replaceChildren(scan);
    });
    await showReport();
    assert.equal(await box("T/B/1").isChecked(), true);
    assert.deepEqual(await keptOnClean(), []);
});

test("every box has a label and is reached and toggled by keyboard", async () => {
    const labels = await page.locator(".keep-box").evaluateAll((boxes) =>
        boxes.map((b) => b.getAttribute("aria-label")));
    assert.equal(labels[0], "Remove everything in: Test traces");
    assert.equal(labels[2], "Remove: a1.tmp");
    assert.ok(labels.every((label) => label && label.length > 8));
    await page.getByRole("checkbox", { name: "Remove: a1.tmp" }).focus();
    await page.keyboard.press("Space");
    await page.keyboard.press("Tab");
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute("aria-label")),
                 "Remove: a2.tmp");
    await page.keyboard.press("Space");
    assert.equal(await groupBox("T/folder:A").isChecked(), false);
    assert.equal(await states(), "mixed off off off on on on on");
});

test("ticked, unticked, mixed and focused boxes look different, in forced colours too", async () => {
    const folder = groupBox("T/folder:A");
    for (const forcedColors of ["none", "active"]) {
        await page.emulateMedia({ forcedColors });
        await folder.check();
        await page.evaluate(() => document.activeElement.blur());
        const looks = { on: await shot(folder) };
        await box("T/A/1").uncheck();
        await page.evaluate(() => document.activeElement.blur());
        looks.mixed = await shot(folder);
        await box("T/A/2").uncheck();
        await page.evaluate(() => document.activeElement.blur());
        looks.off = await shot(folder);
        // Reached by keyboard, so its focus ring shows.
        await box("T/A/1").focus();
        await page.keyboard.press("Shift+Tab");
        assert.equal(await folder.evaluate((b) => b === document.activeElement), true);
        looks.focused = await shot(folder);
        const names = Object.keys(looks);
        for (const [i, a] of names.entries()) {
            for (const b of names.slice(i + 1))
                assert.ok(!looks[a].equals(looks[b]), `${forcedColors}: ${a} looks as ${b}`);
        }
    }
    await page.emulateMedia({ forcedColors: "none" });
});

test("the last box of a long report is reached by keyboard from the clean button", async () => {
    await showReport(40);
    const rows = page.locator("#DetailsArea tr[data-item]");
    assert.equal(await page.locator("#DetailsArea tr[data-item] > td:first-child > .keep-box[aria-label]").count(),
                 await rows.count());
    await page.locator("#test-clean").focus();
    await page.keyboard.press("Shift+Tab");
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute("aria-label")),
                 "Remove: l39-19.tmp");
    assert.equal(await page.evaluate(() => {
        const { top, bottom } = document.activeElement.getBoundingClientRect();
        return top >= 0 && bottom <= window.innerHeight;
    }), true);
    await page.keyboard.press("Space");
    assert.equal(await groupBox("T/folder:L39").evaluate((b) => b.indeterminate), true);
    assert.equal(await groupBox("plugin:T").evaluate((b) => b.indeterminate), true);
    assert.deepEqual(await keptOnClean(), ["T/L39/19"]);
});

test("hostile keys and texts stay text and reach the clean as they are", async () => {
    await box(HOSTILE_KEY).uncheck();
    assert.deepEqual(await keptOnClean(), [HOSTILE_KEY]);
    assert.equal(await page.getByRole("checkbox", { name: "Remove: " + HOSTILE_TEXT }).count(), 1);
    assert.equal(await page.locator("#DetailsArea img").count(), 0);
    assert.deepEqual(dialogs, []);
    assert.deepEqual(requests.filter((url) => url.includes("pwned")), []);
});

test("the last clean's deferred items are told, and those still there go again", async () => {
    await program.stop();
    const folder = path.join(h.workDir(), "deferred-still-there");
    fs.mkdirSync(folder, { recursive: true });
    const stillThere = "C:\\e2e\\deferred-still-there";
    const gone = "C:\\e2e\\deferred-gone.tmp";
    // A folder is checked by its place; a file by its id, so one never seen is gone.
    h.setRegistryValue("HKCU\\SOFTWARE\\Veltrane\\Deferred", "Items", "REG_MULTI_SZ",
                       `00000000 0000000000000000 ${stillThere}\\0` +
                       `00000000 0000000000000001 ${gone}`);
    program = h.startProgram();
    await page.goto(await h.waitForAddress(program));
    const notice = page.frameLocator('.dialog-cover iframe[src*="DlgNotice.htm"]');
    const text = notice.locator("#NoticeText");
    await text.filter({ hasText: "deferred at the last clean" }).waitFor();
    assert.equal(await text.innerText(),
                 "1 item deferred at the last clean was removed at restart; 1 is still there.\n" +
                 `still there: ${stillThere}\nremoved: ${gone}\n\n` +
                 "Schedule the items still there for deletion at the next restart again?");
    await notice.locator("#btn_yes").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    const pending = h.registryValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                    "PendingFileRenameOperations");
    h.deleteRegistryValue("HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                          "PendingFileRenameOperations");
    assert.ok(pending && pending.includes(stillThere), pending);
    assert.ok(!pending.includes(gone), pending);
    // Recorded again for the check at the next start; what was told is not.
    const record = h.registryValue("HKCU\\SOFTWARE\\Veltrane\\Deferred", "Items");
    assert.ok(record && record.includes(stillThere) && !record.includes(gone), record);
    h.deleteRegistryValue("HKCU\\SOFTWARE\\Veltrane\\Deferred", "Items");
});
