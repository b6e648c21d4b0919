#!/usr/bin/env bash
# The main job: builds what is needed, lays out a temporary device with the measurement
# program's stand-in, runs the bridge in its three unattended modes against it and prints each
# result decoded, with the time each run took; with a display, then opens the interactive
# dialog. Ends by itself and leaves no process or device behind.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh

build=build/main-job
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNX_BUILD_TESTS=OFF \
    -DNX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target nxbridge nxsim nxdevice nxsetup nxshortcut vlout -- -j2 >/dev/null
bin=$(realpath "$build/bin")
nxbridge=$bin/nxbridge nxdevice=$bin/nxdevice vlout=$bin/vlout

device=$(mktemp -d /tmp/nxbridge-main-job.XXXXXX)
export DEVICE_ROOT=$device
cleanup() {
    "$nxdevice" stop >/dev/null 2>&1 || true
    rm -rf "$device"
}
trap cleanup EXIT

scenario=$(mktemp /tmp/nxsim-scenario.XXXXXX)
cat >"$scenario" <<'INI'
[record]
angle_unit = 0
hz_angle = 451234
v_angle = 324017
[edm]
measure_ms = 1200
distance = 25.431
[params]
p59 = 3
p58 = 14
p57 = 2008
p56 = 7
INI
"$nxdevice" init "$device" --prefix '\FlashDisk\' --ini "$scenario" >/dev/null
rm -f "$scenario"
echo "device: $device (the stand-in installed as \\FLASHDISK\\NEDIX\\NX.EXE)"

run() {
    local line=$1 file=$2
    rm -f "$device/$file"
    local start end
    start=$(date +%s%N)
    "$nxbridge" $line
    end=$(date +%s%N)
    printf '\nnxbridge %s  (%d ms)\n' "$line" $(((end - start) / 1000000))
    if [ -f "$device/$file" ]; then
        "$vlout" "$device/$file" | sed 's/^/    /'
    else
        echo "    no \\$file was written"
    fi
}

run '-Gha0 \FlashDisk\' VLMIS.OUT
run '-Ghd0 \FlashDisk\' VLMIS.OUT
run '-Ver0 \FlashDisk\' VLVER.OUT

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ]; then
    echo
    echo "Opening the interactive dialog: \"Misura\" measures, \"Conferma\" writes \\VLMIS.OUT."
    run '-Nor0 \FlashDisk\' VLMIS.OUT
fi
