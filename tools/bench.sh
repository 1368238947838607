#!/usr/bin/env bash
# Builds and runs the benchmarks (Release build, compared with PROJ), then the
# converter on a file of a million rows.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
for b in bench_transform bench_geoid bench_calculate; do
    if [ -x "build/bin/$b" ]; then
        echo "== $b"
        QT_QPA_PLATFORM=offscreen "build/bin/$b" "$@"
    fi
done
echo "== kelvadra-convert, file to file"
bench/bench_convert.sh build
