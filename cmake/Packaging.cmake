# Debian package: `cpack -G DEB` in a build directory configured for Release.
#
# One package, coordconv, carries what the installation rules install: the
# program with its geoid grid, desktop entry and icons, the command-line
# converter kelvadra-convert, the shared library, and
# the header, CMake package and pkg-config file for building against it. The
# library has no users but the program yet, so it is not split into
# libkelvadra1 / libkelvadra-dev packages. Test, benchmark and build tools are
# never installed and so never packaged.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME coordconv)
set(CPACK_PACKAGE_VENDOR "VORLANIX")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VORLANIX coordconv developers <coordconv@vorlanix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "geodetic coordinate converter by GOST 32453-2017 (VORLANIX Ranticor)")
set(CPACK_PACKAGE_DESCRIPTION
    "coordconv converts lists of named points between geocentric, geodetic, local, \
Gauss-Krueger and Transverse Mercator systems on the Pulkovo 1942/1995, PZ-90, \
GSK-2011, WGS 84 and ITRF2008 datums by the parameters of GOST 32453-2017, with \
heights above the ellipsoid or above the EGM96 geoid. Its user interface is in \
Russian. kelvadra-convert converts points files the same way from the command \
line, and the Python module kelvadra the same on numpy arrays. The package also holds the kelvadra library with its C interface, \
header, CMake package and pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vorlanix.example/coordconv")
# Russian buttons in Qt's own dialogs, and a font with Cyrillic letters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n, fonts-dejavu-core")
# The Python module is used only from Python with numpy.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3, python3-numpy")
find_program(KELVADRA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KELVADRA_DPKG_SHLIBDEPS)
    # The program's own library is found through its RUNPATH in the package.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    # What Debian 12 builds of the program link, should dpkg-shlibdeps be missing.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 11), libqt5core5a (>= 5.15.1), \
libqt5gui5 (>= 5.7.0) | libqt5gui5-gles (>= 5.7.0), libqt5widgets5 (>= 5.15.1)")
endif()

include(CPack)
