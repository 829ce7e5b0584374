// The window's trust boundary from outside: a launch address opens once and
// leaves no lasting secret on a command line or in the browser's profile,
// every kind of answer carries the content policy, and the host stays calm
// when accepting fails.
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const net = require("node:net");
const os = require("node:os");
const path = require("node:path");
const { after, before, test } = require("node:test");
const { chromium } = require("playwright-core");
const h = require("./harness");

let program;
let address;
let shellOpens;
let profile;
let context;
let cookie;

// The policy every answer of this run must carry, for the host it was asked by.
function policyFor(host) {
    const runPath = new URL(address).pathname.split("/")[1];
    return "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; " +
           `connect-src ws://${host}/${runPath}/socket; frame-src 'self'; frame-ancestors 'self'; ` +
           "base-uri 'none'; form-action 'none'";
}

// The command lines of every process the test runner can read.
function commandLines() {
    const lines = [];
    for (const entry of fs.readdirSync("/proc")) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            lines.push(fs.readFileSync(`/proc/${entry}/cmdline`, "latin1").replaceAll("\0", " "));
        } catch {
            // gone, or not ours to read
        }
    }
    return lines;
}

// Every file below `folder` that holds `text`.
function filesHolding(folder, text) {
    const found = [];
    for (const entry of fs.readdirSync(folder, { recursive: true, withFileTypes: true })) {
        if (!entry.isFile()) continue;
        const file = path.join(entry.parentPath || entry.path, entry.name);
        try {
            if (fs.readFileSync(file).includes(text)) found.push(file);
        } catch {
            // a lock file or a socket
        }
    }
    return found;
}

before(async () => {
    shellOpens = h.recordShellOpens();
    h.setOption("HideOnExit", "REG_SZ", "1");
    h.setOption("ShowWelcome", "REG_DWORD", 0);
    program = h.startProgram();
    address = await h.waitForAddress(program);
    // A profile of its own, kept until its files have been read.
    profile = fs.mkdtempSync(path.join(os.tmpdir(), "veltrane-trust-"));
    context = await chromium.launchPersistentContext(profile, {
        executablePath: "/usr/bin/chromium",
        headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--no-first-run"],
    });
});

