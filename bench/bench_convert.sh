#!/usr/bin/env bash
# The converter on a big file, whole process, file to file: 1 000 000 rows of
# SK-42 Gauss-Krüger zone 7 into WGS 84 geodetic degrees-minutes-seconds, then
# the same with heights above the EGM96 geoid on the output. Prints the wall
# time and the peak memory of each run; fails when a run is over its target
# (2 s, 2.5 s with the geoid).
#   bench/bench_convert.sh [build-dir] [rows]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
rows=${2:-1000000}
converter=$build/bin/kelvadra-convert
if [ ! -x "$converter" ]; then
    echo "bench_convert.sh: build $converter first" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Points spread over zone 7 between 54° and 58° north, the same file every run.
awk -v n="$rows" 'BEGIN {
    srand(7)
    for (i = 1; i <= n; i++)
        printf "P%d, %.3f, %.3f, %.3f\n", i, 6000000 + 450000 * rand(),
            7300000 + 400000 * rand(), 100 + 200 * rand()
}' >"$work/in.txt"

status=0
run() {
    local to=$1 target=$2
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
        "$converter" --from gk:sk42:7 --to "$to" "$work/in.txt" -o "$work/out.txt"
    read -r seconds user system kilobytes <"$work/time"
    local verdict=OK
    if awk -v s="$seconds" -v t="$target" 'BEGIN { exit !(s > t) }'; then
        verdict="over the target of $target s"
        status=1
    fi
    printf '%-22s %7d rows  %5.2f s (processor %5.2f s)  peak %5.1f MB  %s\n' "$to" \
        "$(wc -l <"$work/out.txt")" "$seconds" "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
        "$(awk -v k="$kilobytes" 'BEGIN { print k / 1024 }')" "$verdict"
}
run geod:wgs84:dms 2.0
run geod:wgs84:dms+egm96 2.5
exit $status
