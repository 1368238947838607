// The converter's options with a value, "--to X" or "--to=X".
#ifndef ARGUMENTS_H
#define ARGUMENTS_H

#include <QString>

// "--name=value": *arg becomes "--name" and *value the value. False, with
// both untouched, for any other form.
inline bool splitValue(QString *arg, QString *value)
{
    const int eq = arg->indexOf(QLatin1Char('='));
    if (!arg->startsWith(QLatin1String("--")) || eq <= 0)
        return false;
    *value = arg->mid(eq + 1);
    arg->truncate(eq);
    return true;
}

#endif // ARGUMENTS_H
