"""Russian counts and the layer note, written once for every algorithm."""

from qgis.core import QgsDataProvider, QgsProcessingLayerPostProcessorInterface, QgsVectorLayer


def plural(n, one, few, many):
    """The word for n: 1 точка, 2 точки, 5 точек (21 точка, 11 точек)."""
    n = abs(n)
    if n % 10 == 1 and n % 100 != 11:
        return one
    if 2 <= n % 10 <= 4 and not 12 <= n % 100 <= 14:
        return few
    return many


def of_points(done, total):
    """"1 из 1 точки", "2 из 21 точки", "3 из 5 точек": "из" takes the genitive."""
    return "%d из %d %s" % (done, total, plural(total, "точки", "точек", "точек"))


def set_note(layer, title, note):
    """Puts `note` into the layer's metadata, stored with the layer when its
    format keeps metadata (GeoPackage) or beside it."""
    if layer.providerType() == "ogr" and "layername=" not in layer.source():
        # A GeoPackage keeps metadata per table, and QGIS needs the table named.
        sublayers = layer.dataProvider().subLayers()
        if sublayers:
            table = sublayers[0].split(QgsDataProvider.SUBLAYER_SEPARATOR)[1]
            layer = QgsVectorLayer("%s|layername=%s" % (layer.source(), table), table, "ogr")
    metadata = layer.metadata()
    metadata.setTitle(title)
    metadata.setAbstract(note)
    layer.setMetadata(metadata)
    if layer.providerType() == "ogr":
        layer.saveDefaultMetadata()


class NoteOnLoad(QgsProcessingLayerPostProcessorInterface):
    """The note on the layer QGIS adds to the project after a run."""

    # Processing keeps only a pointer: the instances must outlive the run.
    kept = []

    def __init__(self, title, note):
        super().__init__()
        self.title = title
        self.note = note
        NoteOnLoad.kept.append(self)

    def postProcessLayer(self, layer, context, feedback):
        metadata = layer.metadata()
        metadata.setTitle(self.title)
        metadata.setAbstract(self.note)
        layer.setMetadata(metadata)
