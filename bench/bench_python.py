#!/usr/bin/env python3
"""kelvadra's Python module against pyproj on the same points and parameters.

pyproj's pipelines are built from kelvadra's own --show-proj definitions, so
both sides use one datum shift. The runs are interleaved round by round, and
the median round is reported, per point: wall time, and the calling thread's
processor time (what a machine shared with other work still measures fairly).

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [--points N]
"""
import argparse
import os
import re
import statistics
import time

import numpy as np
import pyproj

import kelvadra

WGS84 = "+proj=longlat +datum=WGS84 +no_defs +type=crs"


def geodetic_of(definition):
    """The geodetic system of a projected definition: its ellipsoid and shift."""
    kept = [p for p in definition.split() if re.match(r"\+(ellps|towgs84|a|rf|b)=", p)]
    return " ".join(["+proj=longlat"] + kept + ["+no_defs", "+type=crs"])


def cases(n):
    rng = np.random.default_rng(1)
    lat, lon = rng.uniform(50, 60, n), rng.uniform(36, 42, n)
    h = rng.uniform(0, 300, n)
    gk = kelvadra.Transformer("geod:sk42", "gk:sk42:7").transform(lat, lon, h)
    gk_definition = kelvadra.show_proj("gk:sk42:7")
    sk42 = geodetic_of(gk_definition)
    # name, kelvadra transformer, its inputs, pyproj transformer, its inputs (x, y, z)
    return [
        ("geod SK-42 -> geod WGS 84", kelvadra.Transformer("geod:sk42", "geod:wgs84"),
         (lat, lon, h), pyproj.Transformer.from_crs(sk42, WGS84, always_xy=True), (lon, lat, h)),
        ("GK zone 7 -> geod WGS 84", kelvadra.Transformer("gk:sk42:7", "geod:wgs84"), gk,
         pyproj.Transformer.from_crs(gk_definition + " +type=crs", WGS84, always_xy=True),
         (gk[1], gk[0], gk[2])),
    ]


def timed(call, rounds, clock=time.perf_counter):
    start = clock()
    for _ in range(rounds):
        call()
    return (clock() - start) / rounds


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--points", type=int, default=1_000_000)
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    n = args.points
    # Two threads can only be twice as quick on cores nothing else uses.
    print(f"{n} points, {args.rounds} interleaved rounds, median per point; "
          f"pyproj {pyproj.__version__}, PROJ {pyproj.proj_version_str}; "
          f"load average {os.getloadavg()[0]:.2f} on {os.cpu_count()} cores")
    print(f"{'case':28} {'kelvadra 1':>11} {'kelvadra 2':>11} {'pyproj':>9} "
          f"{'x1':>6} {'x2':>6} {'2/1':>5} {'cpu k1':>9} {'cpu pyproj':>10} {'x cpu':>6} "
          f"{'max diff':>10} {'10 points':>10}")
    for name, ours, inputs, theirs, their_inputs in cases(n):
        runs = {"k1": [], "k2": [], "p": [], "ck": [], "cp": []}
        for _ in range(args.rounds):
            runs["k1"].append(timed(lambda: ours.transform(*inputs), 1))
            runs["k2"].append(timed(lambda: ours.transform(*inputs, threads=2), 1))
            runs["p"].append(timed(lambda: theirs.transform(*their_inputs), 1))
            runs["ck"].append(timed(lambda: ours.transform(*inputs), 1, time.thread_time))
            runs["cp"].append(timed(lambda: theirs.transform(*their_inputs), 1, time.thread_time))
        per = {k: statistics.median(v) / n * 1e9 for k, v in runs.items()}
        lat, lon, _ = ours.transform(*inputs)
        plon, plat, _ = theirs.transform(*their_inputs)
        diff = max(np.nanmax(np.abs(lat - plat)), np.nanmax(np.abs(lon - plon))) * 111e3
        small = [np.ascontiguousarray(c[:10]) for c in inputs]
        call = statistics.median(timed(lambda: ours.transform(*small), 2000) for _ in range(5))
        print(f"{name:28} {per['k1']:8.1f} ns {per['k2']:8.1f} ns {per['p']:6.1f} ns "
              f"{per['p'] / per['k1']:6.2f} {per['p'] / per['k2']:6.2f} {per['k1'] / per['k2']:5.2f} "
              f"{per['ck']:6.1f} ns {per['cp']:7.1f} ns {per['cp'] / per['ck']:6.2f} {diff:8.4f} m "
              f"{call * 1e6:7.2f} us")


if __name__ == "__main__":
    main()
