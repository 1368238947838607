#!/usr/bin/env bash
# Measures what the test suite catches: applies each single fault of a sample
# (tools/mutants.txt) to a scratch copy of the tree, rebuilds, runs ctest, and
# counts the faults the tests kill.
#   tools/mutate.sh [MUTANTS_FILE] [BUILD_DIR]      (default: tools/mutants.txt, build-mutate)
# A mutant whose text is not found exactly once, or that does not compile, is
# reported and left out of the rate. Results: BUILD_DIR/results.tsv; the last
# line printed is "mutants: K killed of N, kill rate R".
set -euo pipefail
cd "$(dirname "$0")/.."
mutants=$(realpath "${1:-tools/mutants.txt}")
work=${2:-build-mutate}
jobs=$(nproc)

# The scratch tree: tracked and new files as they are in the work tree now.
rm -rf "$work/src"
mkdir -p "$work/src"
git ls-files -co --exclude-standard -z | grep -zv '^build' | xargs -0 cp --parents -t "$work/src"
src=$(realpath "$work/src")
bld=$(realpath -m "$work/build")

cmake -S "$src" -B "$bld" -DCMAKE_BUILD_TYPE=Release -DKELVADRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$bld" -j "$jobs" >/dev/null
# The installed-consumer and export checks test the packaging, not behaviour.
ctest_args=(--test-dir "$bld" -j "$jobs" --stop-on-failure --timeout 120
            -E '^(installed_consumer|exported_symbols)')
ctest "${ctest_args[@]}" >/dev/null || { echo "mutate: the unmutated tree fails its tests" >&2; exit 2; }

results="$work/results.tsv"
printf 'id\tfile\tresult\twhat\n' >"$results"
killed=0 total=0 id=0
while IFS=$'\t' read -r file old new what; do
    [[ -z "$file" || "$file" == \#* ]] && continue
    id=$((id + 1))
    cp "$src/$file" "$work/original"
    if ! python3 - "$src/$file" "$old" "$new" <<'EOF'; then
import sys
path, old, new = (a.replace("⏎", "\n") for a in sys.argv[1:4])
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(old, new))
EOF
        result="not-found"
    elif ! cmake --build "$bld" -j "$jobs" >/dev/null 2>&1; then
        result="no-build"
    elif ctest "${ctest_args[@]}" >/dev/null 2>&1; then
        result="SURVIVED"
        total=$((total + 1))
    else
        result="killed"
        total=$((total + 1)) killed=$((killed + 1))
    fi
    cp "$work/original" "$src/$file"
    touch "$src/$file"
    printf '%s\t%s\t%s\t%s\n' "$id" "$file" "$result" "$what" | tee -a "$results"
done <"$mutants"
cmake --build "$bld" -j "$jobs" >/dev/null
awk -v k="$killed" -v n="$total" \
    'BEGIN { printf "mutants: %d killed of %d, kill rate %.2f\n", k, n, (n ? k / n : 0) }'
