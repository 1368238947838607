"""Times kelvadra:convertpoints on 100 000 points inside QGIS (offscreen):
SK-42 zone 7 into WGS 84, into a memory layer and into a GeoPackage,
beside QGIS's native:reprojectlayer on the same layer.

    PYTHONPATH=build/python /usr/bin/python3 qgis/bench/convert_points.py [count]
"""

import os
import random
import sys
import tempfile
import time

HOME = tempfile.mkdtemp(prefix="kelvadra-qgis-bench-")
os.environ.update(QGIS_CUSTOM_CONFIG_PATH=os.path.join(HOME, "qgis"),
                  XDG_CONFIG_HOME=os.path.join(HOME, "config"), QT_QPA_PLATFORM="offscreen")
sys.path[:0] = [os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir),
                "/usr/share/qgis/python/plugins"]

from qgis.core import (QgsApplication, QgsFeature, QgsGeometry, QgsPoint,  # noqa: E402
                       QgsVectorLayer)


def layer(count):
    points = QgsVectorLayer("PointZ?crs=EPSG:28407&field=name:string", "points", "memory")
    random.seed(1)
    features = []
    for i in range(count):
        feature = QgsFeature(points.fields())
        feature.setAttributes(["P%d" % i])
        feature.setGeometry(QgsGeometry(QgsPoint(7300000 + random.uniform(0, 200000),
                                                 6000000 + random.uniform(0, 200000),
                                                 random.uniform(100, 200))))
        features.append(feature)
    points.dataProvider().addFeatures(features)
    return points


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
    app = QgsApplication([], False)
    QgsApplication.setPrefixPath("/usr", True)
    app.initQgis()
    from processing.core.Processing import Processing

    Processing.initialize()
    import kelvadra_gost
    import processing

    plugin = kelvadra_gost.classFactory(None)
    plugin.initProcessing()
    points = layer(count)
    # QGIS's own reprojection of the same layer, interleaved, as the scale of
    # what a machine this loaded does with 100 000 features.
    runs = [("kelvadra:convertpoints", {"SOURCE": "gk:sk42:7", "TARGET": "geod:wgs84"}),
            ("native:reprojectlayer", {"TARGET_CRS": "EPSG:4326"})]
    for output in ("TEMPORARY_OUTPUT", os.path.join(HOME, "out.gpkg")):
        for algorithm, parameters in runs:
            start = time.perf_counter()
            processing.run(algorithm, dict(parameters, INPUT=points, OUTPUT=output))
            seconds = time.perf_counter() - start
            print("%d points into %s, %s: %.2f s" % (
                count, "memory" if output == "TEMPORARY_OUTPUT" else "GeoPackage", algorithm,
                seconds))
            if output != "TEMPORARY_OUTPUT":
                os.remove(output)
    app.exitQgis()


if __name__ == "__main__":
    main()
