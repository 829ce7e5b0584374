// node ui_timing.js ROUNDS: times the page in Chromium. From a click on
// "btn_scan": to the scanning layout, and to the report of the scan shown with
// all its rows (bench.py seeds 10,000 typed addresses and ticks only their
// plug-in). Each round is a fresh start of the program. Prints one JSON object
// of medians in milliseconds. Runs inside the sandbox with a display.
"use strict";
const path = require("node:path");
const h = require(path.join(__dirname, "..", "..", "tests", "e2e", "harness.js"));
const { median } = require("./median");

const ROWS = 10000;

// In the page: clicks the scan button and notes when each layout appears.
function clickAndWatch({ rows, timeoutMs }) {
    return new Promise((resolve) => {
        const marks = {};
        const start = performance.now();
        const check = () => {
            const now = performance.now() - start;
            if (marks.scanLayout === undefined && document.querySelector(".app.mode-scan"))
                marks.scanLayout = now;
            if (marks.resultsLayout === undefined && document.querySelector(".app.mode-results"))
                marks.resultsLayout = now;
            if (marks.resultsLayout !== undefined && document.querySelectorAll("tr").length >= rows) {
                marks.reportShown = now;
                observer.disconnect();
                resolve(marks);
            }
        };
        const observer = new MutationObserver(check);
        observer.observe(document.body, { childList: true, subtree: true, attributes: true });
        document.querySelector('[cid="btn_scan"]').click();
        setTimeout(() => {
            observer.disconnect();
            resolve({ ...marks, timedOut: true, rowsSeen: document.querySelectorAll("tr").length });
        }, timeoutMs);
    });
}

async function main() {
    const rounds = Number(process.argv[2] || 5);
    h.recordShellOpens();
    const browser = await h.launchBrowser();
    const samples = [];
    try {
        for (let round = 0; round < rounds; ++round) {
            const program = h.startProgram();
            try {
                const address = await h.waitForAddress(program);
                const page = await browser.newPage();
                await page.goto(address);
                await page.waitForSelector('.app.mode-normal [cid="btn_scan"]', { timeout: 30000 });
                const marks = await page.evaluate(clickAndWatch, { rows: ROWS, timeoutMs: 120000 });
                if (marks.timedOut) throw new Error("the report did not show: " + JSON.stringify(marks));
                samples.push(marks);
                await page.close();
            } finally {
                await program.stop();
            }
        }
    } finally {
        await browser.close();
    }
    const pick = (key) => median(samples.map((marks) => marks[key]));
    process.stdout.write(JSON.stringify({
        scanLayout: pick("scanLayout"),
        resultsLayout: pick("resultsLayout"),
        reportShown: pick("reportShown"),
        rounds,
    }) + "\n");
}

main().catch((error) => {
    process.stderr.write(String(error && error.stack ? error.stack : error) + "\n");
    process.exit(1);
});
