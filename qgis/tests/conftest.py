"""QGIS offscreen with a throw-away profile and settings, the plugin loaded as
QGIS loads it, and the converter as the reference for every number.

KELVADRA_BIN names the folder of kelvadra-convert; PYTHONPATH holds the
kelvadra module of the same build.
"""

import os
import re
import subprocess
import sys
import tempfile

import pytest

HOME = tempfile.mkdtemp(prefix="kelvadra-qgis-")
# Before QGIS starts: it reads these once. The user's profile and local
# systems are never touched.
os.environ.update(HOME=HOME, XDG_CONFIG_HOME=os.path.join(HOME, "config"),
                  QGIS_CUSTOM_CONFIG_PATH=os.path.join(HOME, "qgis"),
                  QT_QPA_PLATFORM="offscreen", XDG_RUNTIME_DIR=os.path.join(HOME, "run"))
os.makedirs(os.environ["XDG_RUNTIME_DIR"], mode=0o700)

PLUGINS = os.path.normpath(os.path.join(os.path.dirname(__file__), os.pardir))
sys.path[:0] = [PLUGINS, "/usr/share/qgis/python/plugins"]

from qgis.core import (QgsApplication, QgsFeature, QgsGeometry,  # noqa: E402
                       QgsPoint, QgsVectorFileWriter, QgsVectorLayer)
from qgis.PyQt.QtCore import QVariant  # noqa: E402

CONVERTER = os.path.join(os.environ.get("KELVADRA_BIN", ""), "kelvadra-convert")
SYSTEMS = os.path.join(HOME, "config", "kelvadra", "local-systems.json")

# Common points of the README's example: SK-42 zone 7 (x, y, h) and the local X, Y, H.
A_POINTS = [("Рп1", 6067828.990, 7394318.682, 179.056), ("Рп2", 6071133.843, 7391824.904, 166.019),
            ("Рп3", 6069641.345, 7409190.747, 147.428), ("Т14", 6069140.249, 7412477.612, 142.795),
            ("Т15", 6064596.592, 7393591.429, 158.509), ("Т16", 6068703.156, 7403050.378, 143.767),
            ("Т22", 6074247.200, 7400407.031, 158.849), ("Т23", 6074581.900, 7396370.123, 174.465)]
B_POINTS = [("Рп1", 16677.648, 15108.702, 161.848), ("Рп2", 19982.810, 12615.434, 148.825),
            ("Рп3", 18487.805, 29980.857, 130.216), ("Т14", 17986.226, 33267.595, 125.558),
            ("Т15", 13445.383, 14380.971, 141.285), ("Т16", 17550.506, 23840.417, 126.553),
            ("Т22", 23094.861, 21197.891, 141.641), ("Т23", 23430.184, 17161.061, 157.267)]

LOCAL_SYSTEMS = """[
 {"name": "Район", "base": "tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566"},
 {"name": "Город", "base": "gk:sk42:7",
  "keys": {"similarity": [-6050002.5316, -7380008.2676, 0.999988325274, 0.000145785411]},
  "dh": -23.3588}
]
"""


@pytest.fixture(scope="session", autouse=True)
def qgis():
    app = QgsApplication([], False)
    # QGIS's own names, as its desktop sets them.
    app.setOrganizationName("QGIS")
    app.setApplicationName("QGIS3")
    QgsApplication.setPrefixPath("/usr", True)
    app.initQgis()
    from processing.core.Processing import Processing

    Processing.initialize()
    import kelvadra_gost

    plugin = kelvadra_gost.classFactory(None)
    plugin.initProcessing()
    yield app
    plugin.unload()


@pytest.fixture(autouse=True)
def local_systems():
    """The definitions file of every test: two systems, one with keys."""
    os.makedirs(os.path.dirname(SYSTEMS), exist_ok=True)
    with open(SYSTEMS, "w", encoding="utf-8") as f:
        f.write(LOCAL_SYSTEMS)
    yield SYSTEMS


def run(algorithm, **parameters):
    import processing

    return processing.run("kelvadra:" + algorithm, parameters)


def refusal(algorithm, **parameters):
    """The message of a run that must be refused."""
    from qgis.core import QgsProcessingException

    with pytest.raises(QgsProcessingException) as caught:
        run(algorithm, **parameters)
    return str(caught.value)


def convert(source, target, rows):
    """kelvadra-convert's rows [(name, c1, c2, c3 or None)] and its reasons by name."""
    text = "".join("%s; %r; %r; %r\n" % row for row in rows)
    done = subprocess.run([CONVERTER, "--from", source, "--to", target], input=text,
                          capture_output=True, text=True, check=False)
    assert done.returncode in (0, 1), done.stderr
    out = []
    for line in done.stdout.splitlines():
        fields = [f.strip() for f in line.split(";")]
        out.append((fields[0], *(float(f) if f else None for f in fields[1:])))
    reasons = {}
    for line in done.stderr.splitlines():
        found = re.match(r"kelvadra-convert: [^:]*:(\d+): (.*)$", line)
        if found:
            reasons[rows[int(found.group(1)) - 1][0]] = found.group(2)
    return out, reasons


def memory_layer(rows, crs="EPSG:4326", geometry="PointZ", extra=()):
    """A layer of (name, x, y, z) in QGIS's axes, or a table of fields when
    `geometry` is "None" and the rows are (name, field values...)."""
    fields = "&".join("field=%s:%s" % f for f in (("name", "string"),) + tuple(extra))
    layer = QgsVectorLayer("%s?crs=%s&%s" % (geometry, crs, fields), "points", "memory")
    features = []
    for row in rows:
        feature = QgsFeature(layer.fields())
        if geometry == "None":
            feature.setAttributes(list(row))
        else:
            feature.setAttributes([row[0]] + list(row[4:]))
            if row[1] is not None:
                point = QgsPoint(*row[1:3]) if row[3] is None else QgsPoint(*row[1:4])
                feature.setGeometry(QgsGeometry(point))
        features.append(feature)
    assert layer.dataProvider().addFeatures(features)
    return layer


def geopackage(layer, path):
    options = QgsVectorFileWriter.SaveVectorOptions()
    options.driverName = "GPKG"
    from qgis.core import QgsCoordinateTransformContext

    error = QgsVectorFileWriter.writeAsVectorFormatV3(layer, path, QgsCoordinateTransformContext(),
                                                      options)
    assert error[0] == QgsVectorFileWriter.NoError, error
    return path


def features(layer):
    """{name: (attributes as a dict, geometry point or None)}."""
    if isinstance(layer, str):
        layer = QgsVectorLayer(layer, "result", "ogr")
    out = {}
    for feature in layer.getFeatures():
        geometry = feature.geometry()
        point = None if geometry.isNull() else geometry.constGet()
        out[feature["name"]] = (dict(zip(layer.fields().names(), feature.attributes())),
                                None if point is None else (point.x(), point.y(), point.z()))
    return out


def null(value):
    return value is None or (isinstance(value, QVariant) and value.isNull())
