#!/usr/bin/env bash
# Two builds of the converter on the same inputs: the test suite's files and
# seeded random rows (names, separators, DMS and decimal degrees, signs,
# blanks, placeholders, extra fields, bad numbers, exponents, huge values,
# CRLF, BOM, Windows-1251) over pairs of systems. Standard output, standard
# error and exit status must be the same bytes; prints the first difference.
#   tools/compare-converter.sh OLD NEW [rows-per-file]
set -euo pipefail
old=$(realpath "$1")
new=$(realpath "$2")
rows=${3:-3000}
# Both read the same grid: the one beside NEW unless GEOID names another.
geoid=$(realpath "${GEOID:-$(dirname "$new")/egm96.grd}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

printf '%s\n' '[{"name":"Район","base":"gk:sk42:7","keys":{"similarity":[-6100000,-7400000,0.9999,0.0001]}},' \
    '{"name":"Плоская","base":"gk:sk42:7"}]' >systems.json

# The files tst_convert writes.
printf '1, 6190000, 7500000, 150\n2;6190100;7500100;\nbad, x, y, z\n\nname only\n5, 6190000, 7500000, 150\nПункт 6,6200000.5,7510000.25,10\r\n7; 6190000; 9500000; 0' >t-gk42.txt
printf 'a, 55 45 20.5, 37 37 6.1, 150\nb, 55.5, 37.5, 100\nc, -33 52 0, 151 12 0, 20\nd, 91, 10, 0\ne, 55 61 0, 37 0 0, 0\nf, 55 30, -179 59 59.99999,\n' >t-geod.txt
printf 'a; 6190000; 6500000; 100\nb; 6190000; 7500000; 100\nc; 6190000; 8500000;\n' >t-gk2011.txt
printf 'a, 2850000, 2200000, 5250000\nb, 1, 2, 3\nc, 2850000, 2200000,\n' >t-geoc.txt
printf 'a, 413000, 6180000, 120\nb, 500000, 0, 0\n' >t-utm.txt
printf '\xcf\xf3\xed\xea\xf2 1\t6190000\t7500000\t150\r2;6190100;7500100;\r3\t6190000\tx\t1' >t-cp1251.txt
printf 'E1;55,5;37,25;100,25\r\nE2;55 30,5;-37 15;\r\nE,3;55;37;1\r\n' >t-csv.txt
printf 'A,B\t55 45 0\t37 37 0\t150\n\xd0\xa22\t55,5\t37,5\t10,5\n' >t-tabs.txt
printf '\xcf1;55,5;37,25;100,25\n\xcf2;56,5;38,5;\n' >t-csv1251.txt
printf 'Имя;X;Y;H\nП1;6190000;7500000;150\n' >t-header.txt
printf '\xef\xbb\xbfP1, 6190000, 7500000, 150\r\n' >t-bom.txt
printf '\xff\xfeP\x001\x00,\x00 \x005\x005\x00,\x00 \x003\x007\x00,\x00 \x001\x00\n\x00' >t-utf16.txt

python3 - "$rows" <<'PY'
import random, sys
n = int(sys.argv[1])
rnd = random.Random(20261208)
def num(lo, hi, d):
    return f"{rnd.uniform(lo, hi):.{d}f}"
def dms(lo, hi):
    v = rnd.uniform(lo, hi)
    s = "-" if v < 0 else rnd.choice(["", "", "+"])
    v = abs(v)
    d = int(v); m = int((v - d) * 60); sec = ((v - d) * 60 - m) * 60
    form = rnd.random()
    if form < 0.5:
        return f"{s}{d} {m} {sec:.{rnd.choice([0, 2, 5])}f}"
    if form < 0.6:
        return f"{s}{d} {m}"            # two groups
    if form < 0.7:
        return f"{s}{d}  {m}\t{sec:.3f}"
    return f"{s}{v:.{rnd.choice([1, 6, 9])}f}"
noise = ["", " ", "-", "N/A", "x", "5.0e+06", "1e3", "inf", "nan", "0x10", "1.", ".5", "5,",
         ",5", "1,5", "+-1", "--1", "1e400", "99999999999999999999", "1" * 320, "55 61 0",
         "55 30 60", "55 30 59.9999999", "91", "-90", "180 0 0", "360", "1 2 3 4", "١٢",
         "\u00a055\u00a0", "55\u200b", "\ufeff55", "12 345.6", "6190000.5", "  7500000  ",
         "0.0000000001", "-0", "+0", "55 0 0.", "Infinity", "+inf", "1_000"]
names = ["P{}", "Пункт {}", "  T{}  ", "a;b{}", "{}", "", "Ж,{}", "name\u0085{}", "x\u2028{}",
         "\ufeffB{}", "tab{}", "N {} "]
def value(kind, axis):
    r = rnd.random()
    if r < 0.12:
        return rnd.choice(noise)
    if kind == "geod":
        return dms(-70, 70) if axis == 0 else (dms(-180, 400) if axis == 1 else num(-500, 3000, rnd.choice([0, 3, 4])))
    if kind == "gk":
        return [num(5000000, 7000000, 3), num(rnd.choice([4, 7, 8, 37]) * 1e6 + 100000, rnd.choice([4, 7, 8, 37]) * 1e6 + 900000, 3), num(-100, 900, 3)][axis]
    if kind == "geoc":
        return [num(2000000, 3500000, 3), num(1500000, 2600000, 3), num(4500000, 5600000, 3)][axis]
    if kind == "utm":
        return [num(200000, 800000, 3), num(4000000, 7500000, 3), num(0, 500, 2)][axis]
    if kind == "msk":
        return [num(60000, 120000, 3), num(60000, 140000, 3), num(0, 300, 3)][axis]
    return num(-1e7, 1e7, 3)
seps = [", ", ",", ";", "; ", "\t", " ; ", " "]
for kind in ["geod", "gk", "geoc", "utm", "msk"]:
    for enc in ["utf8", "crlf", "bom", "cp1251"]:
        lines = []
        for i in range(n if enc == "utf8" else n // 10):
            name = rnd.choice(names).format(i)
            sep = rnd.choice(seps)
            vals = [value(kind, a) for a in range(3)]
            if sep in (";", "; ", "\t") and rnd.random() < 0.3:
                vals = [v.replace(".", ",") for v in vals]
            r = rnd.random()
            if r < 0.05:
                vals = vals[:2]
            elif r < 0.08:
                vals = vals + [rnd.choice(["x", "1", ""])]
            elif r < 0.10:
                vals = []
            elif r < 0.12:
                vals[2] = ""
            lines.append(sep.join([name] + vals))
        end = "\r\n" if enc == "crlf" else "\n"
        text = end.join(lines) + (end if rnd.random() < 0.5 else "")
        if enc == "cp1251":
            data = text.encode("cp1251", errors="replace")
        else:
            data = text.encode("utf-8")
        if enc == "bom":
            data = b"\xef\xbb\xbf" + data
        open(f"r-{kind}-{enc}.txt", "wb").write(data)
PY

sources=(geod:wgs84 geod:sk42 geod:pz90.11+egm96 geoc:wgs84 geoc:pz90 gk:sk42:7 gk:sk42:auto
    gk:sk95:8+egm96 gk:gsk2011:auto utm:37n msk:Район msk:Плоская
    tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566)
targets=(geod:wgs84 geod:wgs84:deg geod:sk42:dms:360 geod:sk95:deg:360+egm96 geod:pz90.11:dms
    geoc:wgs84 geoc:sk42 gk:sk42:7 gk:sk42:auto gk:sk95:7+egm96 gk:gsk2011:auto:auto utm:37n
    msk:Район msk:Плоская tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566)

runs=0 lines=0 failed=0
# check [args...]: standard input from $input (default: none).
check() {
    "$old" --geoid "$geoid" "$@" <"${input:-/dev/null}" >o.out 2>o.err && echo 0 >o.st || echo $? >o.st
    "$new" --geoid "$geoid" "$@" <"${input:-/dev/null}" >n.out 2>n.err && echo 0 >n.st || echo $? >n.st
    runs=$((runs + 1))
    lines=$((lines + $(wc -l <o.out)))
    if ! cmp -s o.out n.out || ! cmp -s o.err n.err || ! cmp -s o.st n.st; then
        failed=$((failed + 1))
        echo "DIFFERENT: $*" >&2
        diff <(cat o.st o.out o.err) <(cat n.st n.out n.err) | head -6 >&2 || true
    fi
}
for from in "${sources[@]}"; do
    kind=${from%%:*}
    case $kind in geod | geoc | gk | utm | msk) ;; *) kind=gk ;; esac
    [ "$from" = gk:gsk2011:auto ] && kind=gk
    for to in "${targets[@]}"; do
        check --systems systems.json --from "$from" --to "$to" r-$kind-*.txt
        check --systems systems.json --from "$from" --to "$to" t-*.txt
    done
done
# Several inputs and standard input in one run, and a map document.
input=r-gk-utf8.txt check --from gk:sk42:7 --to geod:wgs84 t-gk42.txt - t-cp1251.txt
check -q --from gk:sk42:7 --to geod:wgs84:deg r-gk-utf8.txt -o /dev/stdout
check --from gk:sk42:7 --format geojson r-gk-utf8.txt
check --from gk:sk42:7 --to gk:sk42:7 --format dxf r-gk-crlf.txt
echo "compare-converter: $runs runs, $lines output lines, $failed different"
[ "$failed" -eq 0 ]
