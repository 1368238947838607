"""Results against the converter's printed digits, failures with its reasons."""
import numpy as np
import pytest

import kelvadra
from conftest import convert_lines, grid_points, needs_geoid, printed

# (source, target, decimals of the target's first two and third coordinates)
PAIRS = [
    ("gk:sk42:7", "geod:wgs84:deg", 9, 3),
    ("geod:sk42", "geod:wgs84:deg", 9, 3),
    ("geod:wgs84", "gk:sk42:7", 3, 3),
    ("gk:sk42:7", "utm:37n", 3, 3),
    ("utm:37n", "geoc:pz90", 3, 3),
    ("gk:gsk2011:auto", "geod:wgs84:deg:360", 9, 3),
    ("geod:wgs84", "gk:gsk2011:auto", 3, 3),
]


def source_points(form, n=40):
    x, y, h = grid_points(n)
    rng = np.random.default_rng(7)
    if form.startswith("geod"):
        # Latitudes past the poles and longitudes far from zone 7 included.
        return rng.uniform(-95, 95, n), rng.uniform(20, 70, n), h
    if form.startswith("utm"):
        return rng.uniform(-100e3, 1100e3, n), rng.uniform(5.0e6, 7.9e6, n), h
    if form == "gk:gsk2011:auto":
        return x, y + rng.integers(-2, 3, n) * 1e6, h
    return x, y, h


def check_against_converter(t, a, b, c, decimals, heights=True):
    texts, reasons = convert_lines(t.source, t.target, a, b, c if heights else None)
    A, B, C = t.transform(a, b, c if heights else None)
    why = t.reasons(a, b, c if heights else None)
    assert any(row is None for row in texts) and any(row is not None for row in texts)
    for i, row in enumerate(texts):
        if row is None:
            assert np.isnan([A[i], B[i], C[i]]).all()
            assert why[i] == reasons[i]
            continue
        assert why[i] == ""
        got = [printed(A[i], decimals[0]), printed(B[i], decimals[0])]
        assert got == row[:2], i
        if heights:
            assert printed(C[i], decimals[1]) == row[2], i


@pytest.mark.parametrize("source,target,plane,height", PAIRS)
def test_equal_to_converter(source, target, plane, height):
    t = kelvadra.Transformer(source, target)
    a, b, c = source_points(source)
    check_against_converter(t, a, b, c, (plane, height))


def test_local_systems_both_ways(systems_file):
    t = kelvadra.Transformer("msk:Город", "geod:wgs84:deg", systems=systems_file)
    x, y, h = grid_points()
    a, b = x - 6.1e6, y - 7.3e6
    texts, reasons = convert_lines(t.source, t.target, a, b, h,
                                   extra=("--systems", systems_file))
    A, B, _ = t.transform(a, b, h)
    for i, row in enumerate(texts):
        assert (row is None) == np.isnan(A[i])
        if row is not None:
            assert [printed(A[i], 9), printed(B[i], 9)] == row[:2]
    back = t.inverse.transform(A, B, h)
    ok = ~np.isnan(A)
    assert np.allclose(back[0][ok], a[ok], atol=1e-6)


@needs_geoid
def test_geoid_heights_found_beside_the_programs():
    t = kelvadra.Transformer("geod:wgs84", "geod:wgs84:deg+egm96")
    a, b, c = np.array([55.75, 43.0, 91.0]), np.array([37.6, 45.0, 0.0]), np.zeros(3)
    check_against_converter(t, a, b, c, (9, 3))


def test_heights_default_to_zero_and_geocentric_needs_z():
    t = kelvadra.Transformer("geod:sk42", "geod:wgs84")
    assert np.array_equal(t.transform([55.0], [37.0])[2], t.transform([55.0], [37.0], [0])[2])
    with pytest.raises(ValueError, match="Z"):
        kelvadra.Transformer("geoc:wgs84", "geod:wgs84").transform([1e6], [1e6])


@pytest.mark.parametrize("form,wanted", [
    ("gk:sk42:61", "gk:"), ("geod:nowhere", "nowhere"), ("utm:61n", "utm"),
    ("geod:wgs84:deg", "deg"),  # an output form only
])
def test_bad_forms_give_the_converters_message(form, wanted):
    code, _, err = __import__("conftest").converter("--from", form, "--to", "geod:wgs84")
    with pytest.raises(ValueError) as raised:
        kelvadra.Transformer(form, "geod:wgs84")
    assert code == 2 and wanted in str(raised.value)
    assert str(raised.value) in err


def test_missing_local_system_and_geoid(tmp_path, systems_file):
    with pytest.raises(ValueError, match="Нет такой|нет в"):
        kelvadra.Transformer("msk:Нет", "geod:wgs84", systems=systems_file)
    with pytest.raises(ValueError, match="сетку геоида"):
        kelvadra.Transformer("geod:wgs84", "geod:wgs84+egm96", geoid=tmp_path / "none.grd")
    (tmp_path / "bad.grd").write_bytes(b"not a grid")
    with pytest.raises(ValueError, match="не является сеткой"):
        kelvadra.Transformer("geod:wgs84", "geod:wgs84+egm96", geoid=tmp_path / "bad.grd")


def test_inverse_forms_and_repr():
    t = kelvadra.Transformer("gk:sk42:7", "geod:wgs84:deg:360")
    assert (t.source, t.target) == ("gk:sk42:7", "geod:wgs84:deg:360")
    assert (t.inverse.source, t.inverse.target) == ("geod:wgs84", "gk:sk42:7")
    assert repr(t) == "kelvadra.Transformer('gk:sk42:7', 'geod:wgs84:deg:360')"


def test_systems_and_show_proj_as_the_converter(systems_file):
    names = [s["name"] for s in kelvadra.systems(systems_file)]
    assert names == ["Город", "Основа"]
    assert kelvadra.systems(systems_file)[0]["keys"] == "similarity"
    for form in ("gk:sk42:7", "utm:37n", "msk:Основа"):
        code, out, _ = __import__("conftest").converter(
            "--show-proj", form, "--systems", systems_file)
        assert code == 0 and kelvadra.show_proj(form, systems=systems_file) == out.strip()
    for form, wanted in (("msk:Город", "ключи"), ("geod:wgs84", "плоская")):
        with pytest.raises(ValueError, match=wanted):
            kelvadra.show_proj(form, systems=systems_file)
