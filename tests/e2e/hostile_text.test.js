// Text from the machine stays text: hostile strings planted wherever a report
// or dialog shows data (history, cookies, form entries, profile names, a temp
// file, registry values, SQLite's own message, the guard's refusal of a
// folder) are scanned and cleaned, every report and error link is opened, and
// each string shows as literal text while none runs: no dialog, no request it
// would make, no title change, and no content policy violation either (the
// policy is a second wall, not the first).
"use strict";
const assert = require("node:assert/strict");
const { spawnSync } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const { after, afterEach, before, test } = require("node:test");
const h = require("./harness");

// Each place's text; "pwned" in a URL or title is what a payload that ran would leave.
const HOSTILE = {
    historyDomain: "<img src=pwned-history onerror=alert('history')>",
    historyTitle: "<script>document.title='pwned-title'</script>",
    cookieHost: "<svg onload=alert('pwned-cookie')>",
    cookieName: "<img src=pwned-cookie-name onerror=alert(1)>",
    formField: "<img src=pwned-form onerror=alert('form')>",
    formValue: "<script>alert('pwned-form-value')</script>",
    firefoxFormField: "\"><img src=pwned-ff-form onerror=alert('ff-form')>",
    // Written into Local State as it is: no quote or backslash.
    chromeProfile: "<img src=pwned-profile onerror=alert('profile')>",
    firefoxProfile: "<b onmouseover=alert('pwned-ff-profile')>ff</b>",
    trigger: "<img src=pwned-trigger onerror=alert('trigger')>",
    sqliteCheck: "<img src=pwned-sqlite onerror=alert('sqlite')>",
    // Windows allows no < > " in a name: entities and quotes instead.
    tempFile: "&lt;img src=pwned-temp onerror=alert(7)&gt; 'q' #size# (1).tmp",
    typedUrl: "http://<svg onload=alert('typed')>/'\"><img src=pwned-typed>",
    runMru: "<img src=pwned-run onerror=alert('run')>",
};
// Where each shows: the plug-in whose reports hold it.
const SHOWN_IN = {
    ChromiumHistory: ["historyDomain", "chromeProfile"],
    ChromiumCookies: ["cookieHost"],
    ChromiumFormData: ["formField"],
    FirefoxFormHistory: ["firefoxFormField", "firefoxProfile"],
    TempDir: ["tempFile"],
    IEAddressBarHistory: ["typedUrl"],
    RunHistory: ["runMru"],
};
const PLUGINS = [...Object.keys(SHOWN_IN), "FirefoxHistory"];
const HOSTILE_FILE = "C:\\e2e\\hostile.json";

let browser;
let program;
let page;
const watched = { dialogs: [], requests: [] };

const { command, dialog, item, waitForMode } = h.mainPage(() => page);

async function openWindow(run) {
    page = await browser.newPage({ viewport: { width: 1000, height: 720 } });
    page.on("dialog", (shown) => {
        watched.dialogs.push(shown.message());
        shown.dismiss().catch(() => {});
    });
    await page.goto(await h.waitForAddress(run));
    await page.locator("#PluginsArea li").first().waitFor();
}

async function tickOnly(ids) {
    await command("btn_uncheckall").click();
    await page.locator("#PluginsArea input:checked").first().waitFor({ state: "detached" });
    for (const id of ids) await item(id).locator("input").click();
}

// The report of plug-in `id` as the page shows it.
async function reportText(id) {
    await item(id).locator(".plugin-name").click();
    await page.locator(`#PluginsArea li.selected button[pluginid="${id}"]`).waitFor();
    return page.locator("#DetailsArea").textContent();
}

// The title and reason of every error link of the report shown.
async function errorTexts() {
    const texts = [];
    const links = page.locator('#DetailsArea [cid^="idError_"]');
    for (let i = 0; i < (await links.count()); i++) {
        await links.nth(i).click();
        const reason = dialog().locator("#ReasonErrorArea");
        await h.waitFor(async () => (await reason.textContent()) !== "", "the error's reason");
        texts.push((await dialog().locator("#DefErrorArea").textContent()) + "\n" +
                   (await reason.textContent()));
        await dialog().locator("#btn_close").click();
        await page.locator(".dialog-frame").waitFor({ state: "detached" });
    }
    return texts;
}

// Nothing ran: no dialog, no request a payload makes, the titles as they
// were, and nothing the content policy had to stop.
async function assertNothingRan(run) {
    assert.deepEqual(watched.dialogs, []);
    assert.deepEqual(watched.requests.filter((url) => url.includes("pwned")), []);
    assert.equal(await page.title(), "Veltrane");
    assert.deepEqual(run.trace().split("\n").filter((line) => line.includes("content policy violation")),
                     []);
}

