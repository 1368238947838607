"""kelvadra:fitkeys — the keys of a local system from points known in both."""

import html
import math

import numpy
from qgis.core import (QgsFeature, QgsFeatureSink, QgsField, QgsFields, QgsGeometry,
                       QgsPoint, QgsProcessing, QgsProcessingException,
                       QgsProcessingOutputNumber, QgsProcessingOutputString,
                       QgsProcessingParameterEnum, QgsProcessingParameterFeatureSink,
                       QgsProcessingParameterFeatureSource, QgsProcessingParameterField,
                       QgsProcessingParameterFileDestination, QgsProcessingParameterString,
                       QgsProcessingParameterDefinition, QgsWkbTypes)
from qgis.PyQt.QtCore import QByteArray, QSaveFile, QVariant

from . import crs, engine, points
from .common import Algorithm, kv, refuse_overwrite, system_parameter

MODELS = [("similarity", "подобие: сдвиг, поворот, масштаб (similarity)"),
          ("affine", "аффинное преобразование, 6 параметров (affine)")]
HEIGHTS = [("none", "без высот (none)"), ("shift", "сдвиг высот (shift)"),
           ("plane", "наклонная плоскость (plane)")]


class FitKeys(Algorithm):
    A = "A"
    B = "B"
    NAME_FIELD_A = "NAME_FIELD_A"
    NAME_FIELD_B = "NAME_FIELD_B"
    BASE = "BASE"
    MODEL = "MODEL"
    HEIGHT = "HEIGHT"
    SAVE_AS = "SAVE_AS"
    REPORT = "REPORT"
    RESIDUALS = "RESIDUALS"
    COORDINATE_FIELDS = ("X_FIELD_A", "Y_FIELD_A", "Z_FIELD_A",
                         "X_FIELD_B", "Y_FIELD_B", "Z_FIELD_B")

    def name(self):
        return "fitkeys"

    def displayName(self):
        return "Ключи по общим точкам"

    def shortHelpString(self):
        return (
            "<p>Находит ключи местной системы по общим точкам, известным в двух системах, "
            "как kelvadra-convert --fit и окно «Ключи по общим точкам» программы coordconv.</p>"
            "<p><b>A</b> — точки в системе BASE (gk: с номером зоны, utm:, tm:), "
            "<b>B</b> — те же точки в местной системе (X — север, Y — восток, H). Точки "
            "сопоставляются по именам из полей NAME_FIELD_A и NAME_FIELD_B; координаты — из "
            "геометрии или из полей X_FIELD_…, Y_FIELD_…, Z_FIELD_… (в порядке системы).</p>"
            "<p><b>MODEL</b>: подобие (4 параметра, не меньше 2 точек) или аффинное "
            "(6 параметров, не меньше 3 точек). <b>HEIGHT</b>: без высот, сдвиг или наклонная "
            "плоскость (не меньше 3 точек).</p>"
            "<p><b>REPORT</b> — отчёт (HTML или текст по расширению): параметры, остатки, СКО, "
            "подозрительные точки («!»: остаток без этой точки больше 3·√2·σ). "
            "<b>RESIDUALS</b> — слой общих точек с полями vX, vY, vH, vXY и flag. "
            "<b>SAVE_AS</b> — имя, под которым ключи сохраняются местной системой: она сразу "
            "доступна как msk:ИМЯ; занятое имя отклоняется, файл местных систем "
            "записывается целиком или не изменяется.</p>")

    def initAlgorithm(self, config=None):
        for layer, field, caption in ((self.A, self.NAME_FIELD_A, "Точки A (в системе BASE)"),
                                      (self.B, self.NAME_FIELD_B, "Точки B (местная система)")):
            self.addParameter(QgsProcessingParameterFeatureSource(
                layer, caption, [QgsProcessing.TypeVectorPoint, QgsProcessing.TypeVector]))
            self.addParameter(QgsProcessingParameterField(
                field, "Поле имён слоя %s" % layer, None, layer))
        self.addParameter(system_parameter(self.BASE, "Система точек A (BASE)", "gk:sk42:7"))
        self.addParameter(QgsProcessingParameterEnum(
            self.MODEL, "Модель ключей", [c for _, c in MODELS], defaultValue=0))
        self.addParameter(QgsProcessingParameterEnum(
            self.HEIGHT, "Высоты", [c for _, c in HEIGHTS], defaultValue=0))
        self.addParameter(QgsProcessingParameterString(
            self.SAVE_AS, "Сохранить как местную систему", None, False, True))
        for name in self.COORDINATE_FIELDS:
            axis, layer = name[0], name[-1]
            parameter = QgsProcessingParameterField(
                name, "Поле %s слоя %s (вместо геометрии)" % ({"X": "первой координаты",
                                                                 "Y": "второй координаты",
                                                                 "Z": "высоты"}[axis], layer),
                None, layer, QgsProcessingParameterField.Any, optional=True)
            parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
            self.addParameter(parameter)
        self.addParameter(QgsProcessingParameterFileDestination(
            self.REPORT, "Отчёт", "HTML (*.html);;Текст (*.txt)"))
        self.addParameter(QgsProcessingParameterFeatureSink(
            self.RESIDUALS, "Остатки на общих точках", QgsProcessing.TypeVectorPoint))
        self.addOutput(QgsProcessingOutputNumber("SIGMA", "СКО σ, м"))
        self.addOutput(QgsProcessingOutputNumber("SIGMA_H", "СКО высот σH, м"))
        self.addOutput(QgsProcessingOutputNumber("FLAGGED", "Подозрительных точек"))
        self.addOutput(QgsProcessingOutputString("SAVED", "Сохранённая система"))

    def _field(self, parameters, name, context):
        fields = self.parameterAsFields(parameters, name, context)
        return fields[0] if fields else None

    def _layer(self, parameters, context, which, form):
        source = self.parameterAsSource(parameters, which, context)
        if source is None:
            raise QgsProcessingException(self.invalidSourceError(parameters, which))
        x, y, z = (self._field(parameters, "%s_FIELD_%s" % (axis, which), context)
                   for axis in "XYZ")
        if bool(x) != bool(y):
            raise QgsProcessingException(
                "слой %s: укажите оба поля X_FIELD_%s и Y_FIELD_%s или ни одного"
                % (which, which, which))
        if not x and QgsWkbTypes.geometryType(source.wkbType()) != QgsWkbTypes.PointGeometry:
            raise QgsProcessingException(
                "слой %s без точечной геометрии: укажите поля X_FIELD_%s и Y_FIELD_%s"
                % (which, which, which))
        read = points.read(source, form, x, y, z)
        name_field = self._field(parameters, "NAME_FIELD_" + which, context)
        index = source.fields().lookupField(name_field)
        names = []
        for feature in read.features:
            value = feature.attribute(index)
            names.append("" if value is None or (isinstance(value, QVariant) and value.isNull())
                         else str(value).strip())
        return read, names

    def _outputs(self, parameters, context):
        layers = [self.parameterAsVectorLayer(parameters, w, context) for w in (self.A, self.B)]
        refuse_overwrite(
            [l.source() if l else parameters.get(w) for l, w in zip(layers, (self.A, self.B))],
            [("REPORT", self.parameterAsFileOutput(parameters, self.REPORT, context)),
             ("RESIDUALS", self.parameterAsOutputLayer(parameters, self.RESIDUALS, context))])

    def processAlgorithm(self, parameters, context, feedback):
        base = self.parameterAsString(parameters, self.BASE, context).strip()
        model = MODELS[self.parameterAsEnum(parameters, self.MODEL, context)][0]
        height = HEIGHTS[self.parameterAsEnum(parameters, self.HEIGHT, context)][0]
        save_as = self.parameterAsString(parameters, self.SAVE_AS, context).strip()
        self._outputs(parameters, context)

        a, names_a = self._layer(parameters, context, self.A, base)
        b, names_b = self._layer(parameters, context, self.B, "msk:B")
        common, only_a, only_b = match(names_a, names_b)
        for read, names, which in ((a, names_a, "A"), (b, names_b, "B")):
            for i, j in common:
                k = i if which == "A" else j
                if k in read.failures:
                    raise QgsProcessingException(
                        "точка «%s» слоя %s не читается: %s" % (names[k], which,
                                                                read.failures[k]))
        if height != "none":
            for read, which in ((a, "A"), (b, "B")):
                if not read.heights:
                    # Zeros would be fitted as heights without a word.
                    raise QgsProcessingException(
                        "у точек слоя %s нет высот (геометрия без z, поле Z_FIELD_%s не "
                        "указано): выберите «без высот» или укажите высоты" % (which, which))
        ia = [i for i, _ in common]
        ib = [j for _, j in common]
        names = [names_a[i] for i in ia]
        xyz_a = numpy.column_stack([a.a[ia], a.b[ia], a.c[ia]]) if ia else numpy.zeros((0, 3))
        xyz_b = numpy.column_stack([b.a[ib], b.b[ib], b.c[ib]]) if ib else numpy.zeros((0, 3))
        try:
            fit = kv().fit_keys(xyz_a, xyz_b, model=model, height=height, base=base,
                                names=names)
        except ValueError as error:
            raise QgsProcessingException(str(error)) from None

        report = fit.report() + _unmatched(only_a, only_b)
        feedback.pushInfo(report)
        report_path = self.parameterAsFileOutput(parameters, self.REPORT, context)
        # The report is held back until the system is saved: a refused name
        # leaves neither.
        report_file = WholeFile(report_path, as_html(report) if report_path.lower().endswith(
            (".html", ".htm")) else report)
        saved = ""
        if save_as:
            try:
                fit.save(save_as, systems=engine.systems_path())
            except ValueError as error:
                report_file.cancel()
                raise QgsProcessingException("система не сохранена: %s" % error) from None
            saved = "msk:" + save_as
            feedback.pushInfo("система %s сохранена в «%s»" % (saved, engine.systems_path()))
        report_file.commit()

        residuals = self._residuals(parameters, context, base, fit, names, xyz_a)
        flagged = int(numpy.count_nonzero(fit.flagged))
        if flagged:
            feedback.pushWarning("Подозрительных точек: %d (отмечены «!» в отчёте)" % flagged)
        return {self.REPORT: report_path, self.RESIDUALS: residuals, "SIGMA": fit.sigma,
                "SIGMA_H": fit.sigma_h, "FLAGGED": flagged, "SAVED": saved}

    def _residuals(self, parameters, context, base, fit, names, xyz_a):
        fields = QgsFields()
        fields.append(QgsField("name", QVariant.String, "string", 254))
        for name in ("vX", "vY", "vH", "vXY"):
            fields.append(QgsField(name, QVariant.Double, "double", 20, 4))
        fields.append(QgsField("flag", QVariant.Bool))
        place = crs.for_form(base)
        sink, dest = self.parameterAsSink(parameters, self.RESIDUALS, context, fields,
                                          QgsWkbTypes.PointZ, place.crs)
        if sink is None:
            raise QgsProcessingException(self.invalidSinkError(parameters, self.RESIDUALS))
        features = []
        with_height = fit.sigma_h is not None
        for k, name in enumerate(names):
            v = fit.residuals[k]
            x, y, z = engine.geometry_from_written(base, *xyz_a[k])
            feature = QgsFeature(fields)
            feature.setAttributes([name, float(v[0]), float(v[1]),
                                   float(v[2]) if with_height else None,
                                   math.hypot(v[0], v[1]), bool(fit.flagged[k])])
            feature.setGeometry(QgsGeometry(QgsPoint(float(x), float(y), float(z))))
            features.append(feature)
        if not sink.addFeatures(features, QgsFeatureSink.FastInsert):
            raise QgsProcessingException("остатки не записаны: " + sink.lastError())
        return dest


