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
            # No text in PROJ's place: a model would hand the reason on as a
            # definition.
            raise QgsProcessingException(
                "у «%s» нет строки PROJ: %s" % (form, error)) from None
        feedback.pushInfo(definition)
        return {self.PROJ: definition}
