// What the system-name targets check of every system they read: its written
// form reads back as itself, and nothing written holds a byte that is not text.
#ifndef FUZZ_WRITTEN_FORMS_H
#define FUZZ_WRITTEN_FORMS_H

#include "Calculation.h"
#include "ProjString.h"
#include "SystemName.h"
#include "scratch_file.h"

inline bool printable(const QString &text)
{
    for (const QChar ch : text) {
        if (ch.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

inline void checkWritten(const SystemName::Choices &choices, bool input)
{
    const QString written = SystemName::format(choices);
    require(!written.isEmpty() && printable(written));
    SystemName::Choices again;
    QString error;
    require(SystemName::parse(written, input, &again, &error));
    require(SystemName::format(again) == written);
    if (choices.kind == SystemKind::Local)
        return;
    Calculation::Side side;
    require(SystemName::side(choices, input, &side));
    const QString definition = ProjString::write(side.system);
    require(printable(definition) && !definition.contains(QLatin1String("-0 ")));
    if (definition.isEmpty())
        return;
    // This program's own definition is read as the same datum.
    SystemName::Choices read;
    QString note;
    require(ProjString::read(definition, &read, &note, &error));
    require(read.datum == side.system.datum);
}

#endif // FUZZ_WRITTEN_FORMS_H
