// Every written form of a system (tm:, proj: and the rest), as --from, --to
// and the panels read it: read or refused with a one-line reason; what is read
// writes back as itself, and its PROJ definition reads back as its datum.
#include "Calculation.h"
#include "ProjString.h"
#include "SystemName.h"
#include "scratch_file.h"

#include <cstdint>

namespace {

bool printable(const QString &text)
{
    for (const QChar ch : text) {
        if (ch.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

void checkWritten(const SystemName::Choices &choices, bool input)
{
    const QString written = SystemName::format(choices);
    SystemName::Choices again;
    QString error;
    require(!written.isEmpty() && printable(written)
        && SystemName::parse(written, input, &again, &error)
        && SystemName::format(again) == written);
    Calculation::Side side;
    if (choices.kind == SystemKind::Local || !SystemName::side(choices, input, &side))
        return;
    const QString definition = ProjString::write(side.system);
    require(printable(definition) && !definition.contains(QLatin1String("=-0 ")));
    QString note;
    require(definition.isEmpty()
        || (ProjString::read(definition, &again, &note, &error)
            && again.datum == side.system.datum));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    for (const bool input : {true, false}) {
        SystemName::Choices choices;
        QString error, note;
        if (SystemName::parse(name, input, &choices, &error, &note))
            checkWritten(choices, input);
        else
            require(!error.isEmpty() && printable(error));
    }
    return 0;
}
