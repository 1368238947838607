"""kelvadra:fitkeys against kelvadra-convert --fit on the same points."""

import os
import subprocess

import pytest
from conftest import (A_POINTS, B_POINTS, CONVERTER, HOME, SYSTEMS, convert, features,
                      memory_layer, refusal, run)

SIMILARITY, AFFINE = 0, 1
NO_HEIGHT, SHIFT, PLANE = 0, 1, 2


def plane_layer(rows):
    """Plane points (name, X north, Y east, H) as geometry: x east, y north."""
    return memory_layer([(n, y, x, h) for n, x, y, h in rows], crs="EPSG:28407")


def table(rows):
    return memory_layer([(n, *map(repr, p)) for n, *p in rows], geometry="None",
                        extra=(("X", "string"), ("Y", "string"), ("H", "string")))


def cli_fit(rows_a, rows_b, *options):
    def text(rows):
        return "".join("%s; %r; %r; %r\n" % row for row in rows)

    paths = []
    for i, rows in enumerate((rows_a, rows_b)):
        paths.append(os.path.join(HOME, "fit-%d.txt" % i))
        with open(paths[-1], "w", encoding="utf-8") as f:
            f.write(text(rows))
    done = subprocess.run([CONVERTER, "--fit", *options, "--from", "gk:sk42:7", *paths],
                          capture_output=True, text=True, check=False)
    return done.returncode, done.stdout


def fit(a, b, tmp_path, report="report.txt", **parameters):
    path = str(tmp_path / report)
    parameters.setdefault("NAME_FIELD_A", "name")
    parameters.setdefault("NAME_FIELD_B", "name")
    result = run("fitkeys", A=a, B=b, BASE="gk:sk42:7", REPORT=path,
                 RESIDUALS="TEMPORARY_OUTPUT", **parameters)
    with open(path, encoding="utf-8") as f:
        return result, f.read()


# Т16's X typed 0.3 m off: the fit must point at it.
MISTYPED = [(n, x + 0.3, y, h) if n == "Т16" else (n, x, y, h) for n, x, y, h in B_POINTS]


@pytest.mark.parametrize("given", ["geometry", "fields"])
@pytest.mark.parametrize("b_rows, model, height, options, status", [
    (B_POINTS + [("Т99", 1.0, 2.0, 3.0)], SIMILARITY, PLANE,
     ("similarity", "--height", "plane"), 0),
    (MISTYPED, SIMILARITY, PLANE, ("similarity", "--height", "plane"), 1),
    (B_POINTS[:4], AFFINE, SHIFT, ("affine", "--height", "shift"), 0),
])
def test_fit_equals_the_converter(given, b_rows, model, height, options, status, tmp_path):
    if given == "geometry":
        a, b, more = plane_layer(A_POINTS), plane_layer(b_rows), {}
    else:
        a, b = table(A_POINTS), table(b_rows)
        more = {"%s_FIELD_%s" % (axis, w): field for w in "AB"
                for axis, field in zip("XYZ", ("X", "Y", "H"))}
    result, report = fit(a, b, tmp_path, MODEL=model, HEIGHT=height, **more)
    code, expected = cli_fit(A_POINTS, b_rows, *options)
    assert (code, report) == (status, expected)
    residuals = features(result["RESIDUALS"])
    assert sorted(residuals) == sorted(n for n, *_ in b_rows if n in dict(
        (p[0], p) for p in A_POINTS))
    for line in expected.split("м:\n", 1)[1].split("\n\n", 1)[0].splitlines()[1:]:
        name, *numbers = line.split()
        attributes, _ = residuals[name]
        for field, text in zip(("vX", "vY", "vH", "vXY"), numbers):
            assert attributes[field] == pytest.approx(float(text), abs=5e-4)
        assert attributes["flag"] == (len(numbers) > 4)
    assert result["FLAGGED"] == status


def test_saved_system_converts_at_once(tmp_path):
    result, _ = fit(plane_layer(A_POINTS), plane_layer(B_POINTS), tmp_path,
                    HEIGHT=PLANE, SAVE_AS="Участок")
    assert result["SAVED"] == "msk:Участок"
    converted = run("convertpoints", INPUT=plane_layer(A_POINTS), SOURCE="gk:sk42:7",
                    TARGET="msk:Участок", OUTPUT="TEMPORARY_OUTPUT")
    got = features(converted["OUTPUT"])
    for name, x, y, h in B_POINTS:
        attributes, _ = got[name]
        # Within the fit's largest residual, 0.034 m.
        assert (attributes["x"], attributes["y"], attributes["h"]) == pytest.approx(
            (x, y, h), abs=0.035)
    assert convert("gk:sk42:7", "msk:Участок", A_POINTS[:1])[0][0][1] == pytest.approx(
        got["Рп1"][0]["x"], abs=6e-4)


