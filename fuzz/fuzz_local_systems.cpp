// The definitions file: read or refused with a reason; what is read is written
// and read back the same, and a change applied to it keeps every other entry.
#include "LocalSystems.h"
#include "scratch_file.h"

#include <QFile>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    scratch::create("fuzz_local_systems");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = QString::fromStdString(scratch::path());
    scratch::write(data, size);
    LocalSystems::Systems systems;
    QString error;
    if (!LocalSystems::read(path, &systems, &error)) {
        require(!error.isEmpty() && !error.contains(QLatin1Char('\n')));
        return 0;
    }
    for (const LocalSystems::System &system : systems)
        require(LocalSystems::problem(system).isEmpty());
    LocalSystems::Systems after;
    require(LocalSystems::remove(path, QStringLiteral("\x01"), &error, &after));
    require(LocalSystems::changes(systems, after).isEmpty());
    LocalSystems::Systems again;
    require(LocalSystems::read(path, &again, &error) && again.size() == systems.size());
    require(LocalSystems::changes(systems, again).isEmpty());
    QFile::remove(path + QStringLiteral(".lock"));
    return 0;
}
