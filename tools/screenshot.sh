#!/usr/bin/env bash
# Takes docs/coordconv.png, the picture at the top of the README: the window
# at its first-start size on a 1366 x 768 screen at 96 dpi, after a few points
# were loaded (Ctrl+O) and calculated (F9) from WGS 84 into Pulkovo 42 in
# degrees, minutes and seconds; and docs/coordconv-local.png, points around
# Moscow calculated into a local system. Rerun it after a change to the window.
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
# shoot SYSTEM POINTS OUT: only the output system is stored, no window
# geometry: the window opens at its first-start size.
shoot() {
    rm -rf "$work/config"
    mkdir -p "$work/config/kelvadra"
    printf '[rightPanel]\nsystem=%s\n' "$1" > "$work/config/kelvadra/coordconv.conf"
    cat > "$work/config/kelvadra/local-systems.json" <<'SYSTEMS'
[{"name": "Район", "base": "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566"}]
SYSTEMS
    XDG_CONFIG_HOME="$work/config" LANG=C.UTF-8 LC_ALL=C.UTF-8 PROGRAM="$build/bin/coordconv" \
    POINTS="$2" OUT="$3" xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" bash -euo pipefail -c '
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
    echo "Wrote $3"
}

cat > "$work/moscow.txt" <<'POINTS'
Кремль; 55 45 5.5; 37 37 6.25; 150
Останкино; 55 49 11; 37 36 41; 160
Внуково; 55 35 48; 37 16 3; 200
Шереметьево; 55 58 22; 37 24 53; 190
Коломна; 55 6 11; 38 45 55; 120
Дмитров; 56 20 37; 37 31 12; 160
POINTS
shoot geod:sk42 "$work/points.txt" "$root/docs/coordconv.png"
# "msk:Район" as QSettings writes it: its ini files escape what is not ASCII.
shoot 'msk:\x420\x430\x439\x43e\x43d' "$work/moscow.txt" "$root/docs/coordconv-local.png"
