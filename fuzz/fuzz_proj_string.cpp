// PROJ definitions: read as one of the datums or refused with a reason, never
// two ways; what is read writes back as itself.
#include "written_forms.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString definition = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    SystemName::Choices choices;
    QString error;
    QString note;
    if (!ProjString::read(definition, &choices, &note, &error)) {
        require(!error.isEmpty());
        return 0;
    }
    require(choices.kind == SystemKind::TransverseMercator && printable(note));
    checkWritten(choices, true);
    return 0;
}
