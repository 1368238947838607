"""kelvadra:exportproj against kelvadra-convert --show-proj."""

import subprocess

import pytest
from conftest import CONVERTER, refusal, run


@pytest.mark.parametrize("system, refused", [
    ("gk:sk42:7", None),
    ("utm:37s", None),
    ("msk:Район", None),
    ("msk:Город", "строку её основы даёт SYSTEM=gk:sk42:7"),
    ("geod:wgs84", "ожидается плоская система"),
    ("gk:sk42:auto", "ожидается плоская система"),
])
def test_export_equals_show_proj(system, refused):
    shown = subprocess.run([CONVERTER, "--show-proj", system], capture_output=True, text=True,
                           check=False)
    if refused is None:
        assert shown.returncode == 0
        assert run("exportproj", SYSTEM=system)["PROJ"] == shown.stdout.strip()
    else:
        # The algorithm fails with the reason; it never hands a reason on as
        # a definition.
        assert shown.returncode != 0
        assert refused in refusal("exportproj", SYSTEM=system)


def test_qgis_keeps_its_settings_after_the_module_loads():
    # The module names the application for its own programs' settings; QGIS's
    # settings must still go to QGIS's profile afterwards.
    from qgis.core import QgsSettings
    from qgis.PyQt.QtCore import QCoreApplication

    run("exportproj", SYSTEM="gk:sk42:7")
    assert (QCoreApplication.organizationName(), QCoreApplication.applicationName()) == (
        "QGIS", "QGIS3")
    assert "QGIS3.ini" in QgsSettings().fileName()
