// Helpers shared by the program's tests: a recorder that answers every
// dialog, named children of a form, table contents and small files.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "Dialogs.h"

#include <QObject>
#include <QStringList>
#include <QTest>

class Panel;

// While alive, answers every dialog and records it as "kind|title|text".
struct DialogLog
{
    DialogLog();
    ~DialogLog();
    QStringList shown;
    bool yes = true;  // the answer to confirmations
    QString fileName; // the answer to file dialogs; empty cancels
};

// One row of a data-driven test, the values in column order.
template <class... Values> void dataRow(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

template <class T> T *child(const QObject *parent, const char *name)
{
    T *widget = parent->findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// The panel's table, one "name|c1|c2|c3" text per row.
QStringList tableCells(const Panel &panel);
// A number written with "." whatever the locale; NaN when it is none.
double number(const QString &text);
bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);

#endif // TESTSUPPORT_H
