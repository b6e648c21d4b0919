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
  clang                           # libFuzzer targets (its runtime: below)
  valgrind                        # memcheck runs of the end-to-end modes
  g++-mingw-w64-x86-64-posix      # the Windows programs (the windows preset)
  googletest                      # GoogleTest's sources, built for the Windows test programs
  wine wine64                     # the wine suite: the Windows programs run on Linux
)

updated=
# Installs those of the packages that are not installed yet.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "installing: ${missing[*]}" >&2
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  if [ -z "$updated" ]; then
    "${sudo_cmd[@]}" apt-get update -qq >/dev/null
    updated=1
  fi
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"
# libFuzzer and the sanitizers' runtime come in a package named for clang's major version: the
# one of the clang this release installed.
clang_major=$(clang -dumpversion | cut -d. -f1)
install_missing "libclang-rt-$clang_major-dev"
