"""The plugin as a script uses it: enabled and run through qgis_process on
GeoPackage and CSV files, the files it writes read back."""

import csv
import json
import os
import subprocess
import zipfile

import pytest
from conftest import (A_POINTS, B_POINTS, HOME, PLUGINS, convert, features,
                      geopackage, memory_layer)
from test_fit import cli_fit

# /usr/bin/qgis_process passes Debian's --noversioncheck, which qgis_process
# itself then refuses; the program behind it runs.
QGIS_PROCESS = "/usr/bin/qgis_process.bin"


def qgis_process(*arguments):
    module_path = os.pathsep.join(os.path.abspath(p) for p in
                                  os.environ.get("PYTHONPATH", "").split(os.pathsep) if p)
    environment = dict(os.environ, PYTHONPATH=module_path,
                       # QGIS's Python must be Debian's, whatever comes first on PATH.
                       PATH="/usr/bin:" + os.environ.get("PATH", ""))
    return subprocess.run([QGIS_PROCESS, *arguments], capture_output=True, text=True,
                          env=environment, cwd=HOME, timeout=120, check=False)


def run(algorithm, **parameters):
    done = qgis_process("--json", "run", "kelvadra:" + algorithm,
                        *("--%s=%s" % item for item in parameters.items()))
    assert done.returncode == 0, done.stdout + done.stderr
    return json.loads(done.stdout[done.stdout.index("{"):])["results"]


@pytest.fixture(scope="module", autouse=True)
def enabled():
    """The plugin installed from its zip as the plugin manager does: unpacked
    into the profile's plugin folder, then enabled."""
    made = subprocess.run([os.path.join(PLUGINS, os.pardir, "tools", "qgis-zip.sh"), HOME],
                          capture_output=True, text=True, check=True).stdout.strip()
    plugins = os.path.join(os.environ["QGIS_CUSTOM_CONFIG_PATH"], "profiles", "default",
                           "python", "plugins")
    with zipfile.ZipFile(made) as archive:
        archive.extractall(plugins)
    done = qgis_process("plugins", "enable", "kelvadra_gost")
    assert done.returncode == 0 and "* kelvadra_gost" in done.stdout, done.stdout + done.stderr


def test_geopackage_to_geopackage_equals_the_converter(tmp_path):
    rows = [(n, y, x, h) for n, x, y, h in A_POINTS] + [("далеко", 500000.0, 6067828.0, 0.0)]
    source = geopackage(memory_layer(rows, crs="EPSG:28407"), str(tmp_path / "survey.gpkg"))
    out = str(tmp_path / "wgs84.gpkg")
    results = run("convertpoints", INPUT=source, SOURCE="gk:sk42:7",
                  TARGET="geod:wgs84+egm96", OUTPUT=out)
    assert (results["CONVERTED"], results["FAILED"]) == (8, 1)
    expected, reasons = convert("gk:sk42:7", "geod:wgs84:deg+egm96",
                                [(n, x, y, h) for n, y, x, h in rows])
    got = features(out)
    for name, lat, lon, h in expected:
        attributes, _ = got[name]
        if name in reasons:
            assert attributes["status"] == reasons[name]
        else:
            assert (attributes["x"], attributes["y"]) == pytest.approx((lat, lon), abs=6e-10)
            assert attributes["h"] == pytest.approx(h, abs=6e-4)


def test_csv_table_with_decimal_commas(tmp_path):
    source = tmp_path / "survey.csv"
    source.write_text("name;X;Y;H\n" + "".join(
        "%s;%s;%s;%s\n" % (n, *(("%.3f" % v).replace(".", ",") for v in p))
        for n, *p in A_POINTS), encoding="utf-8")
    out = tmp_path / "msk.csv"
    run("convertpoints", INPUT=str(source), X_FIELD="X", Y_FIELD="Y", Z_FIELD="H",
        SOURCE="gk:sk42:7", TARGET="msk:Город", OUTPUT=str(out))
    expected, _ = convert("gk:sk42:7", "msk:Город", A_POINTS)
    with open(out, encoding="utf-8", newline="") as f:
        written = list(csv.DictReader(f))
    given = {n: ("%.3f" % x).replace(".", ",") for n, x, _, _ in A_POINTS}
    assert [row["name"] for row in written] == [name for name, *_ in expected]
    for row, (name, x, y, h) in zip(written, expected):
        # The table's own text comes through as it was.
        assert row["X"] == given[name]
        got = [float(row[k]) for k in ("x_2", "y_2", "h_2")]
        assert got == pytest.approx([x, y, h], abs=6e-4)


def test_fit_report_saved_system_and_its_use(tmp_path):
    def table(name, rows):
        path = tmp_path / name
        path.write_text("name,X,Y,H\n" + "".join("%s,%r,%r,%r\n" % r for r in rows),
                        encoding="utf-8")
        return str(path)

    a, b = table("a.csv", A_POINTS), table("b.csv", B_POINTS)
    fields = {"%s_FIELD_%s" % (axis, w): f for w in "AB" for axis, f in zip("XYZ", "XYH")}
    results = run("fitkeys", A=a, B=b, NAME_FIELD_A="name", NAME_FIELD_B="name",
                  BASE="gk:sk42:7", MODEL=0, HEIGHT=2, SAVE_AS="Участок",
                  REPORT=str(tmp_path / "report.txt"), RESIDUALS=str(tmp_path / "v.gpkg"),
                  **fields)
    assert results["SAVED"] == "msk:Участок" and results["FLAGGED"] == 0
    assert (tmp_path / "report.txt").read_text(encoding="utf-8") == cli_fit(
        A_POINTS, B_POINTS, "similarity", "--height", "plane")[1]
    assert sorted(features(str(tmp_path / "v.gpkg"))) == sorted(n for n, *_ in A_POINTS)
    out = str(tmp_path / "local.gpkg")
    run("convertpoints", INPUT=a, X_FIELD="X", Y_FIELD="Y", Z_FIELD="H", SOURCE="gk:sk42:7",
        TARGET="msk:Участок", OUTPUT=out)
    got = features(out)
    for name, x, y, h in B_POINTS:
        assert [got[name][0][k] for k in ("x_2", "y_2", "h_2")] == pytest.approx(
            [x, y, h], abs=0.035)


def test_bad_parameters_are_refused(tmp_path):
    source = geopackage(memory_layer([(n, y, x, h) for n, x, y, h in A_POINTS[:1]]),
                        str(tmp_path / "p.gpkg"))
    out = tmp_path / "out.gpkg"
    done = qgis_process("run", "kelvadra:convertpoints", "--INPUT=" + source,
                        "--SOURCE=gk:sk42:61", "--TARGET=geod:wgs84", "--OUTPUT=%s" % out)
    assert done.returncode != 0 and "зона 1–60" in done.stdout + done.stderr
    assert not out.exists()
