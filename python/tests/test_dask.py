"""Arrays past one machine's memory: dask blocks through a Transformer, on
threads and on a cluster of processes (which gets the Transformer pickled)."""
import numpy as np
import pytest

import kelvadra

da = pytest.importorskip("dask.array")
distributed = pytest.importorskip("distributed")


def converted(t, x, y, h):
    """The three results of a Transformer over dask arrays, one block at a time."""
    def block(xb, yb, hb):
        return np.stack(t.transform(xb, yb, hb))
    return da.map_blocks(block, x, y, h, new_axis=0, chunks=((3,),) + x.chunks, dtype=float)


def points(n=200_000, chunk=30_000):
    rng = np.random.default_rng(2)
    columns = [rng.uniform(5.5e6, 7.5e6, n), rng.uniform(7.1e6, 7.9e6, n),
               rng.uniform(0, 500, n)]
    columns[1][::1000] = 9e6  # failures travel as NaN
    return columns, [da.from_array(c, chunks=chunk) for c in columns]


def test_map_blocks_equals_one_call():
    t = kelvadra.Transformer("gk:sk42:7", "geod:wgs84")
    columns, arrays = points()
    result = converted(t, *arrays).compute(scheduler="threads")
    whole = np.stack(t.transform(*columns))
    assert result.tobytes() == whole.tobytes()
    assert np.isnan(result[:, ::1000]).all()


def test_local_cluster_of_processes():
    t = kelvadra.Transformer("gk:sk42:7", "geod:wgs84")
    columns, arrays = points()
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        result = client.compute(converted(t, *arrays)).result()
        pids = set(client.run(lambda: __import__("os").getpid()).values())
    assert len(pids) == 2
    assert result.tobytes() == np.stack(t.transform(*columns)).tobytes()
