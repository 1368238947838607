// Points files: one row per line, split and written as PointRow says, the
// lines read as TextLines reads them (a file of no text is refused rather
// than cut at a NUL). Writing: UTF-8, "\n".
#ifndef POINTSFILE_H
#define POINTSFILE_H

#include "PointRow.h"
#include "TextLines.h"

#include <QString>
#include <QVector>

namespace PointsFile {

using Status = TextLines::Status;

// Lines with more than four fields (the fields after the fourth are dropped):
// how many, and the first few line numbers.
struct ExtraFields
{
    static const int listed = 5;
    int count = 0;
    QVector<qint64> firstLines;
    // A line of `fields` fields (PointRow::fromLine).
    void check(int fields, qint64 lineNumber);
    // The load warning: a decimal comma splits a number into two fields.
    QString warning() const;
};

// Rows with a name and no coordinate (PointRow::lacksCoordinates): how many,
// and the first few row numbers.
struct NoCoordinates
{
    static const int listed = 5;
    int count = 0;
    QVector<qint64> firstRows;
    void check(const PointRow &row, qint64 rowNumber);
};

// Whether the fields of a file seem separated by blanks, which split nothing:
// every row that is not empty is a name holding a blank and no coordinate.
class BlankSeparation
{
public:
    // The next row of the file.
    void check(const PointRow &row);
    // Still true after every row so far: rows need checking only while it is.
    bool possible() const { return all; }
    bool seen() const { return all && rows > 0; }
    // The one note of the load.
    static QString note();

private:
    bool all = true;
    qint64 rows = 0;
};

struct ReadInfo
{
    Status status = Status::Ok;
    bool windows1251 = false;
    bool header = false; // the first line was a header, skipped
    ExtraFields extraFields;
    NoCoordinates noCoordinates;
    bool blankSeparated = false;
};

// Reads every line of the regular file at `path` into *rows, as LineReader
// (TextLines) does; a first line that looksLikeHeader is skipped. Returns false, with *rows
// untouched, when the file cannot be opened, is no regular file (a device, a pipe: it may never
// end), fails to read, is too large, is no text or has a line over maxLineSize (the table would
// show a row that is not in the file). `info`, if given, says what was seen.
bool read(const QString &path, PointRows *rows, ReadInfo *info = nullptr);

// Writes each row as a line. An existing file is replaced only when every
// row was written; returns false otherwise, leaving it as it was.
bool write(const QString &path, const PointRows &rows);

} // namespace PointsFile

#endif // POINTSFILE_H
