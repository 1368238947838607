#!/usr/bin/env bash
# Takes docs/coordconv.png, the picture at the top of the README: the window
# at its first-start size on a 1366 x 768 screen at 96 dpi, after a few points
# were loaded (Ctrl+O) and calculated (F9) from WGS 84 into Pulkovo 42 in
# degrees, minutes and seconds; and docs/coordconv-local.png, points around
# Moscow calculated into a local system; docs/coordconv-editor.png, the local
# systems' editor opened by "..." there; docs/coordconv-keys.png, the dialog
# "Ключи по общим точкам" opened by "Ключи…" with two lists loaded and fitted.
# Rerun it after a change to the window.
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
# shoot SYSTEM POINTS OUT [DIALOGS]: only the output system is stored, no
# window geometry: the window opens at its first-start size. With DIALOGS the
# two dialogs of the local-system list are shot too.
shoot() {
    rm -rf "$work/config"
    mkdir -p "$work/config/kelvadra"
    printf '[rightPanel]\nsystem=%s\n' "$1" > "$work/config/kelvadra/coordconv.conf"
    cat > "$work/config/kelvadra/local-systems.json" <<'SYSTEMS'
[{"name": "Район", "base": "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566"}]
SYSTEMS
    XDG_CONFIG_HOME="$work/config" LANG=C.UTF-8 LC_ALL=C.UTF-8 PROGRAM="$build/bin/coordconv" \
    POINTS="$2" OUT="$3" DIALOGS="${4:-}" A="$work/a.txt" B="$work/b.txt" xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" bash -euo pipefail -c '
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
        if [ -n "$DIALOGS" ]; then
            # The buttons beside the right panel'"'"'s local system, where the
            # first-start layout puts them.
            xdotool mousemove --window "$window" 757 129 click 1
            dialog=$(xdotool search --sync --onlyvisible --name "^Местные системы$" | tail -1)
            sleep 1
            import -window "$dialog" -strip -colors 64 "PNG8:$DIALOGS/coordconv-editor.png"
            xdotool key Escape
            sleep 1
            xdotool windowfocus --sync "$window"
            xdotool mousemove --window "$window" 817 129 click 1
            sleep 1
            dialog=$(xdotool search --sync --onlyvisible --name "^Ключи по общим точкам$" | tail -1)
            sleep 1
            # Zone 7, both lists loaded ("Загрузить..." under each), then "Вычислить".
            xdotool mousemove --window "$dialog" 405 22 click --repeat 2 1 key ctrl+a type 7
            for at in "263 272 $A" "775 272 $B"; do
                set -- $at
                xdotool mousemove --window "$dialog" "$1" "$2" click 1
                sleep 1
                xdotool type --delay 5 "$3"
                xdotool key Return
                sleep 1
            done
            xdotool mousemove --window "$dialog" 929 52 click 1
            sleep 1
            import -window "$dialog" -strip -colors 64 "PNG8:$DIALOGS/coordconv-keys.png"
        fi
        kill "$program"
    '
    echo "Wrote $3"
}

# Common points of the keys dialog: SK-42 zone 7 and the local system, Т4 half a metre off.
cat > "$work/a.txt" <<'POINTS'
Т1; 6100000.000; 7400000.000; 150
Т2; 6101000.000; 7400700.000; 151
Т3; 6102000.000; 7401400.000; 152
Т4; 6103000.000; 7400000.000; 153
Т5; 6104000.000; 7400700.000; 154
Т6; 6105000.000; 7401400.000; 155
POINTS
cat > "$work/b.txt" <<'POINTS'
Т1; 99999.997; 400000.000; 160
Т2; 101000.003; 400700.000; 161
Т3; 101999.997; 401400.000; 162
Т4; 103000.500; 400000.000; 163
Т5; 104000.003; 400700.000; 164
Т6; 105000.003; 401400.000; 165
POINTS
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
shoot 'msk:\x420\x430\x439\x43e\x43d' "$work/moscow.txt" "$root/docs/coordconv-local.png" \
    "$root/docs"
echo "Wrote $root/docs/coordconv-editor.png and coordconv-keys.png"