after(async () => {
    if (program) await program.stop();
    if (context) await context.close();
    if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

test("a launch address opens the window once; every other says how to open it again", async () => {
    const shellAddress = await h.waitFor(() => shellOpens()[0], "the shell to open the page");
    const page = await context.newPage();
    await page.goto(address);
    assert.equal(page.url(), h.pageAddress(address));
    await page.locator("#PluginsArea li").first().waitFor();
    cookie = await h.sessionCookie(context);
    const [stored] = (await context.cookies()).filter((c) => c.name === "veltrane_session");
    assert.equal(stored.httpOnly, true);
    assert.equal(stored.sameSite, "Strict");
    assert.equal(stored.path, "/" + new URL(address).pathname.split("/")[1] + "/");
    assert.equal(await page.evaluate(() => document.cookie), "", "the page's scripts cannot read it");

    // Opened again, or the shell's address given out before: both are spent.
    for (const spent of [address, shellAddress]) {
        const again = await context.newPage();
        const response = await again.goto(spent);
        assert.equal(response.status(), 403, spent);
        const text = await again.locator("body").textContent();
        assert.match(text, /already been used/);
        assert.match(text, /Restore from Veltrane's icon in the notification area, or start Veltrane again/);
        await again.close();
    }
    await page.close();
});

test("the session's credential is on no command line and nowhere in the browser's profile", async () => {
    const credential = cookie.split("=")[1];
    assert.match(credential, /^[0-9a-f]{32}$/);
    // The window runs, a page is connected, and the shell was asked to open one.
    const page = await context.newPage();
    await page.goto(h.pageAddress(address));
    await page.locator("#PluginsArea li").first().waitFor();
    const lines = commandLines();
    assert.ok(lines.some((line) => line.includes("veltrane.exe")), "the program's own is among them");
    assert.deepEqual(lines.filter((line) => line.includes(credential)), []);
    assert.ok(!shellOpens().some((line) => line.includes(credential)));
    assert.ok(!program.output.includes(credential) && !program.trace().includes(credential));
    await page.close();
    // What the browser keeps on disk (history, sessions) once it has written it down.
    await context.close();
    context = null;
    assert.deepEqual(filesHolding(profile, credential), []);
    context = await chromium.launchPersistentContext(profile, {
        executablePath: "/usr/bin/chromium", headless: true, args: ["--no-sandbox", "--disable-gpu"] });
});

test("every kind of answer carries the content policy and no referrer", async () => {
    const runPath = "/" + new URL(address).pathname.split("/")[1];
    // An image of the html folder's own: a one-pixel PNG.
    const image = h.installedFile("html/Common/probe.png");
    fs.writeFileSync(image, Buffer.from(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==",
        "base64"));
    try {
        const cases = [
            ["layout", runPath + "/Common/layout.html", cookie, 200],
            ["dialog", runPath + "/DlgSettings.htm?dlg=3", cookie, 200],
            ["fragment", runPath + "/Common/plugins_item.html", cookie, 200],
            ["report template", runPath + "/English/Plugins/Report.html", cookie, 200],
            ["script", runPath + "/Common/bridge.js", cookie, 200],
            ["style", runPath + "/Common/main.css", cookie, 200],
            ["image", runPath + "/Common/probe.png", cookie, 200],
            ["missing file", runPath + "/Common/missing.html", cookie, 404],
            ["no cookie", runPath + "/Common/layout.html", "", 403],
            ["spent launch", new URL(address).pathname, "", 403],
            ["foreign host", runPath + "/Common/layout.html", cookie, 403, "rebind.example:1"],
        ];
        const port = new URL(address).port;
        for (const [what, target, sent, status, host] of cases) {
            const headers = { Cookie: sent, ...(host ? { Host: host } : {}) };
            const answer = await h.rawGet(address, target, headers);
            assert.equal(answer.status, status, what);
            assert.equal(answer.headers["content-security-policy"], policyFor("127.0.0.1:" + port), what);
            assert.equal(answer.headers["referrer-policy"], "no-referrer", what);
        }
        // Asked by the name "localhost", the page may open its socket there.
        const local = await h.rawGet(address, runPath + "/Common/layout.html",
                                     { Cookie: cookie, Host: "localhost:" + port });
        assert.equal(local.headers["content-security-policy"], policyFor("localhost:" + port));
    } finally {
        fs.rmSync(image, { force: true });
    }
});

test("the pages, their dialogs and scripts need no exception to the policy", async () => {
    // The window went with the last tab, and this browser has lost the
    // session's cookie with its restart: a second start hands out a fresh address.
    const opened = shellOpens().length;
    const second = h.startProgram();
    assert.equal(await second.exited, 1);
    await h.waitFor(() => shellOpens().length > opened, "the shell to open a fresh address");
    const page = await context.newPage();
    await page.goto(shellOpens().at(-1));
    const { command, dialog } = h.mainPage(() => page);
    await page.locator('body[data-window="shown"]').waitFor();
    await page.locator("#PluginsArea li").first().waitFor();
    // The scripts moved out of the pages still work: the settings' boxes and domain box.
    await command("btn_settings").click();
    const overwrite = dialog().locator("#cb_OverWrite");
    await overwrite.click();
    assert.equal(await overwrite.getAttribute("checked"), String(await overwrite.isChecked()));
    await dialog().locator("#tx_KeepDomain").fill("example.org");
    assert.equal(await dialog().locator("#btn_KeepAdd").getAttribute("domain"), "example.org");
    await dialog().locator("#btn_Cancel").click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    await command("btn_about").click();
    await dialog().locator("#AboutInfo").waitFor();
    await dialog().locator('#control[cid="btn_close"]').click();
    await page.locator(".dialog-frame").waitFor({ state: "detached" });
    // The layout's own close box, once an inline handler, hides the window.
    await page.locator(".app-header .close").click();
    await page.locator('body[data-window="hidden"]').waitFor();
    assert.ok(!program.trace().includes("content policy violation"), program.trace());

    // A violation is reported to the program and traced: this is how tests count them.
    await page.evaluate(() => {
        const image = document.createElement("img");
        image.src = "http://example.invalid/x.png";
        document.body.appendChild(image);
    });
    await h.waitForTrace(program, "content policy violation: img-src http://example.invalid/x.png");
    await page.close();
});

// The sandbox's own wineserver: it holds the descriptors of every socket.
function wineserverPid() {
    for (const entry of fs.readdirSync("/proc")) {
        if (!/^\d+$/.test(entry)) continue;
        try {
            const name = fs.readFileSync(`/proc/${entry}/comm`, "utf8").trim();
            if (!name.startsWith("wineserver")) continue;
            const environment = fs.readFileSync(`/proc/${entry}/environ`, "utf8").split("\0");
            if (environment.includes("WINEPREFIX=" + process.env.WINEPREFIX)) return Number(entry);
        } catch {
            // gone, or not ours
        }
    }
    return null;
}

function setDescriptorLimit(pid, limit) {
    const result = spawnSync("prlimit", ["--pid", String(pid), `--nofile=${limit}`], { encoding: "utf8" });
    assert.equal(result.status, 0, result.stderr);
}

test("a failed accept is retried after a pause, not at once; the host serves again after", async () => {
    // Its messages go to Wine's own error output too (Wine writes them on its
    // "seh" channel), which needs no new descriptor; its log file would.
    await program.stop();
    const calm = h.startProgram([], { WINEDEBUG: "-all,warn+seh" });
    program = calm;
    address = await h.waitForAddress(calm);
    const pid = wineserverPid();
    assert.ok(pid, "the sandbox's wineserver");
    const limits = spawnSync("prlimit", ["--pid", String(pid), "--nofile", "--raw", "--noheadings",
                                         "-o", "SOFT,HARD"], { encoding: "utf8" }).stdout.trim().split(/\s+/);
    const failures = () => (calm.errors.match(/OutputDebugStringA "Web host: accept failed/g) || []).length;
    const sockets = [];
    let watched = 0;
    try {
        // No descriptor left for the next socket the host accepts, even when
        // some of those in use now (a program just ended) are closed meanwhile.
        const used = fs.readdirSync(`/proc/${pid}/fd`).length;
        setDescriptorLimit(pid, `${Math.max(used - 40, 16)}:${limits[1]}`);
        const port = Number(new URL(address).port);
        await h.waitFor(() => {
            sockets.push(net.connect(port, "127.0.0.1").on("error", () => {}));
            return failures() > 0;
        }, "an accept to fail", 20000);
        const start = Date.now();
        const before = failures();
        await new Promise((resolve) => setTimeout(resolve, 3000));
        watched = Date.now() - start;
        const retries = failures() - before;
        assert.ok(retries <= watched / 250 + 3, `${retries} failed accepts in ${watched} ms`);
    } finally {
        setDescriptorLimit(pid, `${limits[0]}:${limits[1]}`);
        for (const socket of sockets) socket.destroy();
    }
    const page = await context.newPage();
    await page.goto(address);
    await page.locator("#PluginsArea li").first().waitFor();
    await page.close();
});
