// Starts the real program inside the Veltrane sandbox (scripts/sandbox sets
// WINEPREFIX and the display) and opens its pages in Debian's Chromium.
"use strict";
const { spawn, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const http = require("node:http");
const os = require("node:os");
const path = require("node:path");
const { chromium } = require("playwright-core");

const WINE = "/usr/lib/wine/wine64";
const PROGRAM = "C:\\Program Files\\Veltrane\\veltrane.exe";
const ROOT = path.resolve(__dirname, "..", "..");
const BUILD = path.join(process.env.VELTRANE_BUILD_ROOT || path.join(ROOT, "build"), "x86_64");
const SHOTS = path.join(BUILD, "screenshots");

function prefix() {
    const dir = process.env.WINEPREFIX;
    if (!dir || !process.env.VELTRANE_SANDBOX || fs.existsSync(path.join(dir, "dosdevices", "z:"))) {
        throw new Error("run the end-to-end tests through scripts/sandbox --display");
    }
    return dir;
}

const driveC = () => path.join(prefix(), "drive_c");
const installedFile = (relative) => path.join(driveC(), "Program Files", "Veltrane", relative);
const workDir = () => path.join(driveC(), "e2e");

function wine(args) {
    return spawnSync(WINE, args, { encoding: "utf8", timeout: 60000 });
}

// The shell's "open" of a web address reaches Wine's browser launcher; it is
// pointed at a recorder so that the tests see what the program asked it to open.
function recordShellOpens() {
    fs.mkdirSync(workDir(), { recursive: true });
    const recorder = path.join(workDir(), "record-open.sh");
    const log = path.join(workDir(), "shell-opens.log");
    fs.writeFileSync(recorder, `#!/bin/sh\necho "$1" >> '${log}'\n`, { mode: 0o755 });
    fs.rmSync(log, { force: true });
    const result = wine(["reg", "add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers",
                         "/d", recorder, "/f"]);
    if (result.status !== 0) throw new Error("cannot set Wine's browser: " + result.stderr);
    return () => (fs.existsSync(log) ? fs.readFileSync(log, "utf8").split("\n").filter(Boolean) : []);
}

let runs = 0;

// One run of veltrane.exe (or of a copy at `program`); `trace` is its log,
// `output` what it printed, `errors` what Wine wrote of it (with `env`, say
// WINEDEBUG, for more).
function startProgram(args = [], env = {}, program = PROGRAM) {
    fs.mkdirSync(workDir(), { recursive: true });
    const name = `trace-${process.pid}-${++runs}.log`;
    const tracePath = path.join(workDir(), name);
    fs.rmSync(tracePath, { force: true });
    const child = spawn(WINE, [program, ...args], {
        env: { ...process.env, VELTRANE_TRACE: "C:\\e2e\\" + name, ...env },
        stdio: ["ignore", "pipe", "pipe"],
    });
    const run = {
        child,
        output: "",
        errors: "",
        trace: () => (fs.existsSync(tracePath) ? fs.readFileSync(tracePath, "utf8") : ""),
        exited: new Promise((resolve) => child.on("exit", (code) => resolve(code))),
        stop() {
            child.kill("SIGKILL");
            return run.exited;
        },
    };
    child.stdout.on("data", (data) => (run.output += data));
    child.stderr.on("data", (data) => (run.errors += data));
    return run;
}

async function waitFor(check, what, timeoutMs = 30000) {
    const end = Date.now() + timeoutMs;
    for (;;) {
        const value = await check();
        if (value) return value;
        if (Date.now() > end) throw new Error("timed out waiting for " + what);
        await new Promise((resolve) => setTimeout(resolve, 100));
    }
}

// The launch address from the program's log: it opens the window once, and
// gives the browser the session's cookie on the way.
function waitForAddress(run) {
    return waitFor(() => {
        const match = /Veltrane UI: (\S+)/.exec(run.trace());
        return match && match[1];
    }, "the page address in the log");
}

const LAUNCH = /^(http:\/\/127\.0\.0\.1:\d+\/[0-9a-f]{32}\/)launch\/[0-9a-f]{32}$/;

// The main page's own address behind a launch address: it serves a browser
// that already holds the session's cookie (another tab, a reload).
function pageAddress(launchAddress) {
    const match = LAUNCH.exec(launchAddress);
    if (!match) throw new Error("not a launch address: " + launchAddress);
    return match[1] + "Common/layout.html";
}

// The session's cookie a browser context got, as a Cookie header's value.
async function sessionCookie(context) {
    const cookie = (await context.cookies()).find((c) => c.name === "veltrane_session");
    return cookie ? `${cookie.name}=${cookie.value}` : "";
}

function waitForTrace(run, text) {
    return waitFor(() => run.trace().includes(text), JSON.stringify(text) + " in the log", 15000);
}

async function launchBrowser() {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "veltrane-e2e-"));
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: "/usr/bin/chromium",
        headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking",
               "--disable-component-update", "--disable-sync", "--no-first-run"],
    });
    context.close = ((close) => async () => {
        await close();
        fs.rmSync(profile, { recursive: true, force: true });
    })(context.close.bind(context));
    return context;
}

