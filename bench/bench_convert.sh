#!/usr/bin/env bash
# The converter on a big file, whole process, file to file: 1 000 000 rows of
# SK-42 Gauss-Krüger zone 7 into WGS 84 geodetic degrees-minutes-seconds, then
# the same with heights above the EGM96 geoid on the output. Prints the wall
# time and the peak memory of each run; fails when a run is over its target
# (2 s, 2.5 s with the geoid). Between the two, PROJ's cs2cs on the same rows
# (the converter's own PROJ definition of the zone, degrees-minutes-seconds
# out), the processor time a row of each, and how many times the converter's
# processor time cs2cs takes; fails when the converter takes over 500 ns of
# processor time a row or cs2cs less than 5 times as much. The load average
# at the end tells how far a shared machine made the figures grow.
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
    last_ns=$(awk -v u="$user" -v s="$system" -v n="$rows" 'BEGIN { print (u + s) * 1e9 / n }')
    printf '%-22s %7d rows  %5.2f s (processor %5.2f s, %4.0f ns a row)  peak %5.1f MB  %s\n' \
        "$to" "$(wc -l <"$work/out.txt")" "$seconds" "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
        "$last_ns" "$(awk -v k="$kilobytes" 'BEGIN { print k / 1024 }')" "$verdict"
}

# cs2cs reads easting, northing and height, blank-separated; the points file
# has northing first.
awk -F', ' '{ print $3, $2, $4 }' "$work/in.txt" >"$work/cs2cs-in.txt"
cs2cs_run() {
    if ! command -v cs2cs >/dev/null; then
        echo "cs2cs                  not installed (proj-bin)"
        return
    fi
    # shellcheck disable=SC2046 # the definition is one word per parameter
    /usr/bin/time -f '%e %U %S' -o "$work/time" cs2cs -w5 \
        $("$converter" --show-proj gk:sk42:7) +to +proj=longlat +datum=WGS84 \
        "$work/cs2cs-in.txt" >"$work/cs2cs-out.txt"
    read -r seconds user system <"$work/time"
    printf '%-22s %7d rows  %5.2f s (processor %5.2f s, %4.0f ns a row)\n' "cs2cs (PROJ)" \
        "$(wc -l <"$work/cs2cs-out.txt")" "$seconds" "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" \
        "$(awk -v u="$user" -v s="$system" -v n="$rows" 'BEGIN { print (u + s) * 1e9 / n }')"
    # The run before: the same rows into degrees-minutes-seconds.
    local verdict=OK
    if awk -v u="$user" -v s="$system" -v n="$rows" -v c="$last_ns" 'BEGIN { exit !((u + s) * 1e9 / n < 5 * c) }'; then
        verdict="under the target of 5 times"
        status=1
    fi
    awk -v u="$user" -v s="$system" -v n="$rows" -v c="$last_ns" -v v="$verdict" 'BEGIN {
        printf "%-22s %.1f times the processor time a row  %s\n", "cs2cs / converter", (u + s) * 1e9 / n / c, v }'
}
last_ns=0
run geod:wgs84:dms 2.0
if awk -v c="$last_ns" 'BEGIN { exit !(c > 500) }'; then
    echo "geod:wgs84:dms         over the target of 500 ns of processor time a row"
    status=1
fi
cs2cs_run
run geod:wgs84:dms+egm96 2.5
echo "load average           $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
