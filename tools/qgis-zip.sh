#!/usr/bin/env bash
# Makes the zip that QGIS's plugin manager installs ("Установить из ZIP"):
# the folder kelvadra_gost with the plugin's tracked files, nothing of a build
# or a test run.
#
#   tools/qgis-zip.sh [output-dir]    (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

out=${1:-build}
version=$(sed -n 's/^version=//p' qgis/kelvadra_gost/metadata.txt)
[ -n "$version" ] || { echo "qgis-zip.sh: no version in metadata.txt" >&2; exit 2; }
mkdir -p "$out"
zip_file=$(realpath "$out")/kelvadra_gost-$version.zip
# Outside a git checkout (a source tarball, a scratch copy, also one inside an
# ignored folder of a checkout) every file but Python's caches.
files=$(cd qgis && git ls-files kelvadra_gost 2>/dev/null || true)
if [ -z "$files" ]; then
    files=$(cd qgis && find kelvadra_gost -type f ! -path '*/__pycache__/*' ! -name '*.pyc' | sort)
fi
[ -n "$files" ] || { echo "qgis-zip.sh: no tracked plugin files" >&2; exit 2; }
rm -f "$zip_file.tmp"
# The zip is made aside and takes its name only when complete.
(cd qgis && /usr/bin/python3 - "$zip_file.tmp" $files <<'PY'
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for name in sys.argv[2:]:
        archive.write(name)
PY
)
mv -f "$zip_file.tmp" "$zip_file"
echo "$zip_file"
