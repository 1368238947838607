"""What the plugin's algorithms share: the system parameter, the module's
errors as Processing's, and the guard against writing over an input."""

import os

from qgis.core import (QgsProcessingAlgorithm, QgsProcessingException,
                       QgsProcessingParameterString)
from qgis.PyQt.QtCore import QCoreApplication

from . import engine

WRAPPER = __name__.rsplit(".", 1)[0] + ".widgets.SystemWidgetWrapper"


def system_parameter(name, description, default=None, optional=False):
    """A written form, picked from the common and local systems or typed."""
    parameter = QgsProcessingParameterString(name, description, default, False, optional)
    parameter.setMetadata({"widget_wrapper": {"class": WRAPPER}})
    return parameter


def kv():
    """The kelvadra module, or the reason it is missing as Processing's error."""
    try:
        return engine.module()
    except engine.Unavailable as error:
        raise QgsProcessingException(str(error)) from None


def file_of(source):
    """The file a layer source or destination names ("a.gpkg|layername=x",
    "ogr:..." forms), resolved; None for memory layers and databases."""
    if not source:
        return None
    path = str(source).split("|", 1)[0]
    if path.startswith("ogr:"):
        path = path[4:]
    if "://" in path or path.startswith("memory:") or not os.path.isabs(path) and ":" in path:
        return None
    return os.path.realpath(path)


def refuse_overwrite(inputs, outputs):
    """QgsProcessingException when an output file is one of the inputs' files:
    the writer would empty the input before it is read."""
    given = {file_of(s) for s in inputs} - {None}
    for name, destination in outputs:
        target = file_of(destination)
        if target in given:
            raise QgsProcessingException(
                "%s: «%s» — файл входного слоя; выберите другой файл, входной слой "
                "не изменяется" % (name, destination))


class Algorithm(QgsProcessingAlgorithm):
    def tr(self, text):
        return QCoreApplication.translate("kelvadra", text)

    def createInstance(self):
        return type(self)()

    def group(self):
        return ""

    def groupId(self):
        return ""

    def helpUrl(self):
        return ""
