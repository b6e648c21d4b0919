#!/usr/bin/env bash
# Takes the screenshots under docs/ from the built programs: the interactive dialog after a
# measurement, and the message box of a failed set-up, each in a private virtual X server.
# Usage: docs/screenshots.sh [BUILD_DIR]   (default build/debug; needs Xvfb, xdotool, ImageMagick)
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$docs/../build/debug}" && pwd)
bridge=$build/bin/nxbridge
nxdevice=$build/bin/nxdevice

if [ -z "${NX_IN_XVFB:-}" ]; then
  NX_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 480x640x24 -nolisten tcp" "$0" "$build"
fi

device=$(mktemp -d /tmp/nxdocs-XXXXXX)
export DEVICE_ROOT=$device
cleanup() {
  "$nxdevice" stop >/dev/null 2>&1 || true
  [ -n "${bridge_pid:-}" ] && kill "$bridge_pid" 2>/dev/null || true
  rm -rf "$device"
}
trap cleanup EXIT

# The window with exactly this title, once it is up.
window() { timeout 15 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }

# The message box of a failed set-up: no NX.EXE on the device yet.
"$bridge" -Nor0 '\FlashDisk\' 2>/dev/null &
bridge_pid=$!
box=$(window nxbridge)
sleep 0.5
import -window "$box" "$docs/message_box.png"
xdotool key Return   # the box holds the keyboard
wait "$bridge_pid" || true

# The dialog with a measurement: gon angles and a distance from the stand-in.
cat >"$device/scenario.ini" <<'INI'
[record]
angle_unit = 1
hz_angle = 162000
v_angle = 324000
[edm]
measure_ms = 300
distance = 25.431
INI
"$nxdevice" init "$device" --prefix '\FlashDisk\' --ini "$device/scenario.ini" >/dev/null
"$bridge" -Nor0 '\FlashDisk\' &
bridge_pid=$!
dialog=$(window 'Velmo Dudada - Zamto serie X9')
xdotool key space   # "Misura", which holds the focus
sleep 1.5
import -window "$dialog" "$docs/dialog.png"
xdotool key Escape
wait "$bridge_pid" || true
echo "wrote $docs/dialog.png and $docs/message_box.png"
