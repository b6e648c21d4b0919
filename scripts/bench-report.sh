#!/usr/bin/env bash
# Runs every benchmark of bench/ in one session (the release build) and prints each figure
# beside its floor, measured in that same session, as a ratio: the table of bench/README.md.
# Wants a quiet machine: the load average before and after is printed with the table.
#
# Usage: scripts/bench-report.sh [BUILD_DIR]   (default build/release; configured and built
# here with the release preset when it is missing). Needs python3 for the table.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
if [ ! -f "$build/build.ninja" ]; then
    # No -Werror: GCC 12 warns falsely (-Wrestrict) in std::string code at -O3.
    cmake --preset release -B "$build" >/dev/null
fi
benches=(bench_floors bench_platform bench_output bench_dialog bench_runs screen_start_bench
         bench_wine_runs)
cmake --build "$build" --target "${benches[@]}" -- -j2 >/dev/null

out=$(mktemp -d /tmp/nxbridge-bench.XXXXXX)
trap 'rm -rf "$out"' EXIT
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for bench in "${benches[@]}"; do
    binary=$build/bin/$bench
    [ -x "$binary" ] || { echo "bench-report: $bench was not built" >&2; continue; }
    echo "running $bench" >&2
    "$binary" --benchmark_format=json --benchmark_out="$out/$bench.json" \
        --benchmark_out_format=json >/dev/null 2>"$out/$bench.err" ||
        { echo "bench-report: $bench failed:" >&2; sed 's/^/    /' "$out/$bench.err" >&2; }
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 - "$out" "$load_before" "$load_after" <<'PY'
import glob, json, os, sys

out, load_before, load_after = sys.argv[1:4]
figures = {}  # benchmark name -> {"time": ns, counters...}
context = {}
for path in sorted(glob.glob(os.path.join(out, "*.json"))):
    data = json.load(open(path))
    context = data.get("context", context)
    for b in data["benchmarks"]:
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        # The plain name: without the run's options ("/real_time", "/repeats:15", ...).
        name = "/".join(part for part in b.get("run_name", b["name"]).split("/")
                        if part not in ("real_time", "manual_time")
                        and not part.startswith(("iterations:", "repeats:")))
        # Repeated benchmarks report their median; single runs report themselves.
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        entry = {"time": b["real_time"] * scale}
        for key, value in b.items():
            if key.endswith(("_us", "_KiB", "_kB", "_processes")):
                entry[key] = value
        figures[name] = entry

def value(name, counter="time"):
    entry = figures.get(name)
    return None if entry is None else entry.get(counter)

def show(ns):
    if ns is None: return "n/a"
    if ns >= 1e6: return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3: return f"{ns / 1e3:.2f} µs"
    return f"{ns:.1f} ns"

# (figure, counter, floor, counter, what the ratio says)
pairs = [
    ("BM_AnglesOnlyRun", "time", "BM_EmptyProcess", "time", "a \"-Gha\" run beyond its 1.5 s pause, per empty process (bound: 12 ms)"),
    ("BM_DistanceRun", "time", "BM_EmptyProcess", "time", "a \"-Ghd\" run beyond its pause and polls, per empty process"),
    ("BM_AnglesOnlyRun", "max_rss_KiB", "BM_EmptyProcess", "max_rss_KiB", "peak memory (KiB) of a \"-Gha\" run, per empty process (bound: 8 MB)"),
    ("BM_BridgeDialogMappedBeyondPause", "time", "BM_EmptyFltkWindowMapped", "time", "\"-Nor\" start to mapped dialog beyond the pause, per empty FLTK window"),
    ("BM_LockCopyUnlock", "time", "BM_FloorMutexCopy", "time", "the device's lock + copy 120 bytes + unlock, per bare pthread mutex"),
    ("BM_LockCopyUnlockWhileAnotherProcessRewrites", "time", "BM_LockCopyUnlock", "time", "the copy while another process rewrites, per uncontended copy"),
    ("BM_DataChangeRefresh", "time", "BM_LockCopyUnlock", "time", "the dialog's data-change refresh, per lock + copy + unlock"),
    ("BM_PostToReceiveBetweenProcesses", "median_us", "BM_FloorFifoPostBetweenProcesses", "median_us", "the device's post between processes (median), per bare FIFO message"),
    ("BM_NotificationToDisplay", "median_us", "BM_PostToReceiveBetweenProcesses", "median_us", "a notification to the refreshed display (median), per post between processes"),
    ("BM_WriteResultFile", "time", "BM_FloorFileReplace", "time", "one whole result file, per bare write + write-out + rename"),
    ("BM_WineAnglesOnlyRun", "time", "BM_WineEmptyProgram", "time", "the Windows bridge's \"-Gha\" run under Wine beyond its pause, per empty Windows program"),
]
print(f"Measured {context.get('date', '?')} on {context.get('host_name', '?')}, "
      f"{context.get('num_cpus', '?')} CPUs; load average before {load_before}, after {load_after}.")
print()
print("| figure | value | floor | value | ratio | meaning |")
print("|---|---|---|---|---|---|")
for figure, fc, floor, lc, meaning in pairs:
    f, l = value(figure, fc), value(floor, lc)
    def shown(v, counter):
        if v is None: return "n/a"
        if counter.endswith("_us"): return show(v * 1e3)
        if counter.endswith("_KiB"): return f"{v:.0f} KiB"
        return show(v)
    fs, ls = shown(f, fc), shown(l, lc)
    ratio = f"{f / l:.2f}" if f is not None and l else "n/a"
    print(f"| {figure} | {fs} | {floor} | {ls} | {ratio} | {meaning} |")
print()
print("Every figure:")
print()
print("| benchmark | time | counters |")
print("|---|---|---|")
for name in sorted(figures):
    entry = figures[name]
    counters = ", ".join(f"{k} {v:.3g}" for k, v in entry.items() if k != "time")
    print(f"| {name} | {show(entry['time'])} | {counters} |")
PY