// A raw GET, path sent exactly as given (no URL normalisation on the way);
// `headers` may name another Host or ask for a socket upgrade.
function rawGet(address, requestPath, headers = {}) {
    const url = new URL(address);
    return new Promise((resolve, reject) => {
        const request = http.request({ host: url.hostname, port: url.port, path: requestPath, headers },
            (response) => {
                let body = "";
                response.on("data", (data) => (body += data));
                response.on("end", () => resolve({ status: response.statusCode,
                                                   type: response.headers["content-type"],
                                                   headers: response.headers, body }));
            });
        // An accepted upgrade answers 101 and leaves the socket open.
        request.on("upgrade", (response, socket) => {
            socket.destroy();
            resolve({ status: response.statusCode, type: undefined, headers: response.headers, body: "" });
        });
        request.on("error", reject);
        request.end();
    });
}

// Runs a Windows helper built with the tests inside the sandbox; resolves to its exit code.
function runHelper(name, args) {
    const root = path.resolve(__dirname, "..", "..");
    const build = path.join(process.env.VELTRANE_BUILD_ROOT || path.join(root, "build"), "x86_64");
    const result = spawnSync(path.join(root, "scripts", "wine-exec"),
                             [path.join(build, "tests", "ui_window", name + ".exe"), ...args],
                             { encoding: "utf8", timeout: 60000 });
    return result.status;
}

// Sets a value of the program's options before it starts.
function setOption(name, type, data) {
    const result = wine(["reg", "add", "HKLM\\SOFTWARE\\Veltrane\\Options", "/v", name, "/t", type,
                         "/d", String(data), "/f"]);
    if (result.status !== 0) throw new Error("cannot set option " + name + ": " + result.stderr);
}

// Sets or deletes any value of the prefix's registry (a test's own arrangement).
function setRegistryValue(key, name, type, data) {
    const result = wine(["reg", "add", key, "/v", name, "/t", type, "/d", String(data), "/f"]);
    if (result.status !== 0) throw new Error("cannot set " + name + ": " + result.stderr);
}

function deleteRegistryValue(key, name) {
    wine(["reg", "delete", key, "/v", name, "/f"]);
}

function registryValue(key, name) {
    const result = wine(["reg", "query", key, "/v", name]);
    const line = result.stdout.split("\n").find((l) => l.trim().startsWith(name));
    return line ? line.trim().split(/\s{2,}|\t/).slice(2).join(" ") : null;
}

// Seeds the traces of the given plug-in families ("standard,system"), or of every family, into the prefix.
function seedTraces(families) {
    const only = families === undefined ? [] : ["--only", families];
    return spawnSync(path.join(ROOT, "scripts", "wine-exec"),
                     [path.join(BUILD, "tools", "seedtraces", "seedtraces.exe"), ...only],
                     { encoding: "utf8", timeout: 300000 });
}

// Starts the program and opens its window in a new browser, once the plug-in list is shown.
async function startWindow() {
    const browser = await launchBrowser();
    const program = startProgram();
    const page = await browser.newPage({ viewport: { width: 1000, height: 720 } });
    await page.goto(await waitForAddress(program));
    await page.locator("#PluginsArea li").first().waitFor();
    return { browser, program, page };
}

// What the tests reach for on the main page; `currentPage` answers the page in use.
function mainPage(currentPage) {
    const command = (cid) => currentPage().locator(`#control[cid="${cid}"]`);
    return {
        command,
        item: (id) => currentPage().locator(`#PluginsArea li:has(button[pluginid="${id}"])`),
        dialog: () => currentPage().frameLocator(".dialog-frame iframe"),
        // The mode whose buttons include `cid`, once its layout is filled (the hint comes last).
        waitForMode: async (cid) => {
            await command(cid).waitFor({ timeout: 120000 });
            await currentPage().locator("#HintText h1").waitFor();
        },
    };
}

module.exports = { BUILD, LAUNCH, ROOT, SHOTS, deleteRegistryValue, driveC, installedFile, launchBrowser,
                   mainPage, pageAddress, rawGet, recordShellOpens, registryValue, runHelper, seedTraces,
                   sessionCookie, setOption, setRegistryValue, startProgram, startWindow, waitFor,
                   waitForAddress, waitForTrace, workDir };
