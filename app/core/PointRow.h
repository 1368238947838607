// One row of a point list: a name and three coordinate texts, in the column
// order of the row's system, and what a calculation made of it. Rows travel
// as these values between the table, the calculation, the clipboard, points
// files and the converter; text is split into rows and joined from them only
// where it enters or leaves the program (fromLine, appendLine).
//
// A line of a points file, a pasted line and a line of standard input split
// by one rule:
// - exactly three ";" and the line splits on ";" alone, exactly three tabs
//   and it splits on tabs alone (the ";" rule first). In such a line a ","
//   between two digits of a coordinate is a decimal comma ("П1;55,5;37,5;100"
//   is what a spreadsheet with Russian settings saves), and a "," in the name
//   is part of the name;
// - any other line splits on every ",", ";" and tab; fields past the fourth
//   are dropped (fieldCount tells the caller, which warns).
// Every field is trimmed and made one line: a control character becomes a
// blank, and so do a ";" and a tab left in the name. Lines are written as
// "name; c1; c2; c3", which reads back as the same row.
#ifndef POINTROW_H
#define POINTROW_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <string>
#include <string_view>

struct PointRow
{
    // The name and three coordinates.
    static constexpr int columns = 4;

    enum class Outcome : unsigned char {
        Given,     // typed, pasted or loaded: not a calculation's result
        Converted, // converted by a calculation
        NoPoint,   // no coordinates to convert: the name is kept
        Failed     // not converted; `reason` says why
    };

    QString name;
    QString coordinates[3];
    Outcome outcome = Outcome::Given;
    QString reason;

    // Column 0 is the name, 1 to 3 the coordinates.
    const QString &cell(int column) const { return column == 0 ? name : coordinates[column - 1]; }
    QString &cell(int column) { return column == 0 ? name : coordinates[column - 1]; }
    bool coordinatesBlank() const;
    // Neither a name nor a coordinate.
    bool isEmpty() const;
    // A name and no coordinate: nothing to convert, most often a line whose
    // fields are separated by blanks, which split nothing.
    bool lacksCoordinates() const;
    // As the first line of a file, a header ("Имя;X;Y;H", "name,lat,lon,h",
    // "name,x,y"): the first two coordinates, and the third unless blank, are
    // column words: no digit, and two letters or one axis letter (X Y Z H N E
    // B L, Х У Н В). A placeholder ("-", "N/A", "нет", "none", "null") or a
    // lone other letter ("O") is a point's missing value, and the line stays a
    // row; so does a saved failed row, whose coordinates are blank.
    bool looksLikeHeader() const;

    // The row a line becomes; *fields, if given, is the number of fields the
    // line holds by the rule above (more than four: some were dropped).
    static PointRow fromLine(const QString &line, int *fields = nullptr);
    // The number of fields fromLine finds, without making the row.
    static int fieldCount(const QString &line);
    // "name; c1; c2; c3\n" in UTF-8 behind *out, each cell trimmed.
    void appendLine(QByteArray *out) const;
};

using PointRows = QVector<PointRow>;

// A line of UTF-8 split as PointRow::fromLine splits it, without a QString:
// each cell a view of the line's bytes or, when the rule changes it, of a
// buffer kept for the next line.
struct LineFields
{
    std::string_view cells[PointRow::columns]; // the name and three coordinates
    int count = 0;                             // the fields the line holds (fromLine's *fields)

    void split(std::string_view line);

private:
    std::string changed[PointRow::columns];
};

#endif // POINTROW_H
