#!/usr/bin/env bash
# Builds the project and runs every test. Usage: ./test.sh [debug|asan|release]
# The debug preset runs the wine suite too, so it builds the Windows programs first.
set -euo pipefail
cd "$(dirname "$0")"
preset=${1:-debug}
scripts/deps.sh
if [ "$preset" = debug ]; then
    cmake --preset windows >/dev/null
    cmake --build --preset windows
fi
cmake --preset "$preset" -DNX_WERROR="${NX_WERROR:-ON}" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
