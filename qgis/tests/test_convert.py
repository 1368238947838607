"""kelvadra:convertpoints through processing.run, against kelvadra-convert on
the same points."""

import hashlib

import pytest
from conftest import (A_POINTS, convert, features, geopackage, memory_layer, null,
                      refusal, run)
from qgis.core import (QgsCoordinateReferenceSystem, QgsCoordinateTransform, QgsVector3D,
                       QgsProject, QgsVectorLayer)

# The converter writes 3 decimals of a metre and 9 of a degree.
METRE = 6e-4
DEGREE = 6e-10

WGS84 = [("П1", 54.7238586, 37.3579526, 200.0), ("П2", 55.75, 37.62, 150.5),
         ("П3", 59.93, 30.31, 10.0)]
UTM = [("У1", 412345.678, 6067890.123, 180.0), ("У2", 500000.0, 6100000.0, 0.0)]


def east_first(form):
    return form.startswith(("utm:", "geoc:"))


def layer_of(form, rows, crs="EPSG:4326"):
    """The rows, written in `form`'s order, as point geometry in QGIS's axes."""
    placed = [(n, a, b, c) if east_first(form) else (n, b, a, c) for n, a, b, c in rows]
    return memory_layer(placed, crs)


def tolerance(form):
    return DEGREE if form.startswith("geod:") else METRE


def reference_form(form):
    # The converter writes degrees-minutes-seconds unless told otherwise.
    if form.startswith("geod:"):
        base, plus, geoid = form.partition("+")
        return base + ":deg" + plus + geoid
    return form


CASES = [
    # source, target, rows in the source's order, GEOID choice
    ("gk:sk42:7", "geod:wgs84", A_POINTS, 0),
    ("geod:wgs84", "gk:gsk2011:7", WGS84[:2], 0),
    ("geod:wgs84+egm96", "gk:sk42:auto", WGS84, 0),
    ("geod:wgs84", "gk:sk95:auto+egm96", WGS84, 2),
    ("utm:37n", "geod:pz90.11", UTM, 0),
    ("geod:sk42", "utm:37n", WGS84[:2], 0),
    ("gk:sk42:7", "msk:Район", A_POINTS, 0),
    ("geod:wgs84", "geoc:pz90.11", WGS84, 0),
]


@pytest.mark.parametrize("source, target, rows, geoid", CASES)
def test_results_equal_the_converter(source, target, rows, geoid):
    result = run("convertpoints", INPUT=layer_of(source, rows), SOURCE=source,
                 TARGET=target.replace("+egm96", "") if geoid else target, GEOID=geoid,
                 OUTPUT="TEMPORARY_OUTPUT")
    expected, reasons = convert(source, reference_form(target), rows)
    assert not reasons and result["FAILED"] == 0 and result["CONVERTED"] == len(rows)
    got = features(result["OUTPUT"])
    for name, *coordinates in expected:
        attributes, point = got[name]
        values = [attributes[k] for k in ("x", "y", "h")]
        for value, want in zip(values, coordinates):
            assert abs(value - want) <= (METRE if value is values[2] else tolerance(target))
        assert attributes["status"] == ""
        # Geometry in QGIS's axes, the fields in the surveyor's order.
        x, y = (values[0], values[1]) if east_first(target) else (values[1], values[0])
        assert point == pytest.approx((x, y, values[2]), abs=0)


def test_failed_points_keep_their_row_and_the_converter_reason():
    rows = [("хорошая", 54.7, 37.3, 0.0), ("за полюсом", 95.0, 37.3, 0.0),
            ("вне зоны", 54.0, 10.0, 0.0)]
    layer = layer_of("geod:wgs84", rows)
    layer.dataProvider().addFeatures([_unplaced(layer, "без геометрии")])
    result = run("convertpoints", INPUT=layer, SOURCE="geod:wgs84", TARGET="gk:sk42:7",
                 OUTPUT="TEMPORARY_OUTPUT")
    _, reasons = convert("geod:wgs84", "gk:sk42:7", rows)
    got = features(result["OUTPUT"])
    assert (result["CONVERTED"], result["FAILED"]) == (1, 3)
    assert got["хорошая"][0]["status"] == "" and got["хорошая"][1] is not None
    for name in ("за полюсом", "вне зоны"):
        attributes, point = got[name]
        assert attributes["status"] == reasons[name]
        assert point is None and all(null(attributes[k]) for k in "xyh")
    assert got["без геометрии"][0]["status"] == "нет геометрии"


