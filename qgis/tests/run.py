"""Runs the plugin's tests, or skips them (exit 77) when QGIS's Python, the
kelvadra module of the build or pytest is missing."""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

for module in ("qgis.core", "kelvadra", "pytest"):
    found = subprocess.run([sys.executable, "-c", "import " + module], capture_output=True,
                           check=False)
    if found.returncode != 0:
        print("skipped: %s cannot be imported" % module)
        sys.exit(77)
sys.exit(subprocess.run([sys.executable, "-m", "pytest", "-q", "-p", "no:cacheprovider",
                         "--rootdir", HERE] + [os.path.join(HERE, f) for f in sys.argv[1:]],
                        check=False).returncode)
