#!/usr/bin/env python3
"""kelvadra-convert --format dxf read back by ezdxf, a reader of its own: every
converted point where the converter's plain rows put it, its labels, layers,
units, extents and the names as they were typed.

Usage: check_dxf.py KELVADRA-CONVERT
"""
import re
import subprocess
import sys

import ezdxf
from ezdxf.lldxf.encoding import decode_dxf_unicode
from ezdxf.tools.text import caret_decode

CONVERT = sys.argv[1]
failures = []

NAMES = [
    "Пункт 1",
    "Ёлка-ёж №5",
    "Rp^2 Ω",
    "A & <b> \"q\"",
    "смайл 😀",
    "Д" * 260,  # 260 bytes in cp1251: cut to 250
]
# Geodetic WGS 84 rows: named points, one without a height, then rows that give none.
ROWS = [f"{n}; {55.70 + i * 0.01:.6f}; {37.50 + i * 0.013:.6f}; {150.456 + i:.3f}"
        for i, n in enumerate(NAMES)]
ROWS += ["без высоты; 55.8; 37.6;", "bad; x; 1; 2", "", "только имя"]
SKIPPED = 2


def check(condition, what):
    if not condition:
        failures.append(what)


def run(args, rows=ROWS, quiet=True):
    done = subprocess.run([CONVERT, *(["-q"] if quiet else []), *args],
                          input="\n".join(rows).encode(), capture_output=True)
    return done.returncode, done.stdout, done.stderr.decode()


def plain_rows(to):
    """The converter's own rows in `to`: name and three numbers (None for a blank)."""
    _, out, _ = run(["--from", "geod:wgs84", "--to", to])
    rows = []
    for line in out.decode().splitlines():
        name, *c = [f.strip() for f in line.split(";")]
        if c[0]:
            rows.append((name, float(c[0]), float(c[1]), float(c[2]) if c[2] else None))
    return rows


def read_dxf(data):
    path = "check_dxf.dxf"
    with open(path, "wb") as f:
        f.write(data)
    return ezdxf.readfile(path), data


def shown(text):
    """A label as a CAD program shows it: \\U+ escapes and carets decoded, surrogates joined."""
    text = caret_decode(decode_dxf_unicode(text))
    return text.encode("utf-16", "surrogatepass").decode("utf-16")


