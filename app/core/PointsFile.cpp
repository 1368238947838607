#include "PointsFile.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>

namespace PointsFile {

bool read(const QString &path, QStringList *lines)
{
    if (!lines)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;

    QStringList result;
    QTextStream in(&file);
    while (!in.atEnd())
        result.append(in.readLine());
    if (in.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        return false;
    *lines = result;
    return true;
}

bool write(const QString &path, const QStringList &rows)
{
    // Written beside the target and renamed over it at the end, so a full
    // disk or a lost device never leaves half a list in place of the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    QTextStream out(&file);
    for (const QString &row : rows)
        out << row << '\n';
    out.flush();
    if (out.status() != QTextStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace PointsFile
