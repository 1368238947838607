#include "PointsFile.h"

#include "Plural.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace PointsFile {

namespace {

// Rows are written in pieces of this size: a million rows need no 50 MB at once.
const int writeChunk = 64 * 1024;

} // namespace

void ExtraFields::check(int fields, qint64 lineNumber)
{
    if (fields <= PointRow::columns)
        return;
    ++count;
    if (firstLines.size() < listed)
        firstLines.append(lineNumber);
}

QString ExtraFields::warning() const
{
    return QStringLiteral("Строк с лишними полями: %1 (%2). Поля после четвертого "
                          "отброшены.\nВозможно, десятичная запятая разделила число на два "
                          "поля: в координатах пишите дробную часть через \".\".")
        .arg(count)
        .arg(Plural::rows(firstLines, count));
}

void NoCoordinates::check(const PointRow &row, qint64 rowNumber)
{
    if (!row.lacksCoordinates())
        return;
    ++count;
    if (firstRows.size() < listed)
        firstRows.append(rowNumber);
}

void BlankSeparation::check(const PointRow &row)
{
    if (!all || row.isEmpty())
        return;
    all = row.lacksCoordinates()
        && std::any_of(row.name.begin(), row.name.end(), [](QChar ch) { return ch.isSpace(); });
    ++rows;
}

QString BlankSeparation::note()
{
    return QStringLiteral("Поля, похоже, разделены пробелами: ни в одной строке нет координат. "
                          "Разделяйте поля «;», «,» или табуляцией.");
}

bool read(const QString &path, PointRows *rows, ReadInfo *info)
{
    ReadInfo seen;
    if (!rows)
        return false;
    QFile file(path);
    // A device or a pipe may never end; a directory is no list.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.isSequential()) {
        seen.status = Status::ReadError;
        if (info)
            *info = seen;
        return false;
    }

    TextLines::LineReader reader(&file);
    PointRows result;
    QString line;
    BlankSeparation blanks;
    while (reader.readLine(&line)) {
        if (reader.lineTooLong()) {
            seen.status = Status::LineTooLong;
            break;
        }
        int fields = 0;
        const PointRow row = PointRow::fromLine(line, &fields);
        if (reader.lineNumber() == 1 && row.looksLikeHeader()) {
            seen.header = true;
            continue;
        }
        result.append(row);
        seen.extraFields.check(fields, result.size());
        seen.noCoordinates.check(row, result.size());
        blanks.check(row);
    }
    seen.blankSeparated = blanks.seen();
    if (seen.status == Status::Ok)
        seen.status = reader.status();
    seen.windows1251 = reader.windows1251();
    if (info)
        *info = seen;
    if (seen.status != Status::Ok)
        return false;
    *rows = result;
    return true;
}

bool write(const QString &path, const PointRows &rows)
{
    // Written beside the target and renamed over it at the end, so a full
    // disk or a lost device never leaves half a list in place of the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    QByteArray bytes;
    bool written = true;
    for (int i = 0; written && i < rows.size(); ++i) {
        rows.at(i).appendLine(&bytes);
        if (bytes.size() >= writeChunk || i + 1 == rows.size()) {
            written = file.write(bytes) == bytes.size();
            bytes.clear();
        }
    }
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace PointsFile
