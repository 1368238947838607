#!/usr/bin/env bash
# Sets everything up, builds the program and starts it with egm96.grd beside it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh --program
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target coordconv
exec build/bin/coordconv "$@"