before(async () => {
    h.recordShellOpens();
    h.setOption("ShowWelcome", "REG_DWORD", 0);
    browser = await h.launchBrowser();
    browser.on("request", (request) => watched.requests.push(request.url()));
});

afterEach(async () => {
    if (program) await program.stop();
    program = null;
});

after(async () => {
    h.runHelper("hostile_traces", ["remove", HOSTILE_FILE]);
    if (browser) await browser.close();
});

test("hostile text in reports and error windows shows as text and never runs", async () => {
    fs.mkdirSync(h.workDir(), { recursive: true });
    fs.writeFileSync(path.join(h.workDir(), "hostile.json"), JSON.stringify(HOSTILE));
    h.runHelper("hostile_traces", ["remove", HOSTILE_FILE]);
    assert.equal(h.runHelper("hostile_traces", ["plant", HOSTILE_FILE]), 0);

    program = h.startProgram();
    await openWindow(program);
    await tickOnly(PLUGINS);
    await command("btn_scan").click();
    await waitForMode("btn_clean");
    for (const [id, places] of Object.entries(SHOWN_IN)) {
        const text = await reportText(id);
        for (const place of places) assert.ok(text.includes(HOSTILE[place]), `${place} in ${id}: ${text}`);
    }

    await command("btn_clean").click();
    await waitForMode("btn_finish");
    const errors = [];
    for (const id of PLUGINS) {
        const text = await reportText(id);
        for (const place of SHOWN_IN[id] || []) {
            assert.ok(text.includes(HOSTILE[place]), `${place} in the clean report of ${id}`);
        }
        errors.push(...(await errorTexts()));
    }
    // The profile whose pages may not be reset fails with SQLite's own word,
    // markup and all, as text; the trigger of the other never ran.
    assert.ok(errors.some((text) => text.includes("CHECK constraint failed: " + HOSTILE.sqliteCheck)),
              errors.join("\n---\n"));
    assert.ok(!errors.some((text) => text.includes(HOSTILE.trigger)), errors.join("\n---\n"));
    const history = await reportText("ChromiumHistory");
    assert.ok(!history.includes(HOSTILE.trigger));
    await assertNothingRan(program);
});

// The reason a run was refused a folder names the folder.
const GUARDED = "&lt;b&gt;pwned-guard 'q' #size# (1)";
const ENVIRONMENT = "HKCU\\Environment";

function environmentValue(name) {
    const result = spawnSync("/usr/lib/wine/wine64", ["reg", "query", ENVIRONMENT, "/v", name],
                             { encoding: "utf8", timeout: 60000 });
    const line = result.stdout.split("\n").find((l) => l.trim().startsWith(name));
    if (!line) return null;
    const [, type, ...data] = line.trim().split(/\s{2,}|\t/);
    return { type, data: data.join(" ") };
}

function setEnvironmentValue(name, value) {
    const args = value ? ["add", ENVIRONMENT, "/v", name, "/t", value.type, "/d", value.data, "/f"]
                       : ["delete", ENVIRONMENT, "/v", name, "/f"];
    spawnSync("/usr/lib/wine/wine64", ["reg", ...args], { encoding: "utf8", timeout: 60000 });
}

test("the guard's refusal of a folder named with markup shows the name as text", async () => {
    // A copy of the program inside the folder, which the temporary folder
    // then names: the guard keeps the program's own folder.
    const folder = path.join(h.driveC(), GUARDED);
    fs.rmSync(folder, { recursive: true, force: true });
    fs.cpSync(h.installedFile(""), path.join(folder, "app"), { recursive: true });
    const saved = { TEMP: environmentValue("TEMP"), TMP: environmentValue("TMP") };
    try {
        for (const name of ["TEMP", "TMP"]) {
            setEnvironmentValue(name, { type: "REG_SZ", data: "C:\\" + GUARDED });
        }
        program = h.startProgram([], {}, `C:\\${GUARDED}\\app\\veltrane.exe`);
        await openWindow(program);
        await tickOnly(["TempDir"]);
        await command("btn_scan").click();
        await waitForMode("btn_clean");
        assert.ok((await reportText("TempDir")).includes("C:\\" + GUARDED));
        await command("btn_clean").click();
        await waitForMode("btn_finish");
        const errors = await errorTexts();
        assert.equal(errors.length, 1);
        assert.ok(errors[0].includes(`"C:\\${GUARDED}\\"`), errors[0]);
        assert.match(errors[0], /The folder is protected/);
        await assertNothingRan(program);
    } finally {
        for (const name of ["TEMP", "TMP"]) setEnvironmentValue(name, saved[name]);
        if (program) await program.stop();
        program = null;
        fs.rmSync(folder, { recursive: true, force: true });
    }
});
