"""Photographs the dialog of kelvadra:convertpoints with a survey table and
the target list open, for the README:

    PYTHONPATH=build/python xvfb-run -s "-screen 0 1366x768x24" \\
        /usr/bin/python3 qgis/screenshot.py docs/qgis-convertpoints.png

Runs with a profile and local systems of its own; needs ImageMagick's import.
"""

import os
import subprocess
import sys
import tempfile

HOME = tempfile.mkdtemp(prefix="kelvadra-qgis-shot-")
os.environ.update(HOME=HOME, XDG_CONFIG_HOME=os.path.join(HOME, "config"),
                  QGIS_CUSTOM_CONFIG_PATH=os.path.join(HOME, "qgis"))
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, "/usr/share/qgis/python/plugins"]

from qgis.core import (QgsApplication, QgsProcessingContext, QgsProject,  # noqa: E402
                       QgsVectorLayer)
from qgis.PyQt.QtCore import QTimer  # noqa: E402

SURVEY = """name;X;Y;H
Рп1;6067828,990;7394318,682;179,056
Рп2;6071133,843;7391824,904;166,019
Рп3;6069641,345;7409190,747;147,428
"""
SYSTEMS = """[{"name": "Участок", "base": "gk:sk42:7",
  "keys": {"similarity": [-6050002.5316, -7380008.2676, 0.999988325274, 0.000145785411]}}]
"""


def main(out):
    os.makedirs(os.path.join(HOME, "config", "kelvadra"))
    with open(os.path.join(HOME, "config", "kelvadra", "local-systems.json"), "w",
              encoding="utf-8") as f:
        f.write(SYSTEMS)
    survey = os.path.join(HOME, "survey.csv")
    with open(survey, "w", encoding="utf-8") as f:
        f.write(SURVEY)

    app = QgsApplication([], True)
    QgsApplication.setPrefixPath("/usr", True)
    app.initQgis()
    from processing.core.Processing import Processing

    Processing.initialize()
    import kelvadra_gost
    from processing.gui.AlgorithmDialog import AlgorithmDialog

    plugin = kelvadra_gost.classFactory(None)
    plugin.initProcessing()
    layer = QgsVectorLayer(survey, "survey", "ogr")
    QgsProject.instance().addMapLayer(layer)
    dialog = AlgorithmDialog(
        QgsApplication.processingRegistry().createAlgorithmById("kelvadra:convertpoints"),
        False, None)
    dialog.resize(900, 640)
    dialog.move(0, 0)
    dialog.show()
    context = QgsProcessingContext()

    def fill():
        wrappers = dialog.mainWidget().wrappers
        wrappers["INPUT"].setParameterValue(survey, context)
        for name, value in (("X_FIELD", "X"), ("Y_FIELD", "Y"), ("Z_FIELD", "H")):
            wrappers[name].setParameterValue(value, context)
        wrappers["SOURCE"].setValue("gk:sk42:7")
        target = wrappers["TARGET"].widget
        target.setCurrentIndex(target.findText("msk:Участок"))
        target.showPopup()

    def photograph():
        frame = dialog.frameGeometry()
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
            frame.width(), frame.height(), frame.x(), frame.y()), out], check=True)
        app.quit()

    QTimer.singleShot(700, fill)
    QTimer.singleShot(2500, photograph)
    app.exec_()
    plugin.unload()


if __name__ == "__main__":
    main(sys.argv[1])
