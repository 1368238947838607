"""QGIS plugin kelvadra_gost: conversions by ГОСТ 32453-2017, local systems
with keys and keys from common points as Processing algorithms."""


def classFactory(iface):
    from .plugin import Plugin

    return Plugin(iface)
