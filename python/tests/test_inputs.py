"""Every shape and dtype a script hands in, bad input refused by name, and
random calls that must neither crash nor leave a point silently wrong."""
import pickle

import numpy as np
import pytest

import kelvadra

GK = kelvadra.Transformer("gk:sk42:7", "geod:wgs84")
X, Y, H = 6200000.0, 7400000.0, 150.0
EXPECTED = tuple(float(v[0]) for v in GK.transform([X], [Y], [H]))


@pytest.mark.parametrize("a,b,c,shape", [
    ([X, X], [Y, Y], [H, H], (2,)),                                   # lists
    (np.array([X], np.float32), np.array([Y], np.float64), [H], (1,)),
    (np.array([6200000]), np.array([7400000], np.uint32), np.array([150], np.int16), (1,)),
    (np.full((2, 3), X), np.full((2, 3), Y), np.full((2, 3), H), (2, 3)),
    (np.full((4, 4), X)[::2, 1::2], np.full((2, 2), Y), H, (2, 2)),  # views, a scalar
    (X, Y, H, ()),                                                    # scalars
    (np.full(3, X), Y, None, (3,)),                                   # broadcast
    (np.full((3, 1), X), np.full((1, 2), Y), H, (3, 2)),
    (np.array([], float), np.array([], float), None, (0,)),
    (np.asfortranarray(np.full((2, 3), X)), np.full((2, 3), Y), H, (2, 3)),
])
def test_shapes_and_dtypes(a, b, c, shape):
    out = GK.transform(a, b, c)
    for column, expected in zip(out, EXPECTED):
        assert column.dtype == np.float64 and column.shape == shape
        assert column.flags.c_contiguous
        if c is None:
            continue  # a height of 0, another point
        assert (column == expected).all()
    assert GK.reasons(a, b, c).shape == shape


def test_misaligned_buffers_are_read_as_numbers():
    # What pickle protocol 5 hands a dask worker: doubles at an odd address.
    raw = np.frombuffer(b"\0" + np.full(5, X).tobytes(), dtype=np.float64, offset=1)
    assert not raw.flags.aligned
    assert GK.transform(raw, Y, H)[0].tolist() == [EXPECTED[0]] * 5
    base = np.array([[6.2e6, 7.4e6, 0], [6.201e6, 7.4e6, 0], [6.2e6, 7.401e6, 0]])
    odd = np.frombuffer(b"\0" + base.tobytes(), np.float64, offset=1).reshape(3, 3)
    assert not odd.flags.aligned
    fit = kelvadra.fit_keys(odd, base - [100.0, 200.0, 0.0])
    assert fit.parameters["dX"] == pytest.approx(-100.0, abs=1e-6)


def test_int_and_float_inputs_give_identical_bits():
    ints = GK.transform(np.array([6200000, 6300000]), np.array([7400000, 7500000]), [0, 1])
    floats = GK.transform([6.2e6, 6.3e6], [7.4e6, 7.5e6], [0.0, 1.0])
    assert all(np.array_equal(p, q) for p, q in zip(ints, floats))


@pytest.mark.parametrize("a,b,c,error", [
    (np.zeros(3), np.zeros(2), None, ValueError),   # shapes that cannot broadcast
    (np.zeros((2, 3)), np.zeros((3, 2)), None, ValueError),
    (["6200000"], [Y], None, TypeError),            # strings
    (None, [Y], None, TypeError),                   # None where an array is needed
    ([X], None, None, TypeError),
    ([X], [Y], ["h"], TypeError),
    ([X, None], [Y, Y], None, TypeError),           # objects
    ([[X], [X, X]], [Y], None, (TypeError, ValueError)),  # ragged
    (np.array([1 + 2j]), [Y], None, TypeError),     # complex
    (np.array([True]), [Y], None, TypeError),
])
def test_bad_input_raises(a, b, c, error):
    with pytest.raises(error):
        GK.transform(a, b, c)


@pytest.mark.parametrize("threads,ok", [(0, False), (1, True), (1024, True), (1025, False),
                                        (-1, False)])
def test_threads_limits(threads, ok):
    if ok:
        assert GK.transform([X], [Y], threads=threads)[0][0] == GK.transform([X], [Y])[0][0]
    else:
        with pytest.raises(ValueError, match="threads"):
            GK.transform([X], [Y], threads=threads)


def test_errors_argument():
    with pytest.raises(ValueError, match="errors"):
        GK.transform([X], [Y], errors="ignore")


