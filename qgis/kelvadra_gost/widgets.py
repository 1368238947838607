"""The system list of the algorithms' dialogs: an editable list of written
forms, so a common system is picked and any other typed."""

from processing.gui.wrappers import DIALOG_BATCH, WidgetWrapper
from qgis.PyQt.QtCore import Qt
from qgis.PyQt.QtWidgets import QComboBox

from . import engine


class SystemWidgetWrapper(WidgetWrapper):
    def createWidget(self, **kwargs):
        combo = QComboBox()
        combo.setEditable(True)
        combo.setInsertPolicy(QComboBox.NoInsert)
        if self.dialogType != DIALOG_BATCH:
            combo.setMinimumContentsLength(28)
        for form, caption in engine.choices():
            combo.addItem(form, form)
            combo.setItemData(combo.count() - 1, caption, Qt.ToolTipRole)
        combo.setCurrentIndex(-1)
        combo.lineEdit().setPlaceholderText("например gk:sk42:7, utm:37n, msk:ИМЯ")
        combo.currentTextChanged.connect(lambda _: self.widgetValueHasChanged.emit(self))
        return combo

    def setValue(self, value):
        self.widget.setEditText("" if value is None else str(value))

    def value(self):
        return self.widget.currentText().strip()
