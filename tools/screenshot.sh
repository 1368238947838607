#!/usr/bin/env bash
# Takes docs/coordconv.png, the picture at the top of the README: the window
# at its first-start size on a 1366 x 768 screen at 96 dpi, after a few points
# were loaded (Ctrl+O) and calculated (F9) from WGS 84 into Pulkovo 42 in
# degrees, minutes and seconds. Rerun it after a change to the window.
#
#   tools/screenshot.sh [build dir]     (default: build/, built when missing)
#
# Needs xvfb-run, xdotool and ImageMagick's import (tools/deps.sh).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
if [ ! -x "$build/bin/coordconv" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" -j"$(nproc)" --target coordconv
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/points.txt" <<'POINTS'
Москва; 55 45 5.5; 37 37 6.25; 150
Санкт-Петербург; 59 56 19.8; 30 18 51.3; 12.5
Екатеринбург; 56 50 17; 60 36 18; 270
Владивосток; 43 7 0.5; 131 53 4.2; 40
Новосибирск; 54 59 0; 82 53 35.9; 160
Казань; 55 47 47; 49 6 52; 60
Нижний Новгород; 56 19 37; 44 0 27; 140
Самара; 53 11 38; 50 6 1; 100
Омск; 54 59 20; 73 22 7; 90
Ростов-на-Дону; 47 14 10; 39 42 45; 70
Уфа; 54 44 6; 55 58 3; 150
Красноярск; 56 0 36; 92 52 20; 160
Пермь; 58 0 50; 56 14 56; 130
Воронеж; 51 39 41; 39 12 6; 150
Волгоград; 48 42 29; 44 30 48; 80
Иркутск; 52 17 3; 104 16 50; 440
Мурманск; 68 58 14; 33 5 35; 50
POINTS
# Only the output datum is stored, no window geometry: the window opens at
# its first-start size.
mkdir -p "$work/config/kelvadra"
printf '[rightPanel]\nsystem=geod:sk42\n' > "$work/config/kelvadra/coordconv.conf"

export XDG_CONFIG_HOME="$work/config" LANG=C.UTF-8 LC_ALL=C.UTF-8
export PROGRAM="$build/bin/coordconv" POINTS="$work/points.txt" OUT="$root/docs/coordconv.png"
xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" bash -euo pipefail -c '
    "$PROGRAM" &
    program=$!
    window=$(xdotool search --sync --onlyvisible --name "VORLANIX")
    sleep 1
    xdotool windowfocus --sync "$window"
    xdotool key --window "$window" ctrl+o
    sleep 1
    xdotool type --delay 5 "$POINTS"
    xdotool key Return
    sleep 1
    xdotool windowfocus --sync "$window"
    xdotool key F9
    sleep 1
    import -window "$window" -strip -colors 64 "PNG8:$OUT"
    kill "$program"
'
echo "Wrote $root/docs/coordconv.png"