# Non-finite numbers and the input checks of the text, at their edges.
GEOD = kelvadra.Transformer("geod:wgs84", "geod:sk42")
SAME = kelvadra.Transformer("geod:wgs84", "geod:wgs84:deg")
REASONS = [
    (GK, (np.nan, Y, H), "неверная запись координат"),
    (GK, (X, np.inf, H), "неверная запись координат"),
    (GK, (X, Y, -np.inf), "неверная запись координат"),
    (SAME, (55.0, 37.0, 1e7), ""),
    (SAME, (55.0, 37.0, -1.0000001e7), "высота или координата дальше 10 000 км"),
    (GK, (X, Y, 1.0000001e7), "высота или координата дальше 10 000 км"),
    (GK, (X, 7999999.999, H), "точка дальше 6° от осевого меридиана зоны"),
    (GK, (X, 8000000.0, H), "номер зоны в ординате не совпадает с зоной 7"),
    (GK, (X, 6999999.999, H), "номер зоны в ординате не совпадает с зоной 7"),
    (GEOD, (90.0, 37.0, 0.0), ""),
    (GEOD, (90.000001, 37.0, 0.0), "широта больше 90°"),
    (GEOD, (-90.000001, 37.0, 0.0), "широта больше 90°"),
    (GEOD, (55.0, 1e300, 0.0), ""),
]


@pytest.mark.parametrize("t,point,reason", REASONS)
def test_reasons_at_the_edges(t, point, reason):
    out = t.transform(*[[v] for v in point])
    assert t.reasons(*[[v] for v in point])[0] == reason
    assert np.isnan([o[0] for o in out]).all() == bool(reason)


def test_errors_raise_names_the_first_failed_index():
    a = np.full((3, 4), X)
    a[1, 2] = a[2, 0] = np.nan
    with pytest.raises(kelvadra.ConversionError) as raised:
        GK.transform(a, Y, errors="raise")
    assert raised.value.index == (1, 2)
    assert raised.value.reason == "неверная запись координат"
    assert "(1, 2)" in str(raised.value) and isinstance(raised.value, ValueError)
    b = np.full(20000, Y)
    b[15000] = 9e6
    for threads in (1, 3):
        with pytest.raises(kelvadra.ConversionError) as raised:
            GK.transform(np.full(20000, X), b, errors="raise", threads=threads)
        assert raised.value.index == 15000
    assert not np.isnan(GK.transform([X], [Y], errors="raise")[0]).any()


def test_threads_bit_identical_and_pickle_rebuilds():
    rng = np.random.default_rng(3)
    n = 50001
    a, b = rng.uniform(5e6, 8e6, n), rng.uniform(6.9e6, 8.1e6, n)
    one = GK.transform(a, b, threads=1)
    copy = pickle.loads(pickle.dumps(GK))
    assert (copy.source, copy.target) == (GK.source, GK.target)
    assert np.isnan(one[0]).any() and not np.isnan(one[0]).all()
    for t, threads in ((GK, 2), (GK, 7), (copy, 3)):
        out = t.transform(a, b, threads=threads)
        for p, q in zip(one, out):
            assert p.tobytes() == q.tobytes()


@pytest.mark.parametrize("n", [131071, 131072])  # either side of 1 MiB a column
def test_results_stay_the_callers_across_calls(n):
    """Large results' memory is reused once they are gone, never while a view lives."""
    first = GK.transform(np.full(n, X), np.full(n, Y), H)
    view = first[1][n // 2:]
    del first
    for shift in (1e3, 2e3, 3e3):
        other = GK.transform(np.full(n, X + shift), np.full(n, Y), H)
        assert not np.shares_memory(other[1], view)
        assert (other[0] > EXPECTED[0]).all()
        del other
    assert (view == EXPECTED[1]).all()
    kept = [GK.transform(np.full(n, X), np.full(n, Y), H) for _ in range(3)]
    for out in kept:
        assert all((column == e).all() for column, e in zip(out, EXPECTED))


def test_fuzz_random_calls():
    """Many random calls: any shape, dtype and value; never a crash, and a
    point is NaN exactly when it has a reason."""
    rng = np.random.default_rng(11)
    forms = ["gk:sk42:7", "geod:wgs84", "utm:37n", "geoc:wgs84", "gk:gsk2011:auto",
             "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566"]
    specials = np.array([np.nan, np.inf, -np.inf, 0.0, -0.0, 1e308, -1e308, 5e-324, 90.0,
                         7e6, 6.5e6, 1e7, -1e7])
    for _ in range(300):
        t = kelvadra.Transformer(*rng.choice(forms, 2))
        shape = tuple(rng.integers(0, 5, rng.integers(0, 3)))
        columns = []
        for scale in (rng.choice([1e2, 1e6, 1e7]), rng.choice([1e2, 1e6, 1e7]), 1e4):
            v = rng.normal(0, scale, shape)
            mask = rng.random(shape) < 0.2
            v = np.where(mask, rng.choice(specials, shape), v)
            columns.append(v.astype(rng.choice([np.float64, np.float32, np.int64]))
                           if not mask.any() else v)
        out = t.transform(*columns, threads=int(rng.integers(1, 4)))
        why = t.reasons(*columns)
        failed = np.vectorize(bool)(why) if why.size else np.zeros(shape, bool)
        for column in out:
            assert column.shape == shape
            assert np.array_equal(np.isnan(column), failed)