def _unplaced(layer, name):
    from qgis.core import QgsFeature

    feature = QgsFeature(layer.fields())
    feature.setAttributes([name])
    return feature


TABLE_VALUES = [
    # X, Y, H fields as a CSV holds them; the status they give
    (("6067828.990", "7394318.682", "179.056"), ""),
    (("6067828,990", "7394318,682", "179,056"), ""),
    ((6067828.99, 7394318.682, None), "поле «H»: пусто"),
    (("6067828.990", "abc", "1"), "поле «Y»: не число «abc»"),
    (("1e400", "7394318.682", "1"), "поле «X»: не число «1e400»"),
]


def test_table_fields_read_as_the_surveyor_writes_them():
    extra = (("X", "string"), ("Y", "string"), ("H", "string"))
    rows = [("T%d" % i, *(None if v is None else str(v) for v in values))
            for i, (values, _) in enumerate(TABLE_VALUES)]
    table = memory_layer(rows, geometry="None", extra=extra)
    result = run("convertpoints", INPUT=table, X_FIELD="X", Y_FIELD="Y", Z_FIELD="H",
                 SOURCE="gk:sk42:7", TARGET="geod:wgs84", OUTPUT="TEMPORARY_OUTPUT")
    got = features(result["OUTPUT"])
    (_, lat, lon, h), = convert("gk:sk42:7", "geod:wgs84:deg", [A_POINTS[0]])[0]
    for i, (_, status) in enumerate(TABLE_VALUES):
        attributes, point = got["T%d" % i]
        assert attributes["status"] == status
        # A table's own X, Y, H stay as they were; the results beside them
        # take QGIS's names for a taken field name (field names are not
        # case-sensitive in a GeoPackage).
        assert attributes["X"] == rows[i][1]
        if not status:
            assert (attributes["x_2"], attributes["y_2"]) == pytest.approx((lat, lon),
                                                                           abs=DEGREE)
            assert attributes["h_2"] == pytest.approx(h, abs=METRE)
            assert point == (attributes["y_2"], attributes["x_2"], attributes["h_2"])
    assert [f.name() for f in result["OUTPUT"].fields()] == [
        "name", "X", "Y", "H", "x_2", "y_2", "h_2", "status"]


def _through_qgis(layer):
    """Each point's geometry taken to WGS 84 by QGIS with the layer's CRS, its
    height too: a datum shift moves a point in space."""
    to_wgs84 = QgsCoordinateTransform(layer.crs(), QgsCoordinateReferenceSystem("EPSG:4326"),
                                      QgsProject.instance())
    out = {}
    for name, (_, point) in features(layer).items():
        p = to_wgs84.transform(QgsVector3D(*point))
        out[name] = (p.y(), p.x())
    return out


@pytest.mark.parametrize("target", ["gk:sk42:7", "gk:gsk2011:7", "msk:Район", "geod:sk42",
                                    "utm:37n"])
def test_output_crs_keeps_the_datum_shift(target, tmp_path):
    # QGIS would take SK-42 zone 7 as UCS-2000 without a shift (tens of
    # metres off) and GSK-2011 with a zero shift (decimetres off); through
    # the layer's CRS each point must land where the converter puts it.
    out = str(tmp_path / "out.gpkg")
    run("convertpoints", INPUT=layer_of("gk:sk42:7", A_POINTS), SOURCE="gk:sk42:7",
        TARGET=target, OUTPUT=out)
    layer = QgsVectorLayer(out, "out", "ogr")
    assert "+towgs84=" in layer.crs().toProj() or target.startswith("utm")
    expected, _ = convert("gk:sk42:7", "geod:wgs84:deg", A_POINTS)
    placed = _through_qgis(layer)
    for name, lat, lon, _ in expected:
        # 1e-8 degree is 1 mm; the 7-parameter shift of PROJ and the
        # library's agree within 0.1 mm.
        assert placed[name] == pytest.approx((lat, lon), abs=1e-8)


