"""A layer's points as the surveyor's coordinates: arrays in a written form's
order, taken from the point geometry or from three fields."""

import math
import re

import numpy
from qgis.core import QgsFeatureRequest, QgsWkbTypes
from qgis.PyQt.QtCore import QVariant

from . import engine

# A number as a points file writes it, with "." or the Russian ",".
_NUMBER = re.compile(r"[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d+)?")


def number(value):
    """(float, "") or (None, reason): a field's value as a coordinate."""
    if value is None or (isinstance(value, QVariant) and value.isNull()):
        return None, "пусто"
    if isinstance(value, bool):
        return None, "не число «%s»" % value
    if isinstance(value, (int, float)):
        result = float(value)
    else:
        text = str(value).strip()
        if not _NUMBER.fullmatch(text):
            return None, "не число «%s»" % text[:40]
        result = float(text.replace(",", "."))
    if not math.isfinite(result):
        return None, "не число «%s»" % value
    return result, ""


class Points:
    """a, b, c: float64 arrays in the form's order, NaN where a feature gave no
    point; failures: index → why; heights: some height was given;
    features: the features read, in order."""

    def __init__(self):
        self.a = self.b = self.c = None
        self.failures = {}
        self.heights = False
        self.features = []


def _geometry_point(geometry):
    """(x, y, z) of a point geometry (z NaN when it has none), or a reason."""
    if geometry.isNull() or geometry.isEmpty():
        return "нет геометрии"
    flat = QgsWkbTypes.flatType(geometry.wkbType())
    point = geometry.constGet()
    if flat == QgsWkbTypes.MultiPoint:
        if point.numGeometries() != 1:
            return "составная геометрия из %d точек" % point.numGeometries()
        point = point.geometryN(0)
    elif flat != QgsWkbTypes.Point:
        return "геометрия не точка"
    return point.x(), point.y(), point.z()


def read(source, form, x_field=None, y_field=None, z_field=None, feedback=None):
    """Every feature of `source` (a QgsFeatureSource), its coordinates in
    `form`'s order: X_FIELD, Y_FIELD, Z_FIELD when given (the first, second
    and third coordinate as written), else the geometry in QGIS's axes.
    None when cancelled."""
    fields = source.fields()
    index = {name: fields.lookupField(name) for name in (x_field, y_field, z_field) if name}
    request = QgsFeatureRequest()
    if x_field:
        request.setFlags(QgsFeatureRequest.NoGeometry)
    total = source.featureCount()
    # Geometry x, y, z (or the fields' first, second, third coordinate).
    columns = ([], [], [])
    result = Points()
    nan = float("nan")
    for i, feature in enumerate(source.getFeatures(request)):
        if i % 5000 == 0 and feedback is not None:
            if feedback.isCanceled():
                return None
            if total > 0:
                feedback.setProgress(40.0 * i / total)
        result.features.append(feature)
        if x_field:
            point = _fields_point(feature, (x_field, y_field, z_field), index, result, i)
        else:
            # The common case first, one call a coordinate: 100 000 points are
            # read in well under a second.
            p = feature.geometry().constGet()
            try:
                point = (p.x(), p.y(), p.z())
            except AttributeError:
                point = _geometry_point(feature.geometry())
                if isinstance(point, str):
                    result.failures[i] = point
                    point = (nan, nan, nan)
            if z_field:
                z, why = number(feature.attribute(index[z_field]))
                if why and i not in result.failures:
                    result.failures[i] = "поле «%s»: %s" % (z_field, why)
                point = (point[0], point[1], nan if z is None else z)
        for column, value in zip(columns, point):
            column.append(value)
    given = [numpy.array(c, dtype=numpy.float64) for c in columns]
    failed = numpy.fromiter(result.failures, dtype=numpy.int64, count=len(result.failures))
    for column in given:
        column[failed] = nan
    if not x_field:
        given = list(engine.written_from_geometry(form, *given))
    # A point without a height (2D, an empty height field) is at height 0.
    heights = ~numpy.isnan(given[2])
    heights[failed] = False
    result.heights = bool(heights.any())
    given[2][~heights] = 0.0
    given[2][failed] = nan
    result.a, result.b, result.c = given
    return result


def _fields_point(feature, names, index, result, i):
    """The three fields' numbers; a failure is recorded under the first field
    that does not read."""
    values = []
    for name in names:
        if not name:
            values.append(float("nan"))
            continue
        value, why = number(feature.attribute(index[name]))
        if why and i not in result.failures:
            result.failures[i] = "поле «%s»: %s" % (name, why)
        values.append(float("nan") if value is None else value)
    return tuple(values)
