#include "Plural.h"

#include <QStringList>

namespace Plural {

QString form(qint64 n, const char *one, const char *few, const char *many)
{
    const qint64 last = n % 10, lastTwo = n % 100;
    const char *word = lastTwo >= 11 && lastTwo <= 14 ? many
        : last == 1                                   ? one
        : last >= 2 && last <= 4                      ? few
                                                      : many;
    return QString::fromUtf8(word);
}

QString count(qint64 n, const char *one, const char *few, const char *many)
{
    return QString::number(n) + QLatin1Char(' ') + form(n, one, few, many);
}

QString rows(const QVector<qint64> &listed, qint64 total)
{
    QString text = numbers(listed, QStringLiteral(", "));
    if (total > listed.size())
        text += text.isEmpty() ? QStringLiteral("…") : QStringLiteral(", …");
    return (total == 1 ? QStringLiteral("строка ") : QStringLiteral("строки ")) + text;
}

QVector<qint64> rowNumbers(const QVector<int> &indices, int limit)
{
    QVector<qint64> listed;
    for (int i = 0; i < indices.size() && i < limit; ++i)
        listed.append(indices.at(i) + 1);
    return listed;
}

QString numbers(const QVector<qint64> &listed, const QString &separator)
{
    QStringList texts;
    for (const qint64 n : listed)
        texts.append(QString::number(n));
    return texts.join(separator);
}

} // namespace Plural
