#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz, then for
# every target replays its seed corpus, each file once, and fuzzes it for
# SECONDS (default 60) on a scratch copy of that corpus, two targets at a time.
# Fails on any crash, hang, leak, out-of-memory or sanitizer report.
#   tools/fuzz.sh [SECONDS]
# Findings go to build-fuzz/findings/<target>/, logs to build-fuzz/logs/, the
# grown corpus to build-fuzz/corpus/<target>/; the repository is not written.
# Needs clang and libclang-rt-14-dev (tools/deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
targets=(fuzz_parse_dms fuzz_geoid_file fuzz_transform fuzz_rows fuzz_system_name
    fuzz_local_systems fuzz_fit fuzz_map)
build=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVADRA_BUILD_FUZZ=ON -DKELVADRA_BUILD_TESTS=OFF -DKELVADRA_BUILD_APP=OFF \
    -DKELVADRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_all

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export LSAN_OPTIONS=suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

mkdir -p "$build/logs"

# One target: replay, then fuzz. Output goes to its log; the result is the
# exit status.
run_target() {
    local t=$1
    local bin=$build/bin/$t
    local findings=$build/findings/$t
    local scratch=$build/corpus/$t
    local log=$build/logs/$t.log
    local options=(-timeout=10 -rss_limit_mb=2048 -detect_leaks=1 -print_final_stats=1
        "-artifact_prefix=$findings/")
    if [ -f "fuzz/$t.dict" ]; then
        options+=("-dict=fuzz/$t.dict")
    fi
    mkdir -p "$findings"
    rm -rf "$scratch"
    mkdir -p "$scratch"
    cp fuzz/corpus/"$t"/* "$scratch"/
    {
        echo "== $t: replaying fuzz/corpus/$t"
        "$bin" "${options[@]}" fuzz/corpus/"$t"/* &&
            echo "== $t: fuzzing for $seconds s" &&
            "$bin" "${options[@]}" -max_total_time="$seconds" "$scratch"
    } >"$log" 2>&1
}

summary() {
    local t=$1
    local log=$build/logs/$t.log
    local cov runs
    cov=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [^ ]+' || true)
    runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | tail -n 1 | grep -oE '[0-9]+$' || true)
    echo "$t: ${runs:-?} executions, ${cov:-no coverage line}"
}

failed=()
for ((i = 0; i < ${#targets[@]}; i += 2)); do
    pids=()
    batch=("${targets[@]:i:2}")
    for t in "${batch[@]}"; do
        run_target "$t" &
        pids+=($!)
    done
    for k in "${!batch[@]}"; do
        t=${batch[$k]}
        if wait "${pids[$k]}"; then
            summary "$t"
        else
            failed+=("$t")
            echo "FAILED $t (log $build/logs/$t.log, findings $build/findings/$t/):"
            tail -n 40 "$build/logs/$t.log"
        fi
    done
done

passed=$((${#targets[@]} - ${#failed[@]}))
echo "fuzzing: $passed passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
