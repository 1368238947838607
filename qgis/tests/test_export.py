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
