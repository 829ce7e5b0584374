#!/usr/bin/env python3
"""Times Veltrane against its baselines. Runs inside a sandbox (scripts/bench).

Each benchmark seeds its data once through Win32 (benchbase), keeps a copy of
it, and puts that copy back before every timed run, so that every contender
starts from the same state. Contenders alternate within each round, and each
figure is the median of the rounds.
"""
import argparse
import hashlib
import json
import os
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

from report_boxes import bench_report_boxes

WINE = "/usr/lib/wine/wine64"
PROGRAM = r"C:\Program Files\Veltrane\veltrane.exe"
BENCHBASE = r"C:\Program Files\VeltraneBench\benchbase.exe"
TREE_NAME = "VeltraneBench"
TYPED_URLS_KEY = r"Software\Microsoft\Internet Explorer\TypedURLs"
RUN_LIST_KEY = r"Software\Microsoft\Windows\CurrentVersion\Explorer\RunMRU"
OPTIONS_KEY = r"HKLM\SOFTWARE\Veltrane\Options"
# Under Wine every listing of the 50,000-entry URL cache takes about 40 s (the
# loop's as much as the program's); three rounds keep the whole run under 15 minutes.
IECACHE_ROUNDS = 3
# Every figure against the Win32 loop must stay at or below this ratio.
RATIO_GOAL = 1.10
# Above this load average other work on the machine swamps the program's own
# overhead: such a figure is marked noisy instead of met or missed.
QUIET_LOAD = 1.5


def fail(message):
    print(f"bench: {message}", file=sys.stderr)
    sys.exit(2)


def check_sandbox():
    sandbox = os.environ.get("VELTRANE_SANDBOX", "")
    prefix = Path(os.environ.get("WINEPREFIX", "/nonexistent"))
    if not sandbox or not (Path(sandbox) / ".veltrane-sandbox").is_file():
        fail("not inside a Veltrane sandbox; run scripts/bench")
    if (prefix / "dosdevices" / "z:").exists():
        fail("the sandbox still has a Z: drive")
    return prefix


