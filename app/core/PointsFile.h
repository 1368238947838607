// Points files: one table row per line, cells separated by "," or ";" on
// reading and written as "; ". The text stream's default encoding (the
// system locale's) is used both ways.
#ifndef POINTSFILE_H
#define POINTSFILE_H

#include <QString>
#include <QStringList>

namespace PointsFile {

// Reads every line of the file at `path` into *lines, without line ends
// ("\n" and "\r\n" both end a line; a last line without one counts too).
// Returns false, with *lines untouched, when the file cannot be opened or read.
bool read(const QString &path, QStringList *lines);

// Writes each row followed by "\n". An existing file is replaced only when
// every row was written; returns false otherwise, leaving it as it was.
bool write(const QString &path, const QStringList &rows);

} // namespace PointsFile

#endif // POINTSFILE_H
