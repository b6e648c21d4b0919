#!/usr/bin/env bash
# CI hardening, beside the test suite (which holds the fault campaign, label "faults", and runs
# under the sanitizers in .ci/run):
#   1. every libFuzzer target in fuzz/ for a bounded time from its committed corpus (clang,
#      with AddressSanitizer and UndefinedBehaviorSanitizer); a crash fails the job and its
#      input is kept under the fuzz build's crashes/ folder;
#   2. one end-to-end run of each mode under valgrind memcheck (scripts/valgrind-modes.sh).
#
# Knobs: NX_FUZZ_SECONDS (60 per target), NX_FUZZ_BUILD (build/fuzz), NX_VALGRIND_BUILD
# (build/debug, configured and built here when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

seconds=${NX_FUZZ_SECONDS:-60}
fuzz_build=${NX_FUZZ_BUILD:-build/fuzz}
valgrind_build=${NX_VALGRIND_BUILD:-build/debug}
jobs=$(($(nproc) < 2 ? 1 : 2))

echo "== fuzz targets: ${seconds} s each, ${jobs} at a time"
cmake -S . -B "$fuzz_build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNX_FUZZ=ON -DNX_BUILD_TESTS=OFF -DNX_WERROR=ON >/dev/null
targets=()
for dir in fuzz/*/; do
    name=$(basename "$dir")
    [ -f "$dir/${name}_fuzzer.cpp" ] && targets+=("$name")
done
cmake --build "$fuzz_build" --target "${targets[@]/#/fuzz_}" -- -j2 >/dev/null

work=$(mktemp -d /tmp/nxbridge-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT
crashes=$(realpath "$fuzz_build")/crashes

# Runs one target; its new inputs go to a scratch folder, the committed corpus is only read.
fuzz_one() {
    local name=$1 binary=$fuzz_build/bin/fuzz_$name
    mkdir -p "$work/$name/corpus" "$work/$name/artifacts"
    "$binary" -max_total_time="$seconds" -max_len=2048 -timeout=20 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$work/$name/artifacts/" \
        "$work/$name/corpus" "fuzz/$name/corpus" >"$work/$name/log" 2>&1
}

failed=0
pids=()
for name in "${targets[@]}"; do
    fuzz_one "$name" &
    pids+=($!)
    if ((${#pids[@]} >= jobs)); then
        wait "${pids[0]}" || true
        pids=("${pids[@]:1}")
    fi
done
wait || true
for name in "${targets[@]}"; do
    runs=$(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$work/$name/log" | grep -o '[0-9]*$' || echo "?")
    if compgen -G "$work/$name/artifacts/*" >/dev/null || ! grep -q 'Done [0-9]* runs' "$work/$name/log"; then
        echo "fuzz_$name: FAILED after $runs runs"
        grep -E 'ERROR|check failed|runtime error|SUMMARY' "$work/$name/log" | head -n 20 | sed 's/^/    /'
        mkdir -p "$crashes/$name"
        cp "$work/$name"/artifacts/* "$crashes/$name/" 2>/dev/null || true
        echo "    inputs kept in $crashes/$name; replay: $fuzz_build/bin/fuzz_$name INPUT"
        failed=1
    else
        echo "fuzz_$name: ok, $runs runs"
    fi
done

echo "== valgrind memcheck: one run of each mode"
if [ ! -f "$valgrind_build/build.ninja" ]; then
    cmake --preset debug -B "$valgrind_build" -DNX_WERROR=ON >/dev/null
fi
cmake --build "$valgrind_build" --target nxbridge nxsim nxdevice nxsetup nxshortcut vlout \
    -- -j2 >/dev/null
scripts/valgrind-modes.sh "$valgrind_build" || failed=1

exit $failed