class Runner:
    def __init__(self, prefix, build, quiet):
        self.prefix = prefix
        self.drive_c = prefix / "drive_c"
        self.quiet = quiet
        install = self.drive_c / "Program Files" / "VeltraneBench"
        install.mkdir(parents=True, exist_ok=True)
        self.benchbase_path = build / "tools" / "bench" / "benchbase.exe"
        shutil.copy2(self.benchbase_path, install)
        self.temp = self.linux_path(self.windows_env("TEMP"))

    def linux_path(self, windows_path):
        if not windows_path.lower().startswith("c:\\"):
            fail(f"unexpected Windows path {windows_path}")
        return self.drive_c.joinpath(*windows_path[3:].split("\\"))

    def windows_env(self, name):
        out = self.run([WINE, "cmd", "/c", "echo", f"%{name}%"]).stdout
        return out.strip().splitlines()[-1].strip()

    def run(self, command, check=True, env=None):
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, text=True, errors="replace", env=env)
        if check and done.returncode != 0:
            fail(f"{' '.join(command)} exited {done.returncode}:\n{done.stdout}{done.stderr}")
        return done

    def timed(self, command, env=None):
        """Seconds, output and peak resident size in MiB of one run. The peak
        is the kernel's high-water mark of the process (VmHWM), which is what
        Wine reports as the peak working set."""
        start = time.perf_counter()
        with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              stdin=subprocess.DEVNULL, text=True, errors="replace",
                              env=env) as child:
            output = child.stdout.read()
            _, status, usage = os.wait4(child.pid, 0)
            child.returncode = os.waitstatus_to_exitcode(status)
        seconds = time.perf_counter() - start
        if child.returncode != 0:
            fail(f"{' '.join(command)} exited {child.returncode}:\n{output}")
        return seconds, output, usage.ru_maxrss / 1024

    def benchbase(self, *args, check=True):
        done = self.run([WINE, BENCHBASE, *args], check=check)
        return parse_counts(done.stdout)

    def veltrane(self, *args):
        return [WINE, PROGRAM, *args]

    def set_option(self, name, value):
        self.run([WINE, "reg", "add", OPTIONS_KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f"])

    def log(self, text):
        if not self.quiet:
            print(f"  . {text}", flush=True)


def parse_counts(text):
    """The last "key=value ..." line of benchbase's output."""
    for line in reversed(text.strip().splitlines()):
        if "=" in line:
            return {k: int(v) for k, v in (p.split("=", 1) for p in line.split())}
    return {}


class Snapshot:
    """A copy of a folder of the prefix, put back before each timed run."""

    def __init__(self, folder, store, take=True):
        """take: copy the folder into the store now; else the store holds the copy already."""
        self.folder = folder
        self.store = store
        if take:
            subprocess.run(["rm", "-rf", "--", str(store)], check=True)
            subprocess.run(["cp", "-a", "--", str(folder), str(store)], check=True)

    def restore(self):
        subprocess.run(["rm", "-rf", "--", str(self.folder)], check=True)
        self.folder.parent.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cp", "-a", "--", str(self.store), str(self.folder)], check=True)
        # The timed run should not pay for writing the copy back (a no-op in memory).
        subprocess.run(["sync", "-f", str(self.folder)], check=False)

    def drop(self):
        subprocess.run(["rm", "-rf", "--", str(self.store)], check=False)


class Results:
    def __init__(self):
        self.figures = []
        self.group_load = 0.0

    def start_group(self, name):
        """Prints and remembers the load average the group's figures are taken at."""
        self.group_load = os.getloadavg()[0]
        state = "noisy" if self.group_load > QUIET_LOAD else "quiet"
        print(f"# {name} (load average {self.group_load:.2f}, {state})", flush=True)

    def add(self, name, value, unit, baseline, baseline_name, goal=None, note=None):
        """goal: ("ratio", bound) or ("value", bound); the figure must stay at or below it."""
        ratio = value / baseline if value is not None and baseline else None
        # The higher of the loads before and after the group's runs.
        load = max(self.group_load, os.getloadavg()[0])
        noisy = load > QUIET_LOAD
        met = None
        goal_text = None
        if goal and value is not None:
            kind, bound = goal
            if not noisy:
                met = (ratio if kind == "ratio" else value) <= bound
            goal_text = f"ratio <= {bound}" if kind == "ratio" else f"value <= {bound} {unit}"
        elif goal:
            goal_text = f"{goal[0]} <= {goal[1]}"
        figure = {"name": name, "value": rounded(value), "unit": unit,
                  "baseline": rounded(baseline), "baselineName": baseline_name,
                  "ratio": rounded(ratio), "goal": goal_text, "met": met,
                  "loadAverage": round(load, 2), "noisy": noisy}
        if note:
            figure["note"] = note
        self.figures.append(figure)
        if value is None:
            print(f"{name:<40} not measurable: {note}  ratio n/a", flush=True)
            return
        if noisy and goal:
            verdict = f" [noisy: load {load:.2f}]"
        else:
            verdict = "" if met is None else (" [goal met]" if met else " [GOAL MISSED]")
        goal_part = f"  goal {goal_text}{verdict}" if goal_text else ""
        print(f"{name:<40} {value:9.3f} {unit:<3} | {baseline_name} {baseline:.3f} {unit}"
              f"{goal_part}  ratio {ratio:.2f}", flush=True)

    def write(self, path):
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(json.dumps(self.figures, indent=2) + "\n")


def rounded(number):
    return None if number is None else round(number, 4)


def alternate(rounds, contenders, runner):
    """Runs every contender once per round, the order reversed every other
    round; returns the median seconds and the largest peak (MiB) of each."""
    times = {name: [] for name in contenders}
    peaks = {name: 0.0 for name in contenders}
    for index in range(rounds):
        order = list(contenders.items())
        if index % 2:
            order.reverse()
        for name, (prepare, command, verify, env) in order:
            prepare()
            seconds, output, peak = runner.timed(command, env)
            verify(output)
            times[name].append(seconds)
            peaks[name] = max(peaks[name], peak)
            runner.log(f"round {index + 1} {name}: {seconds:.3f} s, peak {peak:.1f} MiB")
    return {name: statistics.median(values) for name, values in times.items()}, peaks


def nothing(*_):
    pass


# 1. The temporary folder: 5,000 files of 4 KiB in 611 folders.
def bench_tempdir(runner, results, rounds, overwrite, scratch):
    temp = runner.temp
    runner.benchbase("tree-delete", "%TEMP%", check=False)  # whatever Wine left there
    runner.set_option("OverWrite", "1" if overwrite else "0")
    seeded = runner.benchbase("tree-seed", rf"%TEMP%\{TREE_NAME}")
    if seeded.get("files") != 5000:
        fail(f"seeding the folder tree gave {seeded}")
    snapshot = Snapshot(temp, scratch / "temp")

    def verify_empty(_):
        left = list(temp.iterdir()) if temp.exists() else []
        if left:
            fail(f"the temporary folder still holds {len(left)} entries: {left[:3]}")

    cleaner_env = dict(os.environ, VELTRANE_BENCH_TEMP=str(temp))
    extra = ["--overwrite"] if overwrite else []
    contenders = {
        "veltrane": (snapshot.restore, runner.veltrane("/clean", "/only:TempDir"), verify_empty,
                     None),
        "win32": (snapshot.restore,
                  [WINE, BENCHBASE, "tree-delete", "%TEMP%"] + extra, verify_empty, None),
        "bleachbit": (snapshot.restore,
                      ["bleachbit", "--clean", "veltrane_bench.tempdir"] + extra, verify_empty,
                      cleaner_env),
    }
    if not overwrite:
        contenders["rm"] = (snapshot.restore, ["rm", "-rf", "--", str(temp / TREE_NAME)],
                            verify_empty, None)
    medians, _ = alternate(rounds, contenders, runner)
    runner.set_option("OverWrite", "0")
    snapshot.drop()
    name = "tempdir.clean" + (".overwrite" if overwrite else "")
    mine = medians["veltrane"]
    results.add(name, mine, "s", medians["win32"], "win32 loop", ("ratio", RATIO_GOAL))
    results.add(name + ".vs_bleachbit", mine, "s", medians["bleachbit"],
                "bleachbit --clean" + (" --overwrite" if overwrite else ""),
                ("ratio", 1.0) if overwrite else None)
    if "rm" in medians:
        results.add(name + ".vs_rm", mine, "s", medians["rm"], "rm -rf")


# 2. The Internet Explorer cache: 50,000 entries over 2,000 domains.
def seeded_cache_key(runner):
    """Names a seeded cache by what made it: the seeding program and Wine."""
    digest = hashlib.sha256(runner.benchbase_path.read_bytes())
    digest.update(runner.run([WINE, "--version"]).stdout.encode())
    return digest.hexdigest()[:16]


def cache_snapshot(runner, saved_root):
    """The cache of 50,000 entries. Wine's cache index makes each entry dearer
    than the one before (10 to 45 minutes in all), so the first run saves a
    copy beside results.json and later runs put that copy in place instead."""
    cache = runner.linux_path(runner.windows_env("LOCALAPPDATA")) / "Microsoft" / "Windows" / \
        "INetCache"
    saved = saved_root / f"iecache-50000-{seeded_cache_key(runner)}"
    complete = saved_root / (saved.name + ".complete")
    if complete.is_file() and saved.is_dir():
        runner.log(f"using the seeded cache saved in {saved}")
        snapshot = Snapshot(cache, saved, take=False)
        snapshot.restore()
        return snapshot
    runner.benchbase("cache-delete", check=False)
    runner.log("seeding 50,000 cache entries (once; the copy is kept for later runs)")
    seeded = runner.benchbase("cache-seed", "50000", "2000")
    if seeded.get("entries") != 50000:
        fail(f"seeding the cache gave {seeded}")
    saved_root.mkdir(parents=True, exist_ok=True)
    complete.unlink(missing_ok=True)
    snapshot = Snapshot(cache, saved)
    complete.write_text("seeded\n")
    return snapshot


def bench_iecache(runner, results, rounds, saved_root):
    snapshot = cache_snapshot(runner, saved_root)

    def expect_entries(count):
        def verify(_):
            found = runner.benchbase("cache-scan").get("entries")
            if found != count:
                fail(f"the cache holds {found} entries, expected {count}")
        return verify

    def verify_baseline_scan(output):
        if parse_counts(output).get("entries") != 50000:
            fail(f"the win32 loop listed {output.strip()}")

    scan, _ = alternate(rounds, {
        "veltrane": (nothing, runner.veltrane("/scan", "/only:IEFileCache"), nothing, None),
        "win32": (nothing, [WINE, BENCHBASE, "cache-scan"], verify_baseline_scan, None),
    }, runner)
    results.add("iecache.scan", scan["veltrane"], "s", scan["win32"], "win32 loop",
                ("ratio", RATIO_GOAL))
    clean, peaks = alternate(rounds, {
        "veltrane": (snapshot.restore, runner.veltrane("/clean", "/only:IEFileCache"),
                     expect_entries(0), None),
        "win32": (snapshot.restore, [WINE, BENCHBASE, "cache-delete"], expect_entries(0), None),
    }, runner)
    results.add("iecache.clean", clean["veltrane"], "s", clean["win32"], "win32 loop",
                ("ratio", RATIO_GOAL))
    # The saved copy stays for the next run.
    results.add("iecache.clean.peak_working_set", peaks["veltrane"], "MiB", peaks["win32"],
                "win32 loop", ("value", 64))


# 3. A typed-address list and a run list of 10,000 values each.
def bench_registry(runner, results, rounds, plugin, key, letters, label):
    seed_args = ["reg-seed", key, "10000"] + (["--letters"] if letters else [])
    expected = 10000 + (1 if letters else 0)  # the Run list's order value

    def seed():
        runner.benchbase("reg-delete", key, check=False)
        runner.benchbase(*seed_args)

    def verify_left(count):
        def verify(_):
            left = runner.benchbase("reg-scan", key).get("values")
            if left != count:
                fail(f"{key} holds {left} values, expected {count}")
        return verify

    def verify_baseline_scan(output):
        if parse_counts(output).get("values") != expected:
            fail(f"the registry loop listed {output.strip()}")

    seed()
    scan, _ = alternate(rounds, {
        "veltrane": (nothing, runner.veltrane("/scan", f"/only:{plugin}"), nothing, None),
        "win32": (nothing, [WINE, BENCHBASE, "reg-scan", key], verify_baseline_scan, None),
    }, runner)
    results.add(f"{label}.scan", scan["veltrane"], "s", scan["win32"], "win32 loop",
                ("ratio", RATIO_GOAL))
    clean, _ = alternate(rounds, {
        "veltrane": (seed, runner.veltrane("/clean", f"/only:{plugin}"), verify_left(0), None),
        "win32": (seed, [WINE, BENCHBASE, "reg-delete", key], verify_left(0), None),
    }, runner)
    results.add(f"{label}.clean", clean["veltrane"], "s", clean["win32"], "win32 loop",
                ("ratio", RATIO_GOAL))


# 4. The page in Chromium: needs the window front end and the browser tests' harness.
def bench_ui(runner, results, root, rounds):
    harness = root / "tests" / "e2e" / "harness.js"
    figures = (("ui.scan_layout", "scanLayout", 100), ("ui.report_10000_rows", "reportShown", 800))
    if not harness.is_file() or not (root / "tests" / "e2e" / "node_modules").is_dir():
        for name, _, bound in figures:
            results.add(name, None, "ms", None, None, ("value", bound),
                        "needs the browser tests' harness and its modules (tests/e2e)")
        return
    # 10,000 typed addresses, and only their plug-in ticked.
    runner.benchbase("reg-delete", TYPED_URLS_KEY, check=False)
    runner.benchbase("reg-seed", TYPED_URLS_KEY, "10000")
    for plugin_id in (line.split()[1] for line in
                      runner.run(runner.veltrane("/list")).stdout.strip().splitlines()):
        runner.run([WINE, "reg", "add", r"HKLM\SOFTWARE\Veltrane\Plugins", "/v", plugin_id,
                    "/t", "REG_DWORD", "/d", "1" if plugin_id == "IEAddressBarHistory" else "0",
                    "/f"])
    done = runner.run(["node", str(Path(__file__).with_name("ui_timing.js")), str(rounds)],
                      check=False)
    if done.returncode != 0:
        for name, _, bound in figures:
            results.add(name, None, "ms", None, None, ("value", bound),
                        "the browser run failed: " + done.stderr.strip()[-300:])
        return
    marks = json.loads(done.stdout.strip().splitlines()[-1])
    # No program does this job for comparison: the bound itself is the baseline.
    for name, key, bound in figures:
        results.add(name, marks[key], "ms", bound, "goal bound", ("value", bound))
    results.add("ui.report_10000_rows.after_results_layout",
                marks["reportShown"] - marks["resultsLayout"], "ms", 800, "goal bound")


# 6. Firefox history: places.sqlite with 200,000 visits and 50,000 pages, 2,000
# of them bookmarked, against the same statements on the same SQLite library.
def bench_places(runner, results, rounds, scratch):
    roaming = runner.windows_env("APPDATA")
    firefox = runner.linux_path(roaming) / "Mozilla" / "Firefox"
    subprocess.run(["rm", "-rf", "--", str(firefox)], check=True)
    profile = firefox / "Profiles" / "bench.default-release"
    profile.mkdir(parents=True)
    (firefox / "profiles.ini").write_text(
        "[Profile0]\r\nName=bench\r\nIsRelative=1\r\n"
        "Path=Profiles/bench.default-release\r\nDefault=1\r\n")
    places = roaming + r"\Mozilla\Firefox\Profiles\bench.default-release\places.sqlite"
    runner.log("seeding places.sqlite: 50,000 pages, 200,000 visits")
    seeded = runner.benchbase("places-seed", places, "50000", "200000", "2000")
    if seeded != {"places": 50000, "visits": 200000}:
        fail(f"seeding places.sqlite gave {seeded}")
    snapshot = Snapshot(profile, scratch / "places")

    def verify(_):
        left = runner.benchbase("places-count", places)
        if left != {"places": 2000, "visits": 0}:
            fail(f"after the clean places.sqlite holds {left}")

    clean, _ = alternate(rounds, {
        "veltrane": (snapshot.restore, runner.veltrane("/clean", "/only:FirefoxHistory"), verify,
                     None),
        "sqlite": (snapshot.restore, [WINE, BENCHBASE, "places-clean", places], verify, None),
    }, runner)
    snapshot.drop()
    subprocess.run(["rm", "-rf", "--", str(firefox)], check=True)
    results.add("firefox_history.clean", clean["veltrane"], "s", clean["sqlite"],
                "same statements on SQLite alone", ("ratio", 1.10))


BENCHMARKS = ("tempdir", "overwrite", "typedurls", "runlist", "ui", "iecache", "places", "boxes")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, required=True, help="the x86_64 build folder")
    parser.add_argument("--results", type=Path, required=True, help="results.json to write")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--only", default=",".join(BENCHMARKS),
                        help="comma-separated: " + ", ".join(BENCHMARKS))
    parser.add_argument("--quiet", action="store_true", help="no per-run lines")
    args = parser.parse_args()
    wanted = [name for name in args.only.split(",") if name]
    unknown = set(wanted) - set(BENCHMARKS)
    if unknown:
        fail(f"unknown benchmark(s): {', '.join(sorted(unknown))}")
    if args.rounds < 5:
        print("bench: fewer than 5 rounds; the medians are indicative only", file=sys.stderr)

    prefix = check_sandbox()
    root = Path(__file__).resolve().parents[2]
    cleaners = Path(os.environ["HOME"]) / ".config" / "bleachbit" / "cleaners"
    cleaners.mkdir(parents=True, exist_ok=True)
    shutil.copy2(Path(__file__).with_name("veltrane_bench.xml"), cleaners)
    runner = Runner(prefix, args.build, args.quiet)
    scratch = Path(os.environ["VELTRANE_SANDBOX"]) / "bench-scratch"
    scratch.mkdir(exist_ok=True)
    results = Results()
    for name in wanted:
        results.start_group(name)
        if name in ("tempdir", "overwrite"):
            bench_tempdir(runner, results, args.rounds, name == "overwrite", scratch)
        elif name == "iecache":
            bench_iecache(runner, results, min(args.rounds, IECACHE_ROUNDS), args.results.parent)
        elif name == "places":
            bench_places(runner, results, args.rounds, scratch)
        elif name == "boxes":
            bench_report_boxes(runner, results, root, args.rounds)
        elif name == "typedurls":
            bench_registry(runner, results, args.rounds, "IEAddressBarHistory", TYPED_URLS_KEY,
                           False, "typedurls")
        elif name == "runlist":
            bench_registry(runner, results, args.rounds, "RunHistory", RUN_LIST_KEY, True,
                           "runlist")
        else:
            bench_ui(runner, results, root, args.rounds)
        results.write(args.results)
    print(f"results: {args.results}")


if __name__ == "__main__":
    main()
