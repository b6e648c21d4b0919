#!/usr/bin/env bash
# Builds the project and runs every test. Usage: ./test.sh [debug|asan|release]
# The debug build builds the Windows programs too, and its tests run them under Wine.
set -euo pipefail
cd "$(dirname "$0")"
preset=${1:-debug}
scripts/deps.sh
cmake --preset "$preset" -DNX_WERROR="${NX_WERROR:-ON}" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"
