// The program's pages in a real browser: start-up and hand-over, the web
// host's refusals, dialog sizing, the browser filter and the bridge both ways.
"use strict";
const assert = require("node:assert/strict");
const fs = require("node:fs");
const { after, before, describe, test } = require("node:test");
const h = require("./harness");

let shellOpens;
let browser;
let first;
let address;  // the launch address the program printed
let pageUrl;  // the main page behind it, for a browser that holds the cookie

async function openPage(url = pageUrl) {
    const page = await browser.newPage();
    await page.goto(url);
    // Polled from outside: the page's policy allows no script from a string.
    await h.waitFor(() => page.evaluate(() => window.veltraneBridge && document.body.style.width !== ""),
                    "the page to be sized");
    return page;
}

// Counts the times the program brought this page forward.
async function countRaises(page) {
    await page.evaluate(() => {
        window.raises = 0;
        window.addEventListener("veltrane:raise", () => window.raises++);
    });
    return () => page.evaluate(() => window.raises);
}

before(async () => {
    shellOpens = h.recordShellOpens();
    browser = await h.launchBrowser();
    first = h.startProgram();
    address = await h.waitForAddress(first);
    pageUrl = h.pageAddress(address);
});

after(async () => {
    if (first) await first.stop();
    if (browser) await browser.close();
});

describe("start-up", () => {
    test("prints a launch address, opens another with the shell and serves the layout", async () => {
        await h.waitFor(() => first.output.includes("Veltrane UI: " + address), "the address on stdout");
        assert.match(address, h.LAUNCH);
        const shellAddress = await h.waitFor(() => shellOpens()[0], "the shell to open the page");
        assert.match(shellAddress, h.LAUNCH);
        assert.notEqual(shellAddress, address, "every address handed out has a code of its own");
        assert.equal(h.pageAddress(shellAddress), pageUrl);

        const page = await openPage(address);
        assert.equal(page.url(), pageUrl);
        assert.equal(await page.locator("#Layout").count(), 1);
        await h.waitForTrace(first, "Page main complete");
        await page.close();
    });

    test("a second start hands over to the first and exits with 1", async () => {
        const page = await openPage();
        const raises = await countRaises(page);
        const second = h.startProgram();
        assert.equal(await second.exited, 1);
        await h.waitFor(async () => (await raises()) === 1, "the page to be brought forward");
        assert.equal(second.output, "", "the second instance opens no page of its own");
        await page.close();
    });

    test("a second start with no page connected opens the page again", async () => {
        await h.waitForTrace(first, "Page main detached");
        const before = shellOpens().length;
        const second = h.startProgram();
        assert.equal(await second.exited, 1);
        await h.waitFor(() => shellOpens().length === before + 1, "the shell to open the page");
        assert.match(shellOpens().at(-1), h.LAUNCH);
        assert.equal(h.pageAddress(shellOpens().at(-1)), pageUrl);
    });

    test("/emergencyclose alone reaches the first instance without showing it", async () => {
        const page = await openPage();
        const raises = await countRaises(page);
        const emergency = h.startProgram(["/emergencyclose"]);
        assert.equal(await emergency.exited, 1);
        await page.waitForTimeout(1000);
        assert.equal(await raises(), 0);

        // Anything but the exact switch is a plain start.
        for (const args of [["/EmergencyClose"], ["/emergencyclose", "now"]]) {
            const plain = h.startProgram(args);
            assert.equal(await plain.exited, 1);
        }
        await h.waitFor(async () => (await raises()) === 2, "two hand-overs");
        assert.equal(first.child.exitCode, null, "the first instance still runs");
        await page.close();
    });
});

