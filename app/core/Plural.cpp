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
    QStringList numbers;
    for (const qint64 n : listed)
        numbers.append(QString::number(n));
    if (total > listed.size())
        numbers.append(QStringLiteral("…"));
    return (total == 1 ? QStringLiteral("строка ") : QStringLiteral("строки "))
        + numbers.join(QStringLiteral(", "));
}

} // namespace Plural
