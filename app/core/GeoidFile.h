// The program's reader of the geoid grid file ("egm96.grd"): a header of six
// numbers in radians (south, north, west, east, latitude step, longitude
// step) separated by blanks, then one line of tab-separated heights in metres
// per grid row, northernmost row first.
//
// Stricter than the library's load_EGM96: the header must be exactly six
// blank-separated numbers, and every data line exactly as many values as the
// grid has columns. Numbers use "." whatever the locale; a value that is not
// finite, or an empty file, fails the load like any other malformed content.
#ifndef GEOIDFILE_H
#define GEOIDFILE_H

#include "kelvadra.h"

#include <QString>

namespace GeoidFile {

enum class Result {
    Loaded,    // g holds the whole grid; its system is geodetic WGS 84
    NotOpened, // the file could not be opened; g is empty
    Malformed  // the content is not a complete grid; g is empty
};

// Reads the grid at `path` into g. g must hold a null grid or one the library
// allocated: any array it holds is released first. After anything but Loaded,
// g is invalid (no array, grid and system unset).
Result load(const QString &path, ::geoid *g);

} // namespace GeoidFile

#endif // GEOIDFILE_H