describe("web host", () => {
    const token = () => new URL(address).pathname.split("/")[1];
    // What a raw request sends to be let in: the cookie of the browser's session.
    let cookie;
    const get = async (path, headers = {}) => h.rawGet(address, path, { Cookie: cookie, ...headers });

    before(async () => {
        cookie = await h.sessionCookie(browser);
        assert.ok(cookie, "the browser holds the session's cookie");
    });

    test("requests and sockets without the session's cookie are refused", async () => {
        const t = "/" + token();
        for (const path of ["/Common/layout.html", "/" + "0".repeat(32) + "/Common/layout.html",
                            "/" + token().toUpperCase() + "/Common/layout.html", "/favicon.ico"]) {
            assert.equal((await get(path)).status, 403, path);
        }
        assert.equal((await h.rawGet(address, t + "/Common/layout.html")).status, 403);
        assert.equal((await get(t + "/Common/layout.html")).status, 200);
        const upgrade = (headers) => h.rawGet(address, t + "/socket?dlg=main", {
            Connection: "Upgrade", Upgrade: "websocket", "Sec-WebSocket-Version": "13",
            "Sec-WebSocket-Key": "dGhlIHNhbXBsZSBub25jZQ==", Origin: new URL(address).origin, ...headers });
        assert.equal((await upgrade({})).status, 403);
        assert.equal((await upgrade({ Cookie: cookie.slice(0, -1) + "x" })).status, 403);
    });

    test("paths outside the html folder are refused", async () => {
        const t = "/" + token();
        for (const path of [t + "/../urls.ini", t + "/Common/../../urls.ini", t + "/%2e%2e/urls.ini",
                            t + "/Common%2f..%2f..%2furls.ini", t + "/..%5curls.ini",
                            t + "/Common\\..\\..\\urls.ini", t + "/C:/windows/win.ini",
                            t + "/C%3a%5cwindows%5cwin.ini", t + "//windows/win.ini",
                            t + "/Common/layout.html::$DATA", t + "/.../urls.ini"]) {
            const response = await get(path);
            assert.equal(response.status, 403, path);
        }
        assert.equal((await get(t + "/Common/missing.html")).status, 404);
    });

    test("a foreign Host, a foreign socket Origin and device names are refused", async () => {
        const t = "/" + token();
        const port = new URL(address).port;
        const page = t + "/Common/layout.html";
        assert.equal((await get(page, { Host: "localhost:" + port })).status, 200);
        // A name of another site pointing here (DNS rebinding) does not get past the cookie.
        for (const host of ["rebind.example:" + port, "127.0.0.1", "127.0.0.1:" + (Number(port) + 1)]) {
            assert.equal((await get(page, { Host: host })).status, 403, host);
        }
        const upgrade = (origin) => get(t + "/socket?dlg=main", {
            Connection: "Upgrade", Upgrade: "websocket", "Sec-WebSocket-Version": "13",
            "Sec-WebSocket-Key": "dGhlIHNhbXBsZSBub25jZQ==", ...(origin ? { Origin: origin } : {}) });
        for (const origin of ["http://cross.example", null, "null"]) {
            assert.equal((await upgrade(origin)).status, 403, String(origin));
        }
        for (const path of [t + "/CON", t + "/Common/nul.html", t + "/com1.txt", t + "/LPT9/x.html",
                            t + "/aux", t + "/PRN.htm"]) {
            assert.equal((await get(path)).status, 403, path);
        }
    });

    test("files are served with their content types and the bridge", async () => {
        const t = "/" + token();
        const html = await get(t + "/Common/layout.html");
        assert.equal(html.type, "text/html; charset=utf-8");
        assert.ok(html.body.includes(`<script src="${t}/Common/bridge.js"></script>`));
        assert.equal((await get(t + "/Common/style.css")).type, "text/css; charset=utf-8");
        assert.equal((await get(t + "/Common/bridge.js")).type, "text/javascript; charset=utf-8");
    });
});

