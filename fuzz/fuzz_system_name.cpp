// The converter's system names on arbitrary text, for the input and the
// output side. Checks: no crash or undefined behaviour; a refusal is one line; an accepted name
// gives a side the calculation can be set up with, and the input side never leaves the hemisphere
// to be guessed.
#include "Calculation.h"
#include "SystemName.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    for (const bool input : {true, false}) {
        SystemName::Choices choices;
        QString error;
        if (!SystemName::parse(name, input, &choices, &error)) {
            if (error.isEmpty() || error.contains(QLatin1Char('\n'))
                || error.contains(QLatin1Char('\r')))
                std::abort();
            continue;
        }
        Calculation::Side side;
        if (!SystemName::side(choices, input, &side))
            std::abort();
        if (input && !check_refsystem(&side.system) && side.system.hemisphere == 0)
            std::abort();
        Calculation::Calculator calculator(side, side, nullptr);
        const bool complete = check_refsystem(&side.system) != 0;
        if (!Calculation::usesGeoid(side)
            && !(complete ? calculator.setUpFixed() : calculator.setUpAutoZone()))
            std::abort();
    }
    return 0;
}
