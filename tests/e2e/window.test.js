// The window in a browser behaves like a window: notices and the welcome
// answered in the page, modal frames, a missing dialog page, closing the tab,
// a page that goes away while a run starts, and hostile socket messages.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const { after, before, test } = require("node:test");
const h = require("./harness");

const OPTIONS = "HKLM\\SOFTWARE\\Veltrane\\Options";
const TRAY_RESTORE = "32774";
const REBOOT_NOTICE = "Please reboot system to complete cleanup process.";

let browser;
let program;
let address;
let page;
let shellOpens;

const { command, item, waitForMode } = h.mainPage(() => page);
const covers = () => page.locator(".dialog-cover");
const frame = () => page.frameLocator(".dialog-cover:last-child iframe");

async function openMainPage(url = address) {
    page = await browser.newPage({ viewport: { width: 1000, height: 720 } });
    await page.goto(url);
    await page.locator("#Layout").waitFor({ state: "attached" });
}

// Whether the keyboard focus is inside the top dialog's frame.
function focusInFrame() {
    return page.evaluate(() => {
        const frames = document.querySelectorAll(".dialog-cover iframe");
        const top = frames[frames.length - 1];
        if (!top || document.activeElement !== top) return false;
        const inner = top.contentDocument.activeElement;
        return inner !== null && inner !== top.contentDocument.body;
    });
}

before(async () => {
    const seeded = h.seedTraces("standard");
    assert.equal(seeded.status, 0, seeded.stderr);
    shellOpens = h.recordShellOpens();
    h.setOption("HideOnExit", "REG_SZ", "1");
    h.setOption("ShowWelcome", "REG_DWORD", 1);
    browser = await h.launchBrowser();
});

after(async () => {
    if (program) await program.stop();
    if (browser) await browser.close();
    fs.writeFileSync(h.installedFile("urls.ini"), fs.readFileSync(path.join(h.ROOT, "app", "urls.ini")));
});

test("urls.ini trouble and the welcome are answered in the page", async () => {
    fs.writeFileSync(h.installedFile("urls.ini"), "SITE_URL = \"http://example.invalid/\"\n");
    program = h.startProgram();
    address = await h.waitForAddress(program);
    await openMainPage();

    await frame().locator("#NoticeText").filter({ hasText: "File Urls.ini is corrupted" }).waitFor();
    assert.equal(await covers().count(), 1);
    assert.equal(await page.locator("#Layout").getAttribute("inert"), "");
    await frame().locator("#btn_ok").click();

    await frame().locator("#btn_Begin").waitFor();
    assert.equal(await covers().count(), 1);
    await frame().locator("#cb_DontShow").click();
    await frame().locator("#btn_Begin").click();
    await covers().first().waitFor({ state: "detached" });
    assert.equal(h.registryValue(OPTIONS, "ShowWelcome"), "0x0");
    assert.equal(await page.locator("#Layout").getAttribute("inert"), null);
});

test("Settings opened twice by keyboard is one frame, and the page below is ignored", async () => {
    const settings = command("btn_settings");
    await settings.focus();
    await page.keyboard.press("Enter");
    await page.keyboard.press("Enter");
    await frame().locator("#btn_Ok").waitFor();
    await page.waitForTimeout(500);
    assert.equal(await covers().count(), 1);
    // Whatever still reaches the program from below (a script's click) is dropped.
    await page.evaluate(() => document.querySelector('#control[cid="btn_scan"]').click());
    await h.waitForTrace(program, "ignored while a dialog is open");
    assert.equal(await command("btn_cancel").count(), 0, "no scan started");

    await page.keyboard.press("Escape");
    await covers().first().waitFor({ state: "detached" });
    assert.equal(await page.evaluate(() => document.activeElement.getAttribute("cid")), "btn_settings");
});

test("Tab cannot leave a modal frame", async () => {
    await command("btn_settings").click();
    await frame().locator("#btn_Ok").waitFor();
    await h.waitFor(focusInFrame, "the focus in the frame");
    for (const key of [...Array(9).fill("Tab"), ...Array(5).fill("Shift+Tab")]) {
        await page.keyboard.press(key);
        assert.equal(await focusInFrame(), true, key);
    }
    await frame().locator("#btn_Cancel").click();
    await covers().first().waitFor({ state: "detached" });
});

test("a dialog whose page is missing says so and closes", async () => {
    const settingsPage = h.installedFile("html/DlgSettings.htm");
    const moved = settingsPage + ".away";
    fs.renameSync(settingsPage, moved);
    try {
        await command("btn_settings").click();
        const failed = page.locator(".dialog-failed");
        await failed.waitFor();
        assert.match(await failed.textContent(), /could not be opened/);
        await failed.locator("button").click();
        await covers().first().waitFor({ state: "detached" });
    } finally {
        fs.renameSync(moved, settingsPage);
    }
    // The page works again: the next Settings opens, and Esc closes it.
    await command("btn_settings").click();
    await frame().locator("#btn_Ok").waitFor();
    await h.waitFor(focusInFrame, "the focus in the frame");
    await page.keyboard.press("Escape");
    await covers().first().waitFor({ state: "detached" });
});

test("the reboot notice is answered in the page, then Finish returns to idle", async () => {
    await command("btn_uncheckall").click();
    await page.locator("#PluginsArea input:checked").first().waitFor({ state: "detached" });
    await item("RunHistory").locator("input").click();
    await command("btn_scan").click();
    await waitForMode("btn_clean");
    await command("btn_clean").click();
    await waitForMode("btn_finish");
    await command("btn_finish").click();
    await frame().locator("#NoticeText").filter({ hasText: REBOOT_NOTICE }).waitFor();
    assert.equal(await command("btn_finish").count(), 1, "still the report under the notice");
    await frame().locator("#btn_ok").click();
    await waitForMode("btn_checkall");
    assert.equal(await covers().count(), 0);
});

