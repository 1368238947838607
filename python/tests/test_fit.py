"""Keys from common points against kelvadra-convert --fit."""
import json

import numpy as np
import pytest

import kelvadra
from conftest import converter


def common_points(n=8, outlier=True, seed=5):
    rng = np.random.default_rng(seed)
    a = np.column_stack([rng.uniform(6.20e6, 6.21e6, n), rng.uniform(7.40e6, 7.41e6, n),
                         rng.uniform(100, 200, n)])
    angle, scale = 2e-5, 1.00001
    x, y = a[:, 0], a[:, 1]
    b = np.column_stack([-6.1e6 + scale * (np.cos(angle) * x - np.sin(angle) * y),
                         -7.3e6 + scale * (np.sin(angle) * x + np.cos(angle) * y),
                         a[:, 2] + 1.25]) + rng.normal(0, 0.005, (n, 3))
    if outlier:
        b[3, 0] += 0.5
    return a, b


def write_list(path, names, points):
    path.write_text("".join(f"{name}; {p[0]!r}; {p[1]!r}; {p[2]!r}\n"
                            for name, p in zip(names, points)), encoding="utf-8")


@pytest.mark.parametrize("model,height", [("similarity", "shift"), ("affine", "plane"),
                                          ("similarity", "none")])
def test_report_and_flags_as_the_converter(tmp_path, model, height):
    a, b = common_points()
    names = [f"Т{i}" for i in range(len(a))]
    write_list(tmp_path / "a.txt", names, a)
    write_list(tmp_path / "b.txt", names, b)
    code, out, err = converter("--fit", model, "--height", height, "--from", "gk:sk42:7",
                               tmp_path / "a.txt", tmp_path / "b.txt")
    fit = kelvadra.fit_keys(a, b, model=model, height=height, names=names)
    assert fit.report() == out, err
    assert code == (1 if fit.flagged.any() else 0)
    assert fit.flagged[3] and (model == "affine" or fit.flagged.sum() == 1)
    keys = ["dX", "dY", "a", "b"] if model == "similarity" else \
        ["dX", "dY", "a1", "a2", "b1", "b2"]
    keys += {"none": [], "shift": ["dh"], "plane": ["dh", "sx", "sy"]}[height]
    assert list(fit.parameters) == keys
    assert fit.residuals.shape == (len(a), 3)
    assert (fit.sigma_h is None) == (height == "none")
    assert fit.residuals[3, 0] < -0.3 and fit.sigma > 0.005


def test_saved_system_converts_as_fitted(tmp_path):
    a, b = common_points(outlier=False)
    fit = kelvadra.fit_keys(a, b, height="shift")
    path = tmp_path / "systems.json"
    fit.save("Новая", systems=path)
    assert [s["name"] for s in kelvadra.systems(path)] == ["Новая"]
    t = kelvadra.Transformer("gk:sk42:7", "msk:Новая", systems=path)
    X, Y, H = t.transform(a[:, 0], a[:, 1], a[:, 2])
    assert np.allclose(np.column_stack([X, Y, H]) - b, fit.residuals, atol=1e-6)
    before = path.read_bytes()
    with pytest.raises(ValueError, match="уже есть"):
        fit.save("Новая", systems=path)
    assert path.read_bytes() == before
    path.write_text("{broken", encoding="utf-8")
    with pytest.raises(ValueError, match="строка 1"):
        fit.save("Другая", systems=path)
    assert path.read_text(encoding="utf-8") == "{broken"


@pytest.mark.parametrize("model,height,n,ok", [
    ("similarity", "none", 2, True), ("similarity", "none", 1, False),
    ("affine", "none", 3, True), ("affine", "none", 2, False),
    ("similarity", "plane", 3, True), ("similarity", "plane", 2, False),
])
def test_too_few_points_at_the_edge(tmp_path, model, height, n, ok):
    a, b = common_points(n, outlier=False)
    if ok:
        assert kelvadra.fit_keys(a, b, model=model, height=height).parameters
        return
    names = [str(i + 1) for i in range(n)]
    write_list(tmp_path / "a.txt", names, a)
    write_list(tmp_path / "b.txt", names, b)
    _, _, err = converter("--fit", model, "--height", height, "--from", "gk:sk42:7",
                          tmp_path / "a.txt", tmp_path / "b.txt")
    with pytest.raises(ValueError) as raised:
        kelvadra.fit_keys(a, b, model=model, height=height)
    assert str(raised.value) in err


def test_degenerate_and_malformed_input():
    a, b = common_points(4, outlier=False)
    line = np.column_stack([np.linspace(6.2e6, 6.21e6, 4), np.linspace(7.4e6, 7.41e6, 4),
                            np.zeros(4)])
    cases = [
        (dict(a=line, b=line, model="affine"), "лин|прям"),
        (dict(a=a, b=b, names=["1", "1", "2", "3"]), "1"),
        (dict(a=a, b=b, names=["1", "2"]), "names"),
        (dict(a=a[:, :2], b=b), "n × 3"),
        (dict(a=a, b=b, model="helmert"), "model"),
        (dict(a=a, b=b, height="tilt"), "height"),
        (dict(a=a, b=b, base="geod:wgs84"), "base"),
    ]
    for kwargs, wanted in cases:
        with pytest.raises(ValueError, match=wanted):
            kelvadra.fit_keys(**kwargs)
    # A coordinate is refused like a converted one: beyond 10 000 km or not a number.
    for value, wanted in ((np.nan, "неверная запись"), (1.0000001e7, "дальше 10 000 км")):
        bad = a.copy()
        bad[1, 1] = value
        with pytest.raises(ValueError, match=wanted):
            kelvadra.fit_keys(bad, b)
    with pytest.raises(TypeError):
        kelvadra.fit_keys(a, None)
    json.dumps(kelvadra.fit_keys(a, b).parameters)
