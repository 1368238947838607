// Numbers with the Russian noun that agrees with them: "1 точка", "2 точки",
// "5 точек", "21 точка", "11 точек". Every text that counts goes through here.
#ifndef PLURAL_H
#define PLURAL_H

#include <QString>
#include <QVector>

namespace Plural {

// The form of a noun after n (n >= 0): `one` after 1, 21, 101 … but not 11,
// `few` after 2–4, 22–24 … but not 12–14, `many` after the rest. The forms are
// UTF-8. After "из" a noun takes the genitive: form(n, "точки", "точек", "точек").
QString form(qint64 n, const char *one, const char *few, const char *many);
// n and its noun: "21 точка".
QString count(qint64 n, const char *one, const char *few, const char *many);
// Rows listed by number: "строка 17", "строки 17, 230", with "…" when
// `total` is more than the rows listed.
QString rows(const QVector<qint64> &listed, qint64 total);
// The numbers of the first `limit` of row indices (from 0), counted from 1.
QVector<qint64> rowNumbers(const QVector<int> &indices, int limit);
// Numbers joined by `separator`: "5; 7; 9".
QString numbers(const QVector<qint64> &listed, const QString &separator);

} // namespace Plural

#endif // PLURAL_H
