"""The kelvadra module as the plugin uses it, and what a written form says
about its coordinates.

Everything here is free of Processing: the algorithms hand over written forms
and arrays and get arrays, texts and reasons back.
"""

import glob
import os
import sys

from qgis.PyQt.QtCore import QCoreApplication, QStandardPaths

_module = None


class Unavailable(Exception):
    """The kelvadra module is not installed where QGIS's Python finds it."""


def _installed_beside():
    # cmake --install --prefix DIR puts the plugin under
    # DIR/share/qgis/python/plugins and the module under
    # DIR/lib/python3.X/dist-packages; QGIS only looks in its own prefix.
    prefix = os.path.normpath(os.path.join(os.path.dirname(__file__), *[os.pardir] * 5))
    return glob.glob(os.path.join(prefix, "lib", "python3*", "dist-packages"))


def module():
    """The kelvadra module, imported once.

    Its import names the application "kelvadra"/"coordconv" for the settings
    of its own programs; inside QGIS that would send QGIS's settings to
    another file, so QGIS's names are put back at once.
    """
    global _module
    if _module is not None:
        return _module
    names = (QCoreApplication.organizationName(), QCoreApplication.organizationDomain(),
             QCoreApplication.applicationName())
    try:
        try:
            import kelvadra
        except ImportError:
            sys.path.extend(p for p in _installed_beside() if p not in sys.path)
            try:
                import kelvadra
            except ImportError as error:
                raise Unavailable(
                    "модуль Python kelvadra не найден (пакет coordconv не установлен?): "
                    + str(error)) from None
    finally:
        QCoreApplication.setOrganizationName(names[0])
        QCoreApplication.setOrganizationDomain(names[1])
        QCoreApplication.setApplicationName(names[2])
    _module = kelvadra
    return _module


def systems_path():
    """The local systems' file the window and the converter share.

    Always handed to the module: its own default follows the application's
    settings, which inside QGIS are QGIS's profile.
    """
    config = QStandardPaths.writableLocation(QStandardPaths.GenericConfigLocation)
    return os.path.join(config, "kelvadra", "local-systems.json")


GEOID = "+egm96"


def with_geoid(form, geoid):
    """`form` with heights above the EGM96 geoid when `geoid`; a form that
    already says so is kept."""
    form = form.strip()
    if geoid and not form.lower().endswith(GEOID):
        form += GEOID
    return form


def without_geoid(form):
    form = form.strip()
    return form[: -len(GEOID)] if form.lower().endswith(GEOID) else form


def kind(form):
    """geod, geoc, gk, utm, tm, msk or proj: the written form's first word."""
    return form.strip().split(":", 1)[0].lower()


def datum(form):
    """The datum word of a geod:, geoc:, gk:, tm: or utm: form."""
    if kind(form) == "utm":
        return "wgs84"
    parts = without_geoid(form).split(":")
    return parts[1].lower() if len(parts) > 1 else ""


# Where the written order's coordinates go in QGIS's geometry (x east or
# longitude, y north or latitude, z): indices into (a, b, c).
_AXES = {
    "geod": (1, 0, 2),   # latitude, longitude, height
    "geoc": (0, 1, 2),   # X, Y, Z
    "utm": (0, 1, 2),    # easting, northing, height
    "gk": (1, 0, 2),     # X northing, Y easting, H
    "tm": (1, 0, 2),
    "msk": (1, 0, 2),
    "proj": (1, 0, 2),
}


def geometry_axes(form):
    """Indices of the written order's coordinates that QGIS's x, y and z hold."""
    return _AXES.get(kind(form), (1, 0, 2))


def written_from_geometry(form, x, y, z):
    """QGIS's x, y, z as the written form's (a, b, c)."""
    axes = geometry_axes(form)
    given = (x, y, z)
    out = [None, None, None]
    for geometry_index, written_index in enumerate(axes):
        out[written_index] = given[geometry_index]
    return tuple(out)


def geometry_from_written(form, a, b, c):
    """The written form's (a, b, c) as QGIS's x, y, z."""
    written = (a, b, c)
    return tuple(written[i] for i in geometry_axes(form))


def is_geographic(form):
    return kind(form) == "geod"


def local_entry(form, path):
    """The definitions file's entry of msk:NAME, or None."""
    if kind(form) != "msk":
        return None
    name = without_geoid(form).split(":", 1)[1].strip()
    for entry in module().systems(path):
        if entry["name"] == name:
            return entry
    return None


COMMON_FORMS = [
    ("geod:wgs84", "геодезическая, WGS 84"),
    ("geod:wgs84+egm96", "геодезическая, WGS 84, высоты над геоидом EGM96"),
    ("geod:sk42", "геодезическая, Пулково 42"),
    ("geod:sk95", "геодезическая, Пулково 95"),
    ("geod:pz90", "геодезическая, ПЗ 90"),
    ("geod:pz90.02", "геодезическая, ПЗ 90.02"),
    ("geod:pz90.11", "геодезическая, ПЗ 90.11"),
    ("geod:gsk2011", "геодезическая, ГСК 2011"),
    ("geod:itrf2008", "геодезическая, ITRF 2008"),
    ("geoc:wgs84", "геоцентрическая X, Y, Z, WGS 84"),
    ("geoc:pz90.11", "геоцентрическая X, Y, Z, ПЗ 90.11"),
    ("gk:sk42:auto", "Гаусса-Крюгера, Пулково 42, зона по точке"),
    ("gk:sk95:auto", "Гаусса-Крюгера, Пулково 95, зона по точке"),
    ("gk:gsk2011:auto", "Гаусса-Крюгера, ГСК 2011, зона по точке"),
    ("utm:37n", "UTM, WGS 84, зона 37, северное полушарие"),
]


def choices(path=None):
    """The forms offered in the system lists: the common ones, then every
    named local system. A definitions file that does not read offers none of
    its systems; the algorithm names the file's problem when run."""
    forms = list(COMMON_FORMS)
    try:
        for entry in module().systems(path or systems_path()):
            forms.append((entry["form"], "местная система, основа " + entry["base"]))
    except (Unavailable, ValueError):
        pass
    return forms
