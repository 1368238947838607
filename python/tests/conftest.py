"""Shared helpers: the converter run on the same points, its output read back."""
import os
import pathlib
import re
import subprocess

import numpy as np
import pytest

import kelvadra

HERE = pathlib.Path(__file__).resolve().parent
BIN = pathlib.Path(os.environ.get("KELVADRA_BIN", HERE.parents[1] / "build" / "bin"))
CONVERTER = BIN / "kelvadra-convert"
GEOID = BIN / "egm96.grd"

needs_geoid = pytest.mark.skipif(not GEOID.exists(), reason="egm96.grd is not built")


def converter(*args, stdin=""):
    """The converter's exit status, standard output and standard error."""
    done = subprocess.run([str(CONVERTER), *map(str, args)], input=stdin.encode(),
                          capture_output=True, timeout=120)
    return done.returncode, done.stdout.decode(), done.stderr.decode()


def convert_lines(source, target, a, b, c=None, extra=()):
    """The points converted by kelvadra-convert: its printed texts per point
    (None for a failed one) and its reasons by point index."""
    lines = []
    for i in range(len(a)):
        third = "" if c is None else repr(float(c[i]))
        lines.append(f"p{i}; {float(a[i])!r}; {float(b[i])!r}; {third}")
    _, out, err = converter("--from", source, "--to", target, *extra,
                            stdin="\n".join(lines) + "\n")
    texts = []
    for line in out.splitlines():
        fields = [f.strip() for f in line.split(";")]
        texts.append(fields[1:4] if fields[1] else None)
    reasons = {}
    for line in err.splitlines():
        # "kelvadra-convert: SOURCE:LINE: reason"
        found = re.search(r":(\d+): (.*)$", line)
        if found:
            reasons[int(found.group(1)) - 1] = found.group(2)
    assert len(texts) == len(a), out + err
    return texts, reasons


def printed(value, decimals):
    """The converter's form of a number: fixed decimals, no sign on a zero."""
    text = f"{value:.{decimals}f}"
    return text[1:] if text.startswith("-") and not text.strip("-0.") else text


@pytest.fixture
def systems_file(tmp_path):
    """A definitions file with one keyed local system over GK zone 7."""
    path = tmp_path / "local-systems.json"
    path.write_text('[{"name": "Город", "base": "gk:sk42:7", '
                    '"keys": {"similarity": [-6100000, -7300000, 1.00001, 0.00002]}, '
                    '"dh": 1.5}, '
                    '{"name": "Основа", "base": "gk:sk42:7"}]', encoding="utf-8")
    return path


def grid_points(n=40, seed=1):
    """GK zone 7 points over the zone and past its edges."""
    rng = np.random.default_rng(seed)
    x = rng.uniform(5.0e6, 7.9e6, n)
    y = rng.uniform(7.05e6, 7.95e6, n)
    h = rng.uniform(-100.0, 3000.0, n)
    return x, y, h
