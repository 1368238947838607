#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the full build in the
# default configuration, then the library, the program and all their tests
# once more under AddressSanitizer and UndefinedBehaviorSanitizer. The static
# checks and the Debian package check run on the first build; the fuzz
# targets replay their corpora and fuzz for a minute each at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh

jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")
tools/lint.sh build
tools/package.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug \
      -DKELVADRA_SANITIZE=ON -DKELVADRA_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
(cd build-sanitize && ctest --output-on-failure -j "$jobs")

# Every fuzz target: its seed corpus replayed, then a minute of fuzzing.
tools/fuzz.sh 60
