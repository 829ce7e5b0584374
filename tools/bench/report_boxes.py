"""The check boxes of a 10,000-row scan report in Chromium (report_boxes_timing.js)."""
import json
from pathlib import Path

# The report-speed goal: a 10,000-row report shown within 800 ms, boxes included.
REPORT_GOAL_MS = 800


def bench_report_boxes(runner, results, root, rounds):
    # The same report drawn without keys, so without boxes, shows what the
    # boxes themselves add to the time the report takes to be drawn.
    figures = (("ui.report_10000_rows.boxes_drawn", "drawn"),
               ("ui.report_10000_rows.untick_all", "untickAll"),
               ("ui.report_10000_rows.without_boxes", "plain"))
    if not (root / "tests" / "e2e" / "node_modules").is_dir():
        for name, _ in figures:
            results.add(name, None, "ms", None, None, ("value", REPORT_GOAL_MS),
                        "needs the browser tests' harness and its modules (tests/e2e)")
        return
    done = runner.run(["node", str(Path(__file__).with_name("report_boxes_timing.js")),
                       str(rounds)], check=False)
    if done.returncode != 0:
        for name, _ in figures:
            results.add(name, None, "ms", None, None, ("value", REPORT_GOAL_MS),
                        "the browser run failed: " + done.stderr.strip()[-300:])
        return
    marks = json.loads(done.stdout.strip().splitlines()[-1])
    for name, key in figures:
        results.add(name, marks[key], "ms", REPORT_GOAL_MS, "goal bound",
                    ("value", REPORT_GOAL_MS))
