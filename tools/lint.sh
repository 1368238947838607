#!/usr/bin/env bash
# Static checks on a configured build tree (default: build/, after it was
# built, so the program's generated headers exist):
#   the C and C++ sources are formatted as .clang-format says;
#   clang-tidy's bug-finding checks (.clang-tidy) are clean on lib/ and app/;
#   cppcheck is clean on lib/.
# Fails on the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if [ ! -f "$build/compile_commands.json" ]; then
    echo "lint: $build/compile_commands.json is missing; configure and build $build first" >&2
    exit 2
fi

echo "lint: clang-format"
git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "lint: clang-tidy on lib/ and app/"
run-clang-tidy -p "$build" -j "$(nproc)" -quiet "$(pwd)/(lib/src|app|app/[a-z]+)/[^/]*\.cpp$" \
    > "$build/clang-tidy.log" 2>&1 || {
    grep -E "(warning|error):" "$build/clang-tidy.log" >&2 || cat "$build/clang-tidy.log" >&2
    exit 1
}

# A plain loop over a table of a few rows reads better than std::find_if.
echo "lint: cppcheck on lib/"
cppcheck --enable=warning,style,performance,portability --std=c++17 --language=c++ \
    --suppress=useStlAlgorithm --inline-suppr --error-exitcode=1 --quiet \
    -I lib/include -I lib/src lib/src lib/include
