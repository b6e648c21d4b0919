#!/usr/bin/env bash
# Installs, on a Debian machine, whatever the build, the tests and the main job need and is missing.
# Idempotent and quiet when everything is already there.
set -euo pipefail
packages=(
  g++ cmake ninja-build           # the compiler and the build
  libgtest-dev libgmock-dev       # GoogleTest, the test framework
  libbenchmark-dev                # Google Benchmark, the benchmarks in bench/
  libfltk1.3-dev libxcursor-dev libxinerama-dev libxft-dev libfontconfig-dev  # FLTK, the dialog's window
  xvfb xauth xdotool imagemagick  # the screen tests: a virtual X server, input and screenshots
  clang libclang-rt-14-dev        # libFuzzer targets and LeakSanitizer runtime
  valgrind                        # memcheck runs of the end-to-end modes
  g++-mingw-w64-x86-64-posix      # the Windows programs (the windows preset)
  googletest                      # GoogleTest's sources, built for the Windows test programs
  wine wine64                     # the wine suite: the Windows programs run on Linux
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq >/dev/null
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
