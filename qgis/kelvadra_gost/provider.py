"""The Processing provider "kelvadra": the plugin's algorithms in the toolbox,
in models and in qgis_process."""

import os

from qgis.core import QgsProcessingProvider
from qgis.PyQt.QtGui import QIcon

from .convert_points import ConvertPoints
from .export_proj import ExportProj
from .fit_keys import FitKeys


class Provider(QgsProcessingProvider):
    def id(self):
        return "kelvadra"

    def name(self):
        return "ГОСТ 32453-2017 (kelvadra)"

    def longName(self):
        return "Пересчёт координат по ГОСТ 32453-2017, местные системы и их ключи (kelvadra)"

    def icon(self):
        return QIcon(os.path.join(os.path.dirname(__file__), "icon.svg"))

    def loadAlgorithms(self):
        for algorithm in (ConvertPoints(), FitKeys(), ExportProj()):
            self.addAlgorithm(algorithm)
