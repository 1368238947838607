#!/usr/bin/env bash
# Installs what building, testing and running need on Debian, only when missing.
# Safe to run again. With --program, not what only the tests need (QGIS).
set -euo pipefail

packages=(
    build-essential cmake pkg-config       # toolchain
    qtbase5-dev qtbase5-dev-tools          # the program (Qt 5 Widgets)
    qttranslations5-l10n fonts-dejavu-core # Russian texts of Qt's own dialogs; a font to show them
    proj-data                              # EGM96 source grid for egm96.grd
    libgtest-dev libbenchmark-dev          # tests and benchmarks
    libeigen3-dev                          # least squares of the keys from common points
    libdxflib-dev                          # DXF drawings of a table's plane points
    python3-ezdxf                          # an independent DXF reader for the tests
    libproj-dev proj-bin                   # independent reference in tests and benchmarks
    libgeographiclib-dev                   # second reference of the Transverse Mercator tests
    locales                                # ru_RU.UTF-8 for the decimal-comma test runs
    xvfb xauth                             # a real X server for manual checks
    xdotool imagemagick                    # tools/screenshot.sh drives and photographs the window
    clang-format clang-tidy cppcheck       # static checks (tools/lint.sh)
    clang libclang-rt-14-dev               # libFuzzer and the sanitizers (tools/fuzz.sh)
    python3-dev pybind11-dev python3-numpy # the kelvadra Python module
    python3-pytest python3-pyproj          # its tests and benchmark
    python3-dask python3-distributed       # its examples past one machine
)
# Only the tests need QGIS (the plugin's tests run inside it); starting the program does not.
if [ "${1:-}" != "--program" ]; then
    packages+=(qgis python3-qgis)          # the QGIS plugin kelvadra_gost and its tests
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
    echo "Generating the ru_RU.UTF-8 locale"
    if [ -f /etc/locale.gen ] && grep -q 'ru_RU.UTF-8' /etc/locale.gen; then
        $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    else
        echo "ru_RU.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    fi
    $SUDO locale-gen >/dev/null
fi
