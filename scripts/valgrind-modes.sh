#!/usr/bin/env bash
# One end-to-end run of each mode of the bridge under valgrind memcheck, against the
# measurement program's stand-in on a temporary device: "-Gha", "-Ghd" and "-Ver" end by
# themselves; "-Nor" is driven with "nxdevice click" ("Misura", then "Conferma"). Fails when
# memcheck reports an error or a leak (definite, indirect or possible), when a run does not end
# in time, or when it writes no whole result file.
#
# Usage: scripts/valgrind-modes.sh [BUILD_DIR]   (default build/debug; must hold the built
# nxbridge, nxsim, nxdevice, nxsetup, nxshortcut and vlout, without sanitizers)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build/debug}")/bin
for program in nxbridge nxsim nxdevice nxsetup nxshortcut vlout; do
    [ -x "$bin/$program" ] || { echo "valgrind-modes: no $program in $bin" >&2; exit 2; }
done
nxbridge=$bin/nxbridge nxdevice=$bin/nxdevice vlout=$bin/vlout

device=$(mktemp -d /tmp/nxbridge-valgrind.XXXXXX)
logs=$(mktemp -d /tmp/nxbridge-valgrind-logs.XXXXXX)
export DEVICE_ROOT=$device
unset DISPLAY  # the headless renderer: no window is needed
standin=
cleanup() {
    "$nxdevice" stop >/dev/null 2>&1 || true
    [ -z "$standin" ] || wait "$standin" 2>/dev/null || true
    rm -rf "$device" "$logs"
}
trap cleanup EXIT

cat >"$logs/scenario.ini" <<'INI'
[record]
angle_unit = 0
hz_angle = 451234
v_angle = 324017
[edm]
measure_ms = 600
distance = 25.431
[params]
p59 = 3
p58 = 14
p57 = 2008
p56 = 7
INI
"$nxdevice" init "$device" --prefix '\FlashDisk\' --ini "$logs/scenario.ini" >/dev/null
"$device/FlashDisk/NEDIX/NX.EXE" >/dev/null 2>&1 &
standin=$!

memcheck=(valgrind --quiet --error-exitcode=1 --leak-check=full
          --show-leak-kinds=definite,indirect,possible
          --errors-for-leak-kinds=definite,indirect,possible)
failed=0

# Waits up to $2 seconds for the process $1; kills it and fails when it is still there.
wait_bounded() {
    local pid=$1 seconds=$2 waited=0
    while kill -0 "$pid" 2>/dev/null; do
        if ((waited >= seconds * 10)); then
            kill -9 "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            return 124
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
    wait "$pid"
}

click() { "$nxdevice" click "$1" >/dev/null; }

window_shown() { [ "$("$nxdevice" windows | wc -l)" -gt 1 ]; }

run_mode() {
    local line=$1 file=$2 log="$logs/${1%% *}.log" rc=0
    rm -f "$device/$file"
    local start=$SECONDS
    # shellcheck disable=SC2086
    "${memcheck[@]}" "$nxbridge" $line >"$log" 2>&1 &
    local pid=$!
    if [[ $line == -Nor* ]]; then
        for _ in $(seq 1 300); do window_shown && break; sleep 0.1; done
        click 1000 && sleep 1.5 && click 1010 || true
    fi
    wait_bounded "$pid" 60 || rc=$?
    local verdict="clean"
    if ((rc == 124)); then
        verdict="did not end within 60 s"
    elif ((rc != 0)); then
        verdict="memcheck reported errors (exit code $rc)"
    elif ! "$vlout" "$device/$file" >/dev/null 2>&1; then
        verdict="no whole \\$file was written"
    fi
    printf '%-22s %-8s %3d s  %s\n' "nxbridge $line" "$file" $((SECONDS - start)) "$verdict"
    if [ "$verdict" != clean ]; then
        sed 's/^/    /' "$log"
        failed=1
    fi
}

run_mode '-Gha0 \FlashDisk\' VLMIS.OUT
run_mode '-Ghd0 \FlashDisk\' VLMIS.OUT
run_mode '-Ver0 \FlashDisk\' VLVER.OUT
run_mode '-Nor0 \FlashDisk\' VLMIS.OUT
exit $failed
