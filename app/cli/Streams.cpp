#include "Streams.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <string>

#include <unistd.h>

QString openError(int code)
{
    switch (code) {
    case ENOENT:
        return QStringLiteral("нет такого файла");
    case EACCES:
        return QStringLiteral("нет доступа");
    case EISDIR:
        return QStringLiteral("это каталог");
    default:
        return QStringLiteral("файл не читается");
    }
}

bool Input::open(const QString &path)
{
    const bool standard = path == QLatin1String("-");
    name = standard ? QStringLiteral("стандартный ввод") : path;
    const QFileInfo info(path);
    file.setFileName(standard ? QString() : path);
    if (!standard && info.isDir()) {
        errno = EISDIR;
        return false;
    }
    errno = 0;
    const bool opened
        = standard ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        if (errno == 0)
            errno = info.exists() ? EACCES : ENOENT;
        return false;
    }
    if (!file.isSequential())
        size = file.size();
    reader.reset(new PointsFile::LineReader(&file));
    return true;
}

Progress::Progress(qint64 total)
    : total(total)
    , enabled(isatty(STDERR_FILENO) == 1)
    , started(Clock::now())
{
}

void Progress::update(qint64 done, qint64 lines)
{
    if (!enabled)
        return;
    const auto now = Clock::now();
    if (now - started < std::chrono::seconds(1) || now - last < std::chrono::milliseconds(200))
        return;
    last = now;
    shown = true;
    if (total <= 0) {
        std::fprintf(stderr, "\rстрок: %lld", static_cast<long long>(lines));
    } else {
        const int width = 40;
        const qint64 part = qMin(done, total);
        const int filled = int(part * width / total);
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
            std::string(size_t(width - filled), '.').c_str(), int(part * 100 / total));
    }
    std::fflush(stderr);
}

void Progress::finish()
{
    if (shown)
        std::fprintf(stderr, "\r%60s\r", "");
    shown = false;
}
