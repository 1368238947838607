"""kelvadra:exportproj — a plane or local system as one PROJ definition."""

from qgis.core import QgsProcessingException, QgsProcessingOutputString

from . import engine
from .common import Algorithm, kv, system_parameter


class ExportProj(Algorithm):
    SYSTEM = "SYSTEM"
    PROJ = "PROJ"

    def name(self):
        return "exportproj"

    def displayName(self):
        return "Местная система → строка PROJ"

    def shortHelpString(self):
        return (
            "<p>Записывает систему SYSTEM (tm:, gk: с номером зоны, utm:, msk:ИМЯ без ключей) "
            "одной строкой PROJ со сдвигом датума по ГОСТ 32453-2017, как "
            "kelvadra-convert --show-proj: её можно вставить в «Пользовательские системы "
            "координат» QGIS или в другую ГИС.</p>"
            "<p>У системы с ключами или поправкой высоты одной строки PROJ нет: алгоритм "
            "завершается с ошибкой и называет причину и основу системы.</p>")

    def initAlgorithm(self, config=None):
        self.addParameter(system_parameter(self.SYSTEM, "Система (SYSTEM)"))
        self.addOutput(QgsProcessingOutputString(self.PROJ, "Строка PROJ"))

    def processAlgorithm(self, parameters, context, feedback):
        form = self.parameterAsString(parameters, self.SYSTEM, context).strip()
        try:
            definition = kv().show_proj(form, systems=engine.systems_path())
        except ValueError as error:
            reason = str(error)
        else:
            feedback.pushInfo(definition)
            return {self.PROJ: definition}
        # No text in PROJ's place: a model would hand the reason on as a
        # definition.
        try:
            entry = engine.local_entry(form, engine.systems_path())
        except ValueError:
            entry = None
        if entry is not None:
            # The system is known, so its keys or height shift are the reason;
            # say it in this algorithm's terms.
            reason = ("у местной системы есть ключи или поправка высоты, одна строка PROJ их "
                      "не вмещает; строку её основы даёт SYSTEM=%s" % entry["base"])
        raise QgsProcessingException("у «%s» нет строки PROJ: %s" % (form, reason))
