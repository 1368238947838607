// The converter's system names on arbitrary text, for the input and the
// output side. Checks: no crash or undefined behaviour; a refusal is one line; an accepted name
// gives a side the calculation can be set up with, and the input side never leaves the hemisphere
// to be guessed.
#include "Calculation.h"
#include "SystemName.h"
#include "scratch_file.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    for (const bool input : {true, false}) {
        SystemName::Choices choices;
        QString error;
        if (!SystemName::parse(name, input, &choices, &error)) {
            require(!error.isEmpty() && !error.contains(QLatin1Char('\n'))
                && !error.contains(QLatin1Char('\r')));
            continue;
        }
        Calculation::Side side;
        require(SystemName::side(choices, input, &side));
        const bool complete = check_refsystem(&side.system) != 0;
        require(!input || complete || side.system.hemisphere != 0);
        Calculation::Calculator calculator(side, side, nullptr);
        require(Calculation::usesGeoid(side)
            || (complete ? calculator.setUpFixed() : calculator.setUpAutoZone()));
    }
    return 0;
}