test("a page that stops answering as Scan is clicked: the run starts and the next page shows it", async () => {
    await command("btn_scan").waitFor();
    // The page takes the click but answers nothing after it, as a hung tab would.
    await page.evaluate(() => {
        const send = WebSocket.prototype.send;
        window.restoreSend = () => (WebSocket.prototype.send = send);
        WebSocket.prototype.send = function (data) {
            if (!String(data).includes('"t":"reply"')) send.call(this, data);
        };
    });
    await command("btn_scan").click();
    await h.waitForTrace(program, "Page main did not answer in time");
    await page.evaluate(() => window.restoreSend());
    // The bridge connects again by itself; the layout of the run comes with it.
    await page.locator('#control[cid="btn_cancel"], #control[cid="btn_clean"]').first()
        .waitFor({ timeout: 30000 });
    await waitForMode("btn_clean");
    await command("btn_back").click();
    await waitForMode("btn_checkall");
});

test("closing the tab hides the window; Restore opens a fresh page", async () => {
    // A reload is not a close.
    await page.reload();
    await page.locator("#PluginsArea li").first().waitFor();
    await page.waitForTimeout(4000);
    assert.ok(!program.trace().includes("The page is gone"));

    const opened = shellOpens().length;
    await page.close();
    await h.waitForTrace(program, "The page is gone: the window closes");
    await h.waitForTrace(program, "Window hidden");
    // The tray now shows the window hidden: Restore shows it, by opening the page anew.
    assert.equal(h.runHelper("tray_command", [TRAY_RESTORE]), 0);
    await h.waitFor(() => shellOpens().length === opened + 1, "the shell to open the page");
    // A fresh launch address of the same run, which is what the browser gets.
    assert.match(shellOpens().at(-1), h.LAUNCH);
    assert.notEqual(shellOpens().at(-1), address);
    assert.equal(h.pageAddress(shellOpens().at(-1)), h.pageAddress(address));
    await openMainPage(shellOpens().at(-1));
    await page.locator('body[data-window="shown"]').waitFor();
    await page.locator("#PluginsArea li").first().waitFor();
    assert.equal(program.child.exitCode, null);

    // Started again within the grace after the tab closed, the window shows and
    // stays shown, however late its fresh page arrives.
    await page.close();
    const second = h.startProgram();
    assert.equal(await second.exited, 1);
    await h.waitFor(() => shellOpens().length > opened + 1, "the shell to open the page again");
    await new Promise((resolve) => setTimeout(resolve, 4000));
    await openMainPage(shellOpens().at(-1));
    await page.locator("body[data-window]").waitFor({ state: "attached" });
    assert.equal(await page.locator("body").getAttribute("data-window"), "shown", program.trace());
    await page.locator("#PluginsArea li").first().waitFor();
    assert.equal(program.trace().split("The page is gone").length, 2, program.trace());
});

test("thousands of hostile socket messages are dropped; the program still scans", async () => {
    const sent = await page.evaluate(async () => {
        const token = location.pathname.split("/")[1];
        const socket = new WebSocket(`ws://${location.host}/${token}/socket?dlg=main`);
        await new Promise((resolve, reject) => {
            socket.onopen = resolve;
            socket.onerror = reject;
        });
        const shapes = [{ t: 1 }, { t: null }, { t: ["event"] }, [1, 2], "text", 42,
                        { t: "reply", seq: "1", ok: "yes" }, { t: "reply", seq: -1 },
                        { t: "event", kind: 7 }, { t: "event", kind: "click", id: 3, handle: "x" },
                        { t: "event", kind: "click", id: "control", attrs: { cid: 9 } },
                        { t: "closeFrame", dlg: {} }, { t: "complete", extra: [null] }];
        let count = 0;
        for (let i = 0; i < 3000; i++) {
            const shape = JSON.stringify(shapes[i % shapes.length]);
            socket.send(i % 7 === 0 ? shape.slice(0, i % shape.length) : shape);
            count++;
        }
        await new Promise((resolve) => setTimeout(resolve, 500));
        socket.close();
        return count;
    });
    assert.equal(sent, 3000);
    assert.equal(program.child.exitCode, null);
    // The fuzzing socket took the page's place; a reload brings the page back.
    await page.reload();
    await page.locator("#PluginsArea li").first().waitFor();
    await command("btn_uncheckall").click();
    await page.locator("#PluginsArea input:checked").first().waitFor({ state: "detached" });
    await item("FindHistory").locator("input").click();
    await command("btn_scan").click();
    await waitForMode("btn_clean");
    assert.ok(program.trace().includes("dropped"), "the dropped messages are traced");
});

test('with "HideOnExit" off, closing the tab ends the program', async () => {
    await program.stop();
    h.setOption("HideOnExit", "REG_SZ", "0");
    program = h.startProgram();
    address = await h.waitForAddress(program);
    await openMainPage();
    await page.locator("#PluginsArea li").first().waitFor();
    await page.close();
    const code = await Promise.race([program.exited,
                                     new Promise((resolve) => setTimeout(() => resolve("running"), 30000))]);
    assert.notEqual(code, "running", "the program is still running");
    assert.ok(program.trace().includes("The page is gone: the window closes"));
    h.setOption("HideOnExit", "REG_SZ", "1");
});
