#!/usr/bin/env bash
# Measures what the test suite catches: draws a random sample of single faults over
# lib/src, app, app/core and app/cli (tools/mutants.py), applies each to a scratch copy of
# the tree, rebuilds, runs ctest, and counts the faults the tests kill.
#   tools/mutate.sh [--seed N] [--count N] [--skip K] [BUILD_DIR]
# (default: a new seed, 60, build-mutate; --skip K resumes a sample after its first K faults drawn)
# The seed is printed first, so a sample can be drawn again. A fault that does not compile, or
# compiles to the same object code as the tree (an equivalent fault no test can kill: trivial
# compiler equivalence), is reported and replaced by the next one drawn, so COUNT faults are
# judged. Results:
# BUILD_DIR/results.tsv; the last line printed is "mutants (seed S): K killed of N, kill rate R
# (E of the same object code replaced)".
set -euo pipefail
cd "$(dirname "$0")/.."
seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
count=60
skip=0
while [ $# -gt 0 ]; do
    case "$1" in
    --seed) seed=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --skip) skip=$2; shift 2 ;;
    *) break ;;
    esac
done
work=${1:-build-mutate}
jobs=$(nproc)
echo "seed: $seed"

# The scratch tree: tracked and new files as they are in the work tree now.
rm -rf "$work/src"
mkdir -p "$work/src"
git ls-files -co --exclude-standard -z | grep -zv '^build' | xargs -0 cp --parents -t "$work/src"
src=$(realpath "$work/src")
bld=$(realpath -m "$work/build")

launcher=$(command -v ccache || true)
# Shared libraries that dependents need not relink after a fault, and no link-time
# optimisation: a fault rebuilds a file and a library or two.
cmake -S "$src" -B "$bld" -DCMAKE_BUILD_TYPE=Release -DKELVADRA_BUILD_BENCH=OFF \
    -DCOORDCONV_CORE_SHARED=ON -DCMAKE_LINK_DEPENDS_NO_SHARED=ON \
    -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=OFF -DKELVADRA_TEST_TIMEOUT=60 \
    ${launcher:+-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher -DCMAKE_C_COMPILER_LAUNCHER=$launcher} >/dev/null
cmake --build "$bld" -j "$jobs" >/dev/null
# The installed-consumer and export checks test the packaging, not behaviour. The suite runs
# in two rounds, the quick tests first: most faults are killed there, and a fault that
# survives them meets the rest (the Russian-locale runs and QGIS), so every fault judged
# has met the whole suite or failed part of it.
ctest_args=(--test-dir "$bld" -j "$jobs" --stop-on-failure)
late='\.ru$|^qgis_'
# The log keeps what failed: a kill by timeout alone is worth a second look on a busy machine.
suite() {
    ctest "${ctest_args[@]}" -E "^(installed_consumer|exported_symbols)\$|$late" >"$work/log" 2>&1 \
        && ctest "${ctest_args[@]}" -R "$late" >"$work/log" 2>&1
}
failed() {
    { grep -oE '[A-Za-z_.]+ \.+\*+[A-Za-z ]+' "$work/log" || echo "a test"; } | head -1 \
        | sed -E 's/ \.+\*+/ /; s/ +$//'
}
suite || { echo "mutate: the unmutated tree fails its tests" >&2; exit 2; }
# The object code of the unmutated tree, to tell a fault that changes none of it.
objects() { (cd "$bld" && find . -name '*.o' "$@" -print0 | sort -z | xargs -0r sha256sum); }
objects >"$work/objects"
stamp=$(realpath -m "$work/stamp")

results="$work/results.tsv"
printf 'file\tline\tresult\twhat\n' >"$results"
killed=0 total=0 same=0
# Read on a separator that is not white space: a tab is, and read would fold the empty text of
# a dropped "!" into the next field, so that every such fault failed to apply. On its own
# descriptor, so that no build or test reads the faults from standard input.
while IFS=$'\037' read -r -u 3 file line col old new what; do
    [ "$total" -ge "$count" ] && break
    cp "$src/$file" "$work/original"
    python3 - "$src/$file" "$line" "$col" "$old" "$new" <<'EOF'
import sys
path, line, col, old, new = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
lines = open(path, encoding="utf-8").read().split("\n")
text = lines[line - 1]
assert text[col - 1:col - 1 + len(old)] == old
lines[line - 1] = text[:col - 1] + new + text[col - 1 + len(old):]
open(path, "w", encoding="utf-8").write("\n".join(lines))
EOF
    touch "$stamp"
    sleep 1 # the objects rebuilt are newer than the stamp
    if ! cmake --build "$bld" -j "$jobs" >/dev/null 2>&1; then
        result="no-build"
    elif [ "$(objects -newer "$stamp" | grep -cvxFf "$work/objects" || true)" = 0 ]; then
        result="same object code"
        same=$((same + 1))
    elif suite; then
        result="SURVIVED"
        total=$((total + 1))
    else
        result="killed by $(failed)"
        total=$((total + 1)) killed=$((killed + 1))
    fi
    # A fault that hangs a converter under a test's shell outlives the test's timeout.
    pkill -f "^$bld/bin/" 2>/dev/null || true
    cp "$work/original" "$src/$file"
    touch "$src/$file"
    printf '%s\t%s\t%s\t%s\n' "$file" "$line" "$result" "$what" | tee -a "$results"
done 3< <(cd "$src" && python3 tools/mutants.py "$seed" $((skip + count * 4)) | tail -n +$((skip + 1)) | tr '\t' '\037')
cmake --build "$bld" -j "$jobs" >/dev/null
awk -v k="$killed" -v n="$total" -v s="$seed" -v e="$same" \
    'BEGIN { printf "mutants (seed %s): %d killed of %d, kill rate %.2f (%d of the same object code replaced)\n", s, k, n, (n ? k / n : 0), e }'
