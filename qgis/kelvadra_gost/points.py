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
    """(x, y, z or None) of a point geometry, or a reason."""
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
    return point.x(), point.y(), point.z() if point.is3D() else None


def read(source, form, x_field=None, y_field=None, z_field=None, feedback=None):
    """Every feature of `source` (a QgsFeatureSource), its coordinates in
    `form`'s order: X_FIELD, Y_FIELD, Z_FIELD when given (the first, second
    and third coordinate as written), else the geometry in QGIS's axes."""
    fields = source.fields()
    index = {name: fields.lookupField(name) for name in (x_field, y_field, z_field) if name}
    request = QgsFeatureRequest()
    if x_field:
        request.setFlags(QgsFeatureRequest.NoGeometry)
    total = source.featureCount()
    a, b, c = [], [], []
    result = Points()
    nan = float("nan")
    for i, feature in enumerate(source.getFeatures(request)):
        if feedback is not None and i % 5000 == 0:
            if feedback.isCanceled():
                return None
            if total > 0:
                feedback.setProgress(40.0 * i / total)
        result.features.append(feature)
        reason = ""
        if x_field:
            values = []
            for name in (x_field, y_field, z_field):
                if not name:
                    values.append(None)
                    continue
                value, why = number(feature.attribute(index[name]))
                if why and not reason:
                    reason = "поле «%s»: %s" % (name, why)
                values.append(value)
            point = tuple(values)
        else:
            got = _geometry_point(feature.geometry())
            if isinstance(got, str):
                reason, point = got, (None, None, None)
            else:
                x, y, z = got
                if z_field:
                    z, why = number(feature.attribute(index[z_field]))
                    if why:
                        reason = "поле «%s»: %s" % (z_field, why)
                point = engine.written_from_geometry(form, x, y, z)
        if reason:
            result.failures[i] = reason
            point = (nan, nan, nan)
        elif point[2] is not None:
            result.heights = True
        a.append(point[0])
        b.append(point[1])
        c.append(0.0 if point[2] is None else point[2])
    result.a = numpy.array(a, dtype=numpy.float64)
    result.b = numpy.array(b, dtype=numpy.float64)
    result.c = numpy.array(c, dtype=numpy.float64)
    return result
