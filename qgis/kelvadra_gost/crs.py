"""A QGIS coordinate reference system for a written form, with this library's
datum shift.

QGIS matches a PROJ definition to a registered system and then drops its
+towgs84 (SK-42 Gauss-Krüger comes back as UCS-2000 without any shift), so a
definition is never handed to QGIS as PROJ text. It is written as WKT 1
instead, whose TOWGS84 node QGIS keeps (the same position-vector convention
as +towgs84), and the result is checked: a system that does not come back with
the shift is not used.
"""

import re

from qgis.core import QgsCoordinateReferenceSystem

from . import engine

# Systems on WGS 84 itself, whose registered codes need no shift.
_WGS84_CODES = {"geod": "EPSG:4326", "geoc": "EPSG:4978"}


class Result:
    """The CRS of a layer holding a form's points.

    crs: invalid when QGIS cannot express the form; geometry_form: the written
    form whose coordinates the geometry holds (a local system with keys puts
    its base there); note: why the layer's CRS is not the form's own, or "".
    """

    def __init__(self, crs, geometry_form, note=""):
        self.crs = crs
        self.geometry_form = geometry_form
        self.note = note


def _parameters(definition):
    params = {}
    for token in definition.split():
        if token.startswith("+"):
            key, _, value = token[1:].partition("=")
            params[key] = value
    return params


def _ellipsoid(name):
    """(a, 1/f) of a PROJ ellipsoid name, as QGIS's PROJ knows it."""
    crs = QgsCoordinateReferenceSystem.fromProj("+proj=longlat +ellps=%s +no_defs" % name)
    found = re.search(r'ELLIPSOID\["[^"]*",([-+0-9.eE]+),([-+0-9.eE]+)',
                      crs.toWkt(QgsCoordinateReferenceSystem.WKT2_2019))
    if not found:
        raise ValueError("эллипсоид «%s» неизвестен PROJ" % name)
    return found.group(1), found.group(2)


# QGIS reads a CRS name from WKT as Latin-1: Cyrillic names are spelt in
# Latin letters (ГОСТ 7.79, system B, simplified) so they stay readable.
_LATIN = dict(zip("абвгдеёжзийклмнопрстуфхцчшщъыьэюя",
                  ["a", "b", "v", "g", "d", "e", "yo", "zh", "z", "i", "j", "k", "l", "m", "n",
                   "o", "p", "r", "s", "t", "u", "f", "x", "cz", "ch", "sh", "shh", "", "y", "",
                   "e", "yu", "ya"]))


def latin(text):
    out = []
    for ch in text:
        low = ch.lower()
        if low in _LATIN:
            spelt = _LATIN[low]
            out.append(spelt.capitalize() if ch != low else spelt)
        elif ord(ch) < 128:
            out.append(ch)
        else:
            out.append("?")
    return "".join(out)


def _quoted(text):
    return '"%s"' % latin(text).replace('"', "'")


def _datum_wkt(params, name):
    a, rf = _ellipsoid(params["ellps"])
    shift = params.get("towgs84", "0,0,0,0,0,0,0")
    return ('DATUM[%s,SPHEROID[%s,%s,%s],TOWGS84[%s]]'
            % (_quoted(name), _quoted(params["ellps"]), a, rf, shift))


def _geogcs_wkt(params, name):
    return ('GEOGCS[%s,%s,PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433],'
            'AXIS["Latitude",NORTH],AXIS["Longitude",EAST]]'
            % (_quoted(name), _datum_wkt(params, name)))


def _projcs_wkt(params, name):
    if params.get("proj") == "utm":
        zone = int(params["zone"])
        tm = {"lat_0": "0", "lon_0": str(zone * 6 - 183), "k": "0.9996", "x_0": "500000",
              "y_0": "10000000" if "south" in params else "0"}
    elif params.get("proj") == "tmerc":
        tm = params
    else:
        raise ValueError("проекция «%s» не поддерживается" % params.get("proj"))
    return ('PROJCS[%s,%s,PROJECTION["Transverse_Mercator"],'
            'PARAMETER["latitude_of_origin",%s],PARAMETER["central_meridian",%s],'
            'PARAMETER["scale_factor",%s],PARAMETER["false_easting",%s],'
            'PARAMETER["false_northing",%s],UNIT["metre",1],'
            'AXIS["Easting",EAST],AXIS["Northing",NORTH]]'
            % (_quoted(name), _geogcs_wkt(params, name), tm["lat_0"], tm["lon_0"], tm["k"],
               tm["x_0"], tm["y_0"]))


def _geoccs_wkt(params, name):
    return ('GEOCCS[%s,%s,PRIMEM["Greenwich",0],UNIT["metre",1],'
            'AXIS["Geocentric X",OTHER],AXIS["Geocentric Y",OTHER],AXIS["Geocentric Z",NORTH]]'
            % (_quoted(name), _datum_wkt(params, name)))


def _shift_kept(crs, params):
    """The CRS's PROJ form has the definition's shift (QGIS writes zeros as
    none at all)."""
    wanted = [float(v) for v in params.get("towgs84", "0").split(",")]
    kept = _parameters(crs.toProj()).get("towgs84")
    if kept is None:
        return not any(wanted)
    got = [float(v) for v in kept.split(",")]
    return len(got) == len(wanted) and all(abs(g - w) < 1e-9 for g, w in zip(got, wanted))


def from_definition(definition, kind, name):
    """A CRS of a PROJ definition that show_proj gives, named `name`;
    ValueError when QGIS cannot hold it with its shift."""
    params = _parameters(definition)
    writer = {"geod": _geogcs_wkt, "geoc": _geoccs_wkt}.get(kind, _projcs_wkt)
    crs = QgsCoordinateReferenceSystem.fromWkt(writer(params, name))
    if not crs.isValid() or not _shift_kept(crs, params):
        raise ValueError("QGIS не сохранил сдвиг датума системы «%s»" % name)
    return crs


def _datum_definition(form):
    # The datum's ellipsoid and shift, as show_proj gives them for any plane
    # system of that datum.
    return engine.module().show_proj(
        "tm:%s:lon0=0,lat0=0,k=1,fe=0,fn=0" % engine.datum(form), systems=engine.systems_path())


def _crs(form, name):
    kind = engine.kind(form)
    if kind in _WGS84_CODES:
        if engine.datum(form) == "wgs84":
            return QgsCoordinateReferenceSystem(_WGS84_CODES[kind])
        return from_definition(_datum_definition(form), kind, name)
    definition = engine.module().show_proj(engine.without_geoid(form),
                                           systems=engine.systems_path())
    return from_definition(definition, kind, name)


def for_form(form):
    """The Result for a layer holding points of `form`."""
    bare = engine.without_geoid(form)
    try:
        return Result(_crs(form, "%s (kelvadra, GOST 32453-2017)" % bare), form)
    except ValueError as error:
        reason = str(error)
    entry = engine.local_entry(form, engine.systems_path())
    if entry is not None:
        try:
            crs = _crs(entry["base"], "%s without keys: base %s (kelvadra)" % (bare, entry["base"]))
            note = ("Система «%s» с ключами или поправкой высоты не выражается системой "
                    "координат QGIS: геометрия слоя — в её основе «%s» без ключей, "
                    "истинные координаты — в полях." % (bare, entry["base"]))
            return Result(crs, entry["base"], note)
        except ValueError as error:
            reason = str(error)
    return Result(QgsCoordinateReferenceSystem(), form,
                  "Система «%s» не выражается системой координат QGIS: %s" % (bare, reason))