def match(names_a, names_b):
    """[(index in A, index in B)] of the names in both, in A's order, and the
    names found in one list only. A name repeated in a list, or a point
    without a name, is refused: which one was meant cannot be told."""
    def indexed(names, which):
        seen = {}
        for i, name in enumerate(names):
            if not name:
                raise QgsProcessingException("слой %s: у объекта %d нет имени" % (which, i + 1))
            seen.setdefault(name, []).append(i)
        repeated = ["«%s» (объекты %s)" % (n, ", ".join(str(i + 1) for i in ix))
                    for n, ix in seen.items() if len(ix) > 1]
        if repeated:
            raise QgsProcessingException("слой %s: имена повторяются: %s"
                                         % (which, "; ".join(repeated)))
        return {n: ix[0] for n, ix in seen.items()}

    in_a, in_b = indexed(names_a, "A"), indexed(names_b, "B")
    common = [(in_a[n], in_b[n]) for n in names_a if n in in_b]
    return (common, [n for n in names_a if n not in in_b], [n for n in names_b if n not in in_a])


def _unmatched(only_a, only_b):
    """The report's closing lines on names in one list only, as the
    converter writes them."""
    lines = []
    for which, names in (("A", only_a), ("B", only_b)):
        if names:
            lines.append("Только в списке %s: %s\n" % (which, ", ".join(names)))
    return "".join(lines)


def as_html(report):
    return ('<!DOCTYPE html>\n<html lang="ru"><head><meta charset="utf-8">'
            "<title>Ключи по общим точкам</title></head>\n<body><pre>%s</pre></body></html>\n"
            % html.escape(report))


class WholeFile:
    """A file written whole or not at all: the text is written aside at once,
    and takes the file's place only on commit()."""

    def __init__(self, path, text):
        self.path = path
        self.out = QSaveFile(path)
        data = QByteArray(text.encode("utf-8"))
        if not self.out.open(QSaveFile.WriteOnly) or self.out.write(data) != len(data):
            self._fail()

    def _fail(self):
        reason = self.out.errorString()
        self.out.cancelWriting()
        raise QgsProcessingException("«%s» не записан: %s" % (self.path, reason))

    def cancel(self):
        self.out.cancelWriting()
        self.out.commit()

    def commit(self):
        if not self.out.commit():
            self._fail()