def check_drawing(to, easting_first, scale):
    args = ["--from", "geod:wgs84", "--to", to, "--format", "dxf"]
    if scale:
        args += ["--scale", str(scale)]
    status, data, err = run(args, quiet=False)
    check(status == 1, f"{to}: exit status {status}, not 1 (rows skipped)")
    check(err.endswith(f"для CAD: {len(NAMES) + 1} точек, пропущено: {SKIPPED} строки\n"),
          f"{to}: summary {err!r}")
    doc, raw = read_dxf(data)
    where = f"{to} 1:{scale or 500}"
    check(doc.dxfversion == "AC1015", f"{where}: version {doc.dxfversion}")
    check(doc.header["$DWGCODEPAGE"] == "ANSI_1251", f"{where}: code page")
    check(doc.header["$INSUNITS"] == 6, f"{where}: units are not metres")
    check("Пункт 1".encode("cp1251") in raw, f"{where}: names are not cp1251")
    auditor = doc.audit()
    check(not auditor.has_errors, f"{where}: audit errors {auditor.errors}")

    # The seed of handles exceeds every handle of the file.
    tags = raw.decode("cp1251").split("\n")
    pairs = list(zip(tags[0::2], tags[1::2]))
    seed = next(int(v, 16) for (c, v), prev in zip(pairs[1:], pairs) if prev[1] == "$HANDSEED")
    handles = [int(v, 16) for (c, v), prev in zip(pairs[1:], pairs)
               if c.strip() in ("5", "105") and prev[1] != "$HANDSEED"]
    check(seed > max(handles), f"{where}: $HANDSEED {seed:X} <= {max(handles):X}")

    msp = doc.modelspace()
    check({e.dxf.layer for e in msp.query("POINT")} == {"POINTS"}, f"{where}: point layers")
    names = {e.dxf.insert.round(3).xy: e for e in msp.query("TEXT[layer=='NAMES']")}
    heights = list(msp.query("TEXT[layer=='HEIGHTS']"))
    points = list(msp.query("POINT"))
    expected = plain_rows(to)
    check(len(points) == len(expected) == len(NAMES) + 1,
          f"{where}: {len(points)} points, {len(expected)} converted rows")
    size = 0.002 * (scale or 500)
    for point, (name, c1, c2, h) in zip(points, expected):
        e, n = (c1, c2) if easting_first else (c2, c1)
        x, y, z = point.dxf.location
        check(abs(x - e) <= 1e-3 and abs(y - n) <= 1e-3 and abs(z - (h or 0.0)) <= 1e-3,
              f"{where}: {name} at {x}, {y}, {z}, not {e}, {n}, {h}")
        label = [t for t in msp.query("TEXT[layer=='NAMES']")
                 if abs(t.dxf.insert.x - x - size / 2) < 1e-6
                 and abs(t.dxf.insert.y - y - size / 2) < 1e-6]
        text = shown(label[0].dxf.text) if label else None
        want = name.encode("cp1251", "replace")[:250].decode("cp1251") if name.startswith("Д") \
            else name
        check(text == want, f"{where}: name {text!r}, not {want!r}")
        check(all(abs(t.dxf.height - size) < 1e-9 for t in label), f"{where}: text height")
        below = [t for t in heights if abs(t.dxf.insert.y - (y - 1.5 * size)) < 1e-6
                 and abs(t.dxf.insert.x - x - size / 2) < 1e-6]
        if h is None:
            check(not below, f"{where}: {name} has a height label and no height")
        else:
            check(len(below) == 1 and below[0].dxf.text == f"{h:.2f}",
                  f"{where}: height label of {name}: {[t.dxf.text for t in below]}")
    check(len(names) == len(points), f"{where}: {len(names)} name labels")

    xs = [p.dxf.location for p in points]
    low = tuple(min(v[k] for v in xs) for k in range(3))
    high = tuple(max(v[k] for v in xs) for k in range(3))
    check(all(abs(a - b) < 1e-6 for a, b in zip(doc.header["$EXTMIN"], low))
          and all(abs(a - b) < 1e-6 for a, b in zip(doc.header["$EXTMAX"], high)),
          f"{where}: extents {doc.header['$EXTMIN']} {doc.header['$EXTMAX']}")


check_drawing("gk:sk42:7", False, None)
check_drawing("utm:37n", True, 1000)
check_drawing("gk:gsk2011:auto", False, 2000)
check_drawing("tm:sk42:lon0=37.5,lat0=0,k=1,fe=300000,fn=-6000000", False, 5000)

# Refusals, each at its edge: the value inside passes, the one outside does not.
for args, status, message in [
    (["--to", "gk:sk42:7", "--format", "dxf", "--scale", "5000"], 1, ""),
    (["--to", "gk:sk42:7", "--format", "dxf", "--scale", "5001"], 2,
     "--scale: ожидается 500, 1000, 2000 или 5000"),
    (["--to", "gk:sk42:7", "--format", "dxf", "--scale", "500"], 1, ""),
    (["--to", "gk:sk42:7", "--format", "dxf", "--scale", "499"], 2, "--scale: ожидается"),
    (["--format", "kml", "--scale", "500"], 2, "только с --format dxf"),
    (["--to", "geod:wgs84", "--format", "dxf"], 2, "--format dxf пишет чертёж в плоской системе"),
    (["--to", "geoc:wgs84", "--format", "dxf"], 2, "--format dxf пишет чертёж в плоской системе"),
    (["--format", "dxf"], 2, "ожидаются --from СИСТЕМА и --to СИСТЕМА"),
]:
    got, out, err = run(["--from", "geod:wgs84", *args])
    check(got == status and message in err and (status == 2) == (out == b""),
          f"{args}: status {got}, {err!r}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("DXF read back by ezdxf", ezdxf.__version__, "as written")
