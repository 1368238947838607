#!/usr/bin/env bash
# Builds the Debian package from an existing build directory (default: build)
# and checks it: control fields and dependencies, the files it holds and those
# it must not, and that the unpacked program finds its library and geoid grid
# inside the package and starts.
#
#   tools/package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
if [ ! -f "$build/CPackConfig.cmake" ]; then
    echo "package.sh: $build is not a configured build directory" >&2
    exit 2
fi

failures=0
fail()
{
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

log=$(cd "$build" && cpack -G DEB 2>&1) || { echo "$log" >&2; exit 1; }
deb=$(sed -n 's/^CPack: - package: \(.*\.deb\) generated\.$/\1/p' <<<"$log")
if [ ! -f "$deb" ]; then
    echo "$log" >&2
    echo "package.sh: cpack reported no .deb" >&2
    exit 1
fi
echo "package: $deb"

# Control fields.
[ "$(dpkg-deb --field "$deb" Package)" = coordconv ] || fail "package name"
[ "$(dpkg-deb --field "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture"
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5; do
    grep -Eq "(^|, )${lib//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $lib"
done

# Contents: everything a user and a developer need, and nothing of the build.
contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
for f in /usr/bin/coordconv /usr/bin/kelvadra-convert /usr/bin/egm96.grd \
    /usr/lib/libkelvadra.so.1.0.0 /usr/lib/libkelvadra.so.1 /usr/lib/libkelvadra.so \
    /usr/include/kelvadra.h /usr/lib/pkgconfig/kelvadra.pc \
    /usr/lib/cmake/kelvadra/kelvadraConfig.cmake /usr/lib/cmake/kelvadra/kelvadraConfigVersion.cmake \
    /usr/lib/cmake/kelvadra/kelvadraTargets.cmake \
    /usr/share/applications/coordconv.desktop \
    /usr/share/icons/hicolor/scalable/apps/coordconv.svg; do
    grep -qxF "$f" <<<"$contents" || fail "the package lacks $f"
done
unexpected=$({
    grep -E '^/usr/bin/.' <<<"$contents" | grep -vxE '/usr/bin/(coordconv|kelvadra-convert|egm96\.grd)' || true
    grep -E '/(test_|tst_|bench_|fuzz_|gtx2grd|lib[a-z_]*\.a$|libexport_leak)' <<<"$contents" || true
    grep -vE '^/usr/' <<<"$contents" || true
} | sort -u | tr '\n' ' ')
[ -z "$unexpected" ] || fail "files that do not belong in the package: $unexpected"

# Unpacked, the program must resolve every library, its own from the package.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/coordconv
resolved=$(env -u LD_LIBRARY_PATH ldd "$program")
if grep -q 'not found' <<<"$resolved"; then
    fail "unresolved libraries: $(grep 'not found' <<<"$resolved")"
fi
own=$(sed -n 's/^[[:space:]]*libkelvadra\.so\.1 => \(.*\) (0x[0-9a-f]*)$/\1/p' <<<"$resolved")
[ -n "$own" ] && [ "$(realpath "$own")" = "$(realpath "$root/usr/lib/libkelvadra.so.1")" ] \
    || fail "libkelvadra.so.1 is not taken from the package: $(grep kelvadra <<<"$resolved")"

# The grid beside the program, identical to the one the build made and tested.
cmp -s "$root/usr/bin/egm96.grd" "$build/bin/egm96.grd" || fail "egm96.grd differs from the build's"

desktop=$root/usr/share/applications/coordconv.desktop
grep -qx 'Exec=coordconv' "$desktop" || fail "desktop entry: Exec"
grep -qx 'Icon=coordconv' "$desktop" || fail "desktop entry: Icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi

# It starts and keeps running until stopped (a missing library or plugin ends it at once).
status=0
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen timeout 5 "$program" >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "coordconv exited with status $status instead of running"

# The converter runs without a screen: no Qt Gui or Widgets, and it finds the
# grid beside itself.
converter=$root/usr/bin/kelvadra-convert
if env -u LD_LIBRARY_PATH ldd "$converter" | grep -Eq 'libQt5(Gui|Widgets)'; then
    fail "kelvadra-convert links Qt Gui or Widgets"
fi
converted=$(echo "P, 55.5, 37.5, 100" | env -u LD_LIBRARY_PATH -u DISPLAY "$converter" \
    --from geod:wgs84 --to geod:wgs84:deg+egm96 2>&1) || fail "kelvadra-convert: $converted"
grep -qE '^P; 55\.500000000; 37\.500000000; 8[0-9]\.[0-9]{3}$' <<<"$converted" \
    || fail "kelvadra-convert gave: $converted"

# The Python module, when the build made one, imports from the package and
# finds the grid beside the programs.
if compgen -G "$build/python/kelvadra*.so" >/dev/null; then
    module=$(grep -E '^/usr/lib/python3\.[0-9]+/dist-packages/kelvadra\..*\.so$' <<<"$contents" || true)
    if [ -z "$module" ]; then
        fail "the package lacks the Python module"
    else
        height=$(cd / && env -u LD_LIBRARY_PATH PYTHONPATH="$(dirname "$root$module")" /usr/bin/python3 -c \
            'import kelvadra; print(kelvadra.Transformer("geod:wgs84", "geod:wgs84+egm96").transform(55.5, 37.5, 100)[2])' 2>&1) \
            || fail "the packaged Python module: $height"
        grep -qE '^8[0-9]\.[0-9]+$' <<<"$height" || fail "the packaged Python module gave: $height"
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "package check: $failures problem(s)" >&2
    exit 1
fi
echo "package check: OK"