def test_local_system_with_keys_places_geometry_in_its_base(tmp_path):
    out = str(tmp_path / "city.gpkg")
    result = run("convertpoints", INPUT=layer_of("gk:sk42:7", A_POINTS), SOURCE="gk:sk42:7",
                 TARGET="msk:Город", OUTPUT=out)
    local, _ = convert("gk:sk42:7", "msk:Город", A_POINTS)
    base, _ = convert("gk:sk42:7", "gk:sk42:7", A_POINTS)
    got = features(out)
    for (name, x, y, h), (_, bx, by, _) in zip(local, base):
        attributes, point = got[name]
        assert (attributes["x"], attributes["y"], attributes["h"]) == pytest.approx(
            (x, y, h), abs=METRE)
        assert point[:2] == pytest.approx((by, bx), abs=METRE)
    layer = QgsVectorLayer(out, "city", "ogr")
    assert "without keys" in layer.crs().description()
    assert "основе «gk:sk42:7» без ключей" in result["CRS_NOTE"]
    assert layer.metadata().abstract() == result["CRS_NOTE"]


def _digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def test_input_file_is_never_written(tmp_path):
    source = geopackage(layer_of("gk:sk42:7", A_POINTS, crs="EPSG:28407"),
                        str(tmp_path / "survey.gpkg"))
    before = _digest(source)
    message = refusal("convertpoints", INPUT=source, SOURCE="gk:sk42:7", TARGET="geod:wgs84",
                      OUTPUT=source)
    assert "файл входного слоя" in message and _digest(source) == before
    beside = str(tmp_path / "survey-wgs84.gpkg")
    run("convertpoints", INPUT=source, SOURCE="gk:sk42:7", TARGET="geod:wgs84", OUTPUT=beside)
    assert _digest(source) == before and len(features(beside)) == len(A_POINTS)


REFUSALS = [
    # parameters beyond INPUT (a point layer) and OUTPUT; a fragment of the message
    (dict(SOURCE="gk:sk42:61", TARGET="geod:wgs84"), "зона 1–60"),
    (dict(SOURCE="gk:sk42:60", TARGET="geod:wgs84"), None),
    (dict(SOURCE="gk:sk42:7", TARGET="msk:Нет"), "местной системы «Нет» нет"),
    (dict(SOURCE="gk:sk42:7", TARGET="msk:Город"), None),
    (dict(SOURCE="geoc:wgs84", TARGET="geod:wgs84", GEOID=1), "geoc"),
    (dict(SOURCE="gk:sk42:7", TARGET="geod:wgs84", X_FIELD="name"), "X_FIELD и Y_FIELD"),
]


@pytest.mark.parametrize("parameters, message", REFUSALS)
def test_bad_parameters_are_refused_with_the_reason(parameters, message):
    layer = layer_of("gk:sk42:7", A_POINTS[:1])
    if message is None:
        assert run("convertpoints", INPUT=layer, OUTPUT="TEMPORARY_OUTPUT", **parameters)
    else:
        assert message in refusal("convertpoints", INPUT=layer, OUTPUT="TEMPORARY_OUTPUT",
                                  **parameters)


def test_table_without_coordinate_fields_is_refused():
    table = memory_layer([("T1",)], geometry="None")
    assert "укажите поля X_FIELD и Y_FIELD" in refusal(
        "convertpoints", INPUT=table, SOURCE="gk:sk42:7", TARGET="geod:wgs84",
        OUTPUT="TEMPORARY_OUTPUT")