def test_taken_name_changes_nothing(tmp_path):
    with open(SYSTEMS, "rb") as f:
        before = f.read()
    message = refusal("fitkeys", A=plane_layer(A_POINTS), B=plane_layer(B_POINTS),
                      NAME_FIELD_A="name", NAME_FIELD_B="name", BASE="gk:sk42:7",
                      SAVE_AS="Город", REPORT=str(tmp_path / "r.txt"),
                      RESIDUALS=str(tmp_path / "v.gpkg"))
    assert "Город" in message and "уже есть" in message
    with open(SYSTEMS, "rb") as f:
        assert f.read() == before
    assert not (tmp_path / "r.txt").exists() and not (tmp_path / "v.gpkg").exists()


REFUSALS = [
    # A rows, B rows, model, a fragment of the message (None: fitted)
    (A_POINTS + A_POINTS[:1], B_POINTS, SIMILARITY, "имена повторяются: «Рп1» (объекты 1, 9)"),
    (A_POINTS[:1], B_POINTS, SIMILARITY, "точ"),
    (A_POINTS[:2], B_POINTS, SIMILARITY, None),
    (A_POINTS[:2], B_POINTS, AFFINE, "точ"),
    (A_POINTS[:3], B_POINTS, AFFINE, None),
]


@pytest.mark.parametrize("rows_a, rows_b, model, message", REFUSALS)
def test_too_few_or_ambiguous_points_are_refused(rows_a, rows_b, model, message, tmp_path):
    parameters = dict(A=plane_layer(rows_a), B=plane_layer(rows_b), NAME_FIELD_A="name",
                      NAME_FIELD_B="name", BASE="gk:sk42:7", MODEL=model,
                      REPORT=str(tmp_path / "r.txt"), RESIDUALS="TEMPORARY_OUTPUT")
    if message is None:
        assert run("fitkeys", **parameters)["SIGMA"] >= 0
    else:
        assert message in refusal("fitkeys", **parameters)
        assert not (tmp_path / "r.txt").exists()


@pytest.mark.parametrize("height, refused", [(NO_HEIGHT, False), (SHIFT, True)])
def test_heights_are_asked_for_only_when_given(height, refused, tmp_path):
    flat = memory_layer([(n, y, x, None) for n, x, y, _ in B_POINTS], crs="EPSG:28407",
                        geometry="Point")
    parameters = dict(A=plane_layer(A_POINTS), B=flat, NAME_FIELD_A="name",
                      NAME_FIELD_B="name", BASE="gk:sk42:7", HEIGHT=height,
                      REPORT=str(tmp_path / "r.txt"), RESIDUALS="TEMPORARY_OUTPUT")
    if refused:
        assert "у точек слоя B нет высот" in refusal("fitkeys", **parameters)
    else:
        assert run("fitkeys", **parameters)["SIGMA_H"] is None


def test_common_point_that_does_not_read_is_refused(tmp_path):
    b = plane_layer(B_POINTS)
    first = next(b.getFeatures()).id()
    from qgis.core import QgsGeometry

    b.dataProvider().changeGeometryValues({first: QgsGeometry()})
    message = refusal("fitkeys", A=plane_layer(A_POINTS), B=b, NAME_FIELD_A="name",
                      NAME_FIELD_B="name", BASE="gk:sk42:7", REPORT=str(tmp_path / "r.txt"),
                      RESIDUALS="TEMPORARY_OUTPUT")
    assert message == "точка «Рп1» слоя B не читается: нет геометрии"


def test_html_report_escapes_names(tmp_path):
    rows_a = [("<b>" + n, *p) for n, *p in A_POINTS]
    rows_b = [("<b>" + n, *p) for n, *p in B_POINTS]
    _, report = fit(plane_layer(rows_a), plane_layer(rows_b), tmp_path, report="r.html")
    assert report.startswith("<!DOCTYPE html>") and "&lt;b&gt;Рп1" in report
    assert "<b>Рп1" not in report
