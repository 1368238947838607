"""kelvadra:convertpoints — a layer's points from one system into another."""

import gc
import os
import struct

import numpy
from qgis.core import (QgsFeatureSink, QgsField, QgsFields, QgsGeometry, QgsProcessing,
                       QgsProcessingException, QgsProcessingOutputNumber, QgsProcessingOutputString,
                       QgsProcessingParameterEnum, QgsProcessingParameterFeatureSink,
                       QgsProcessingParameterFeatureSource, QgsProcessingParameterField,
                       QgsProcessingUtils, QgsWkbTypes)
from qgis.PyQt.QtCore import QVariant

from . import crs, engine, points, texts
from .common import Algorithm, kv, refuse_overwrite, system_parameter

GEOID_CHOICES = ["нет", "у исходной системы", "у целевой системы", "у обеих систем"]

# Failures listed one by one in the log; the rest are counted.
LISTED_FAILURES = 20


class ConvertPoints(Algorithm):
    INPUT = "INPUT"
    X_FIELD = "X_FIELD"
    Y_FIELD = "Y_FIELD"
    Z_FIELD = "Z_FIELD"
    SOURCE = "SOURCE"
    TARGET = "TARGET"
    GEOID = "GEOID"
    OUTPUT = "OUTPUT"

    def name(self):
        return "convertpoints"

    def displayName(self):
        return "Пересчёт координат (ГОСТ 32453-2017)"

    def shortHelpString(self):
        return (
            "<p>Пересчитывает точки слоя из системы SOURCE в систему TARGET по ГОСТ 32453-2017 "
            "(через ПЗ-90.11), как «Вычислить &gt;&gt;&gt;» программы coordconv и "
            "kelvadra-convert.</p>"
            "<p><b>Системы</b> записываются как в kelvadra-convert: <code>geod:wgs84</code>, "
            "<code>geoc:pz90.11</code>, <code>gk:sk42:7</code>, <code>gk:gsk2011:auto</code>, "
            "<code>utm:37n</code>, <code>tm:sk42:lon0=…,lat0=…,k=…,fe=…,fn=…</code>, "
            "<code>msk:ИМЯ</code> (местная система, в том числе с ключами), "
            "<code>proj:+proj=tmerc …</code>; <code>+egm96</code> — высоты над геоидом "
            "(или «Высоты над геоидом EGM96»).</p>"
            "<p><b>Координаты</b> берутся из геометрии точки (x — восток или долгота, y — север "
            "или широта, z — высота) либо из полей X_FIELD, Y_FIELD, Z_FIELD — первой, второй и "
            "третьей координаты в порядке геодезиста: X (север), Y (восток), H в плоской "
            "системе; широта, долгота, высота в геодезической; восток, север в UTM.</p>"
            "<p><b>Результат</b> — все поля входного слоя и поля <code>x</code>, <code>y</code>, "
            "<code>h</code> в порядке системы TARGET, <code>status</code> — причина, по которой "
            "точка не пересчитана (пусто у пересчитанных). Система координат слоя — TARGET, "
            "если QGIS её выражает (WGS 84 — EPSG:4326, плоские — со сдвигом датума по "
            "ГОСТ 32453-2017); у местной системы с ключами геометрия лежит в её основе без "
            "ключей, об этом сказано в метаданных слоя, а истинные координаты — в полях.</p>"
            "<p>Входной слой не изменяется.</p>")

    def initAlgorithm(self, config=None):
        self.addParameter(QgsProcessingParameterFeatureSource(
            self.INPUT, "Точки (слой или таблица)",
            [QgsProcessing.TypeVectorPoint, QgsProcessing.TypeVector]))
        for name, caption in ((self.X_FIELD, "Поле первой координаты (X, широта)"),
                              (self.Y_FIELD, "Поле второй координаты (Y, долгота)"),
                              (self.Z_FIELD, "Поле третьей координаты (H, высота)")):
            self.addParameter(QgsProcessingParameterField(
                name, caption, None, self.INPUT, QgsProcessingParameterField.Any,
                optional=True))
        self.addParameter(system_parameter(self.SOURCE, "Исходная система (SOURCE)"))
        self.addParameter(system_parameter(self.TARGET, "Целевая система (TARGET)"))
        self.addParameter(QgsProcessingParameterEnum(
            self.GEOID, "Высоты над геоидом EGM96", GEOID_CHOICES, defaultValue=0))
        self.addParameter(QgsProcessingParameterFeatureSink(
            self.OUTPUT, "Пересчитанные точки", QgsProcessing.TypeVectorPoint))
        self.addOutput(QgsProcessingOutputNumber("CONVERTED", "Пересчитано точек"))
        self.addOutput(QgsProcessingOutputNumber("FAILED", "Не пересчитано точек"))
        self.addOutput(QgsProcessingOutputString("CRS_NOTE", "Система координат слоя"))

    def _forms(self, parameters, context):
        geoid = self.parameterAsEnum(parameters, self.GEOID, context)
        source = engine.with_geoid(self.parameterAsString(parameters, self.SOURCE, context),
                                   geoid in (1, 3))
        target = engine.with_geoid(self.parameterAsString(parameters, self.TARGET, context),
                                   geoid in (2, 3))
        return source, target

    def _transformer(self, source, target):
        try:
            return kv().Transformer(source, target, systems=engine.systems_path())
        except ValueError as error:
            raise QgsProcessingException(
                "пересчёт из «%s» в «%s» невозможен: %s" % (source, target, error)) from None

    def _fields(self, parameters, context, source):
        x, y, z = (self.parameterAsFields(parameters, name, context)
                   for name in (self.X_FIELD, self.Y_FIELD, self.Z_FIELD))
        x, y, z = (f[0] if f else None for f in (x, y, z))
        if bool(x) != bool(y):
            raise QgsProcessingException(
                "укажите оба поля X_FIELD и Y_FIELD (или ни одного, чтобы взять геометрию)")
        if not x and QgsWkbTypes.geometryType(source.wkbType()) != QgsWkbTypes.PointGeometry:
            raise QgsProcessingException(
                "у слоя нет точечной геометрии: укажите поля X_FIELD и Y_FIELD")
        return x, y, z

    def checkParameterValues(self, parameters, context):
        ok, message = super().checkParameterValues(parameters, context)
        if not ok:
            return ok, message
        try:
            self._transformer(*self._forms(parameters, context))
            source = self.parameterAsSource(parameters, self.INPUT, context)
            if source is not None:
                self._fields(parameters, context, source)
        except QgsProcessingException as error:
            return False, str(error)
        return True, ""

    def processAlgorithm(self, parameters, context, feedback):
        source = self.parameterAsSource(parameters, self.INPUT, context)
        if source is None:
            raise QgsProcessingException(self.invalidSourceError(parameters, self.INPUT))
        source_form, target_form = self._forms(parameters, context)
        transformer = self._transformer(source_form, target_form)
        x_field, y_field, z_field = self._fields(parameters, context, source)
        layer = self.parameterAsVectorLayer(parameters, self.INPUT, context)
        refuse_overwrite([layer.source() if layer else parameters.get(self.INPUT)],
                         [("OUTPUT", self.parameterAsOutputLayer(parameters, self.OUTPUT,
                                                                 context))])

        target = crs.for_form(target_form)
        if target.note:
            feedback.pushWarning(target.note)
        # Python's cycle collector would walk the growing list of features
        # again and again; features hold no cycles.
        collecting = gc.isenabled()
        gc.disable()
        try:
            return self._run(parameters, context, feedback, source, transformer, target,
                             (source_form, x_field, y_field, z_field))
        finally:
            if collecting:
                gc.enable()

    def _run(self, parameters, context, feedback, source, transformer, target, how):
        source_form = how[0]
        read = points.read(source, *how, feedback=feedback)
        if read is None:
            return {}
        results, geometry = self._convert(transformer, source_form, target, read)
        status = self._status(transformer, read, results)
        feedback.setProgress(70)

        fields = QgsProcessingUtils.combineFields(source.fields(), _result_fields())
        sink, dest = self.parameterAsSink(parameters, self.OUTPUT, context, fields,
                                          QgsWkbTypes.PointZ, target.crs)
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, self.OUTPUT))
        self._write(sink, read, results, geometry, status, feedback)

        failed = sum(1 for s in status if s)
        total = len(status)
        feedback.pushInfo("Пересчитано %s" % texts.of_points(total - failed, total))
        for i, reason in [(i, s) for i, s in enumerate(status) if s][:LISTED_FAILURES]:
            feedback.pushWarning("объект %d: %s" % (read.features[i].id(), reason))
        if failed > LISTED_FAILURES:
            feedback.pushWarning("… и ещё %d" % (failed - LISTED_FAILURES))

        self._note = target.note
        self._dest = dest
        self._results = {self.OUTPUT: dest, "CONVERTED": total - failed, "FAILED": failed,
                         "CRS_NOTE": target.note or target.crs.description()}
        if target.note and context.willLoadLayerOnCompletion(dest):
            context.layerToLoadOnCompletionDetails(dest).setPostProcessor(
                texts.NoteOnLoad(self.displayName(), target.note))
        return dict(self._results)

    def postProcessAlgorithm(self, context, feedback):
        results = getattr(self, "_results", {})
        if results and self._note:
            layer = QgsProcessingUtils.mapLayerFromString(self._dest, context)
            if layer is not None:
                texts.set_note(layer, self.displayName(), self._note)
        return dict(results)

    @staticmethod
    def _convert(transformer, source_form, target, read):
        """The target's coordinates, and those the geometry takes (the base's
        when the target has keys) in QGIS's axes."""
        threads = max(1, min(os.cpu_count() or 1, 8))
        results = transformer.transform(read.a, read.b, read.c, threads=threads)
        if target.geometry_form == transformer.target:
            placed = results
        else:
            base = kv().Transformer(source_form, target.geometry_form,
                                    systems=engine.systems_path())
            placed = base.transform(read.a, read.b, read.c, threads=threads)
            placed = (placed[0], placed[1], results[2])
        return results, engine.geometry_from_written(target.geometry_form, *placed)

    @staticmethod
    def _status(transformer, read, results):
        """Why each point failed, "" where it converted."""
        status = [""] * len(read.a)
        for i, reason in read.failures.items():
            status[i] = reason
        failed = numpy.flatnonzero(numpy.isnan(results[0]))
        fresh = [i for i in failed if i not in read.failures]
        if fresh:
            reasons = transformer.reasons(read.a[fresh], read.b[fresh], read.c[fresh])
            for i, reason in zip(fresh, reasons):
                status[i] = reason or "не пересчитана"
        return status

    @staticmethod
    def _write(sink, read, results, geometry, status, feedback):
        """The read features themselves (copies, the input is not touched)
        with the results appended, added in batches."""
        columns = [r.tolist() for r in results]
        placed = iter(points_of(*geometry, numpy.array([not s for s in status], dtype=bool)))
        batch = []
        for i, feature in enumerate(read.features):
            attributes = feature.attributes()
            if status[i]:
                attributes.extend((None, None, None, status[i]))
                feature.clearGeometry()
            else:
                attributes.extend((columns[0][i], columns[1][i], columns[2][i], ""))
                feature.setGeometry(next(placed))
            feature.setAttributes(attributes)
            batch.append(feature)
            if len(batch) == 10000:
                _add(sink, batch)
                batch = []
                if feedback.isCanceled():
                    return
                feedback.setProgress(70 + 30.0 * i / len(read.features))
        _add(sink, batch)


def points_of(x, y, z, wanted):
    """QgsGeometry points of the wanted entries, made by QGIS in one go: one
    multipoint read from WKB and split, three times faster than a point at a
    time."""
    count = int(numpy.count_nonzero(wanted))
    record = numpy.zeros(count, dtype=[("order", "u1"), ("type", "<u4"), ("x", "<f8"),
                                       ("y", "<f8"), ("z", "<f8")])
    record["order"] = 1
    record["type"] = 1001  # ISO WKB PointZ
    record["x"], record["y"], record["z"] = x[wanted], y[wanted], z[wanted]
    multipoint = QgsGeometry()
    multipoint.fromWkb(struct.pack("<BII", 1, 1004, count) + record.tobytes())
    return multipoint.asGeometryCollection() if count else []


def _add(sink, features):
    if features and not sink.addFeatures(features, QgsFeatureSink.FastInsert):
        raise QgsProcessingException("не удалось записать точки: " + sink.lastError())


def _result_fields():
    fields = QgsFields()
    for name in ("x", "y", "h"):
        fields.append(QgsField(name, QVariant.Double, "double", 20, 9))
    fields.append(QgsField("status", QVariant.String, "string", 254))
    return fields
