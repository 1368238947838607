#!/usr/bin/env bash
# The keys fit of the converter, whole process: common points over 30 km of
# SK-42 zone 7 (list A) and the same points in a local system with 1 cm of
# noise (list B), for each count given. Prints the wall time of each run.
#   bench/bench_fit.sh [build-dir] [counts...]   (default: 200 1600 100000)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
shift || true
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(200 1600 100000)
converter=${CONVERTER:-$build/bin/kelvadra-convert}
if [ ! -x "$converter" ]; then
    echo "bench_fit.sh: build $converter first" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in "${counts[@]}"; do
    # Keys near a city system's: scale 1 - 12.5 ppm, rotation 30", heights 18 m lower.
    awk -v n="$n" -v a="$work/a.txt" -v b="$work/b.txt" 'BEGIN {
        srand(11)
        ka = 0.9999874999; kb = 0.0001454441
        for (i = 1; i <= n; i++) {
            x = 6000000 + 30000 * rand(); y = 7385000 + 30000 * rand(); h = 100 + 100 * rand()
            dx = x - 6000000; dy = y - 7400000
            printf "P%d; %.3f; %.3f; %.3f\n", i, x, y, h >a
            printf "P%d; %.3f; %.3f; %.3f\n", i, 1000 + ka * dx - kb * dy + 0.01 * (rand() - 0.5),
                2000 + kb * dx + ka * dy + 0.01 * (rand() - 0.5), h - 18 + 0.01 * (rand() - 0.5) >b
        }
    }'
    start=$(date +%s.%N)
    status=0
    timeout 600 "$converter" --fit similarity --height shift --from gk:sk42:7 \
        "$work/a.txt" "$work/b.txt" >"$work/report.txt" || status=$?
    end=$(date +%s.%N)
    printf '%7d points: %6.2f s (exit %d)\n' "$n" "$(echo "$end - $start" | bc)" "$status"
done
