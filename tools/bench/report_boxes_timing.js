// node report_boxes_timing.js ROUNDS: times the check boxes of the scan report
// in Chromium, on the program's own page (its script, style and content
// policy, in the frame of its results layout). Each round lays out a report
// of 10,000 rows in 100 folders, as the plug-ins mark theirs, and notes when
// every row and folder has its box drawn, then when a click on the whole
// report's box has unticked every row; and the same report drawn without keys
// (so without boxes) for comparison. Prints one JSON object of medians in
// milliseconds. Runs inside the sandbox with a display.
"use strict";
const path = require("node:path");
const h = require(path.join(__dirname, "..", "..", "tests", "e2e", "harness.js"));
const { median } = require("./median");

const FOLDERS = 100;
const ROWS_PER_FOLDER = 100;

// In the page: the report goes in at once; resolves with the two marks.
function drawAndUntick({ folders, rowsPerFolder, keyed, timeoutMs }) {
    const layout = document.getElementById("Layout");
    layout.replaceChildren(Object.assign(document.createElement("div"), { className: "app mode-scan" }));
    return new Promise((resolve) => setTimeout(() => {
        // The results layout's frame (layout_results.html): the report scrolls
        // inside the window's main column, which Chromium paints only as far
        // as it shows, as in the window.
        const element = (tag, className) => Object.assign(document.createElement(tag), { className });
        const app = element("div", "app mode-results");
        const columns = element("div", "app-body");
        const main = element("main", "main");
        const details = Object.assign(element("section", "details"), { id: "DetailsArea" });
        const footer = element("footer", "app-footer");
        const clean = Object.assign(document.createElement("button"), { textContent: "Clean" });
        clean.setAttribute("cid", "btn_clean");
        main.append(details);
        columns.append(element("aside", "side"), main);
        footer.append(clean);
        app.append(element("header", "app-header"), element("nav", "steps"), columns, footer);
        const section = Object.assign(document.createElement("section"), { className: "report-section" });
        section.setAttribute("data-group", "plugin:Bench");
        const title = Object.assign(document.createElement("h2"),
                                    { className: "report-title", textContent: "Bench" });
        const table = Object.assign(document.createElement("table"), { className: "report" });
        const rows = table.createTBody();
        for (let f = 0; f < folders; ++f) {
            const header = rows.insertRow();
            if (keyed) {
                header.setAttribute("data-group", "Bench/folder:" + f);
                header.setAttribute("data-in-group", "plugin:Bench");
            }
            header.insertCell().textContent = "C:\\Bench\\" + f;
            for (let r = 0; r < rowsPerFolder; ++r) {
                const row = rows.insertRow();
                if (keyed) {
                    row.setAttribute("data-item", "Bench/" + f + "/" + r);
                    row.setAttribute("data-in-group", "Bench/folder:" + f);
                }
                row.insertCell().textContent = "file" + r + ".tmp";
                row.insertCell().textContent = "1.00 KB";
            }
        }
        section.append(title, table);
        details.append(section);
        const boxes = keyed ? folders * (rowsPerFolder + 1) + 1 : 0;
        const start = performance.now();
        const marks = {};
        // A mark counts once the frame that shows it is drawn.
        const afterFrame = (then) => requestAnimationFrame(() => setTimeout(then, 0));
        const waitDrawn = () => {
            if (document.querySelectorAll(".keep-box").length < boxes) return afterFrame(waitDrawn);
            document.body.getBoundingClientRect();
            afterFrame(() => {
                marks.drawn = performance.now() - start;
                if (!keyed) return resolve(marks);
                const untickStart = performance.now();
                section.querySelector(".keep-box").click();
                const waitUnticked = () => {
                    if (!document.querySelector("tr[data-item]:not(.kept-by-you)")) {
                        afterFrame(() => {
                            marks.untickAll = performance.now() - untickStart;
                            resolve(marks);
                        });
                    } else {
                        afterFrame(waitUnticked);
                    }
                };
                waitUnticked();
            });
        };
        layout.replaceChildren(app);
        waitDrawn();
        setTimeout(() => resolve({ ...marks, timedOut: true }), timeoutMs);
    }, 0));
}

async function main() {
    const rounds = Number(process.argv[2] || 5);
    const browser = await h.launchBrowser();
    const program = h.startProgram();
    const samples = [];
    try {
        const page = await browser.newPage();
        await page.goto(await h.waitForAddress(program));
        await page.waitForSelector('.app.mode-normal [cid="btn_scan"]', { timeout: 30000 });
        for (let round = 0; round < rounds; ++round) {
            const run = (keyed) => page.evaluate(drawAndUntick, {
                folders: FOLDERS, rowsPerFolder: ROWS_PER_FOLDER, keyed, timeoutMs: 60000 });
            const marks = await run(true);
            if (marks.timedOut) throw new Error("the boxes were not drawn: " + JSON.stringify(marks));
            // The same report without keys, so without boxes: what the boxes add.
            marks.plain = (await run(false)).drawn;
            samples.push(marks);
        }
    } finally {
        await program.stop();
        await browser.close();
    }
    const pick = (key) => median(samples.map((marks) => marks[key]));
    process.stdout.write(JSON.stringify({
        drawn: pick("drawn"), plain: pick("plain"), untickAll: pick("untickAll"), rounds }) + "\n");
}

main().catch((error) => {
    process.stderr.write(String(error && error.stack ? error.stack : error) + "\n");
    process.exit(1);
});
