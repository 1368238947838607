// Every written form of a system, as --from, --to and the panels read it; what
// is read writes back as itself.
#include "written_forms.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    for (const bool input : {true, false}) {
        SystemName::Choices choices;
        QString error = QStringLiteral("unset");
        QString note;
        if (SystemName::parse(name, input, &choices, &error, &note))
            checkWritten(choices, input);
        else
            require(!error.isEmpty() && printable(error));
    }
    return 0;
}
