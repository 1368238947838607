"""The plugin object QGIS loads: it only registers the provider."""

from qgis.core import QgsApplication

from .provider import Provider


class Plugin:
    def __init__(self, iface=None):
        self.iface = iface
        self.provider = None

    def initProcessing(self):
        # Called by qgis_process and the desktop alike, possibly twice.
        if self.provider is None:
            self.provider = Provider()
            QgsApplication.processingRegistry().addProvider(self.provider)

    def initGui(self):
        self.initProcessing()

    def unload(self):
        if self.provider is not None:
            QgsApplication.processingRegistry().removeProvider(self.provider)
            self.provider = None