describe("dialog base", () => {
    const layout = () => h.installedFile("html\\Common\\layout.html".replaceAll("\\", "/"));

    async function sizeFor(body) {
        const original = fs.readFileSync(layout(), "utf8");
        fs.writeFileSync(layout(), original.replace(/<body[^>]*>/, body));
        try {
            const page = await openPage();
            const size = await page.evaluate(() => {
                const box = document.body.getBoundingClientRect();
                return [box.width, box.height];
            });
            await page.close();
            return size;
        } finally {
            fs.writeFileSync(layout(), original);
        }
    }

    test("the page is sized from DlgBody, 100 for a missing attribute", async () => {
        assert.deepEqual(await sizeFor('<body id="DlgBody" width="420" height="310">'), [420, 310]);
        assert.deepEqual(await sizeFor('<body id="DlgBody" width="333">'), [333, 100]);
        assert.deepEqual(await sizeFor('<body id="DlgBody" height="222">'), [100, 222]);
    });

    test("Ctrl+wheel, Ctrl+P and the context menu are blocked, copy and select-all are not", async () => {
        const page = await openPage();
        await page.evaluate(() => {
            window.seen = [];
            for (const type of ["wheel", "keydown", "contextmenu"]) {
                window.addEventListener(type, (event) => window.seen.push(
                    [type, event.key || "", event.ctrlKey, event.defaultPrevented]));
            }
        });
        await page.mouse.move(200, 200);
        await page.keyboard.down("Control");
        await page.mouse.wheel(0, -200);
        await page.keyboard.up("Control");
        await page.mouse.wheel(0, 100);
        for (const key of ["Control+p", "Control+n", "F5", "Control+c", "Control+a"]) {
            await page.keyboard.press(key);
        }
        await page.mouse.click(200, 200, { button: "right" });
        const seen = await page.evaluate(() => window.seen);
        const prevented = (type, key, ctrl) =>
            seen.find(([t, k, c]) => t === type && k === key && c === ctrl)[3];
        assert.equal(prevented("wheel", "", true), true);
        assert.equal(prevented("wheel", "", false), false);
        assert.equal(prevented("keydown", "p", true), true);
        assert.equal(prevented("keydown", "n", true), true);
        assert.equal(prevented("keydown", "F5", false), true);
        assert.equal(prevented("keydown", "c", true), false);
        assert.equal(prevented("keydown", "a", true), false);
        assert.equal(prevented("contextmenu", "", false), true);
        assert.equal(await page.evaluate(() => window.visualViewport.scale), 1);
        await page.close();
    });

    test("a click reaches its handler with the element's attributes", async () => {
        const page = await openPage();
        await page.evaluate(() => document.body.insertAdjacentHTML("beforeend",
            '<span id="control" cid="btn_probe" pluginid="ProbePlugin">probe</span>' +
            '<span id="elsewhere" cid="btn_ignored">ignored</span>'));
        await page.click("#elsewhere");
        await page.click('#control[cid="btn_probe"]');
        await h.waitForTrace(first, "OnClick(btn_probe): ProbePlugin");
        assert.ok(!first.trace().includes("btn_ignored"));
        await page.close();
    });

    test("a reload detaches the document and attaches the new page", async () => {
        const page = await openPage();
        const completions = () => (first.trace().match(/Page main complete/g) || []).length;
        const detaches = () => (first.trace().match(/Page main detached/g) || []).length;
        const [completed, detached] = [completions(), detaches()];
        await page.evaluate(() => (document.body.style.width = ""));
        await page.reload();
        await h.waitFor(() => page.evaluate(() => document.body.style.width !== ""), "the page to be sized");
        await h.waitFor(() => detaches() === detached + 1 && completions() === completed + 1,
                        "one detach and one completion");
        await page.evaluate(() => document.body.insertAdjacentHTML("beforeend",
            '<span id="control" cid="btn_after_reload">again</span>'));
        await page.click('#control[cid="btn_after_reload"]');
        await h.waitForTrace(first, "OnClick(btn_after_reload): ");
        await page.close();
    });
});
