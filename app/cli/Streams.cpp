#include "Streams.h"

#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString systemReason(int code)
{
    switch (code) {
    case ENOENT:
        return QStringLiteral("нет такого файла или каталога");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case EISDIR:
        return QStringLiteral("это каталог");
    case ENOTDIR:
        return QStringLiteral("часть пути — не каталог");
    case ENOSPC:
        return QStringLiteral("нет места на диске");
    case EDQUOT:
        return QStringLiteral("превышена дисковая квота");
    case EROFS:
        return QStringLiteral("диск только для чтения");
    case EFBIG:
        return QStringLiteral("превышен допустимый размер файла");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case ELOOP:
        return QStringLiteral("зацикленные символические ссылки");
    case EPIPE:
        return QStringLiteral("читающая сторона закрыта");
    case ENXIO:
    case ENODEV:
        return QStringLiteral("устройство недоступно");
    case ETXTBSY:
    case EBUSY:
        return QStringLiteral("файл занят");
    default:
        return QStringLiteral("ошибка системы %1").arg(code);
    }
}

bool Input::open(const QString &path, const QString &shown)
{
    const bool standard = path == QLatin1String("-");
    name = standard ? QStringLiteral("стандартный ввод") : shown;
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
    reader.reset(new TextLines::LineReader(&file));
    return true;
}

Output::~Output()
{
    if (ownFd)
        ::close(fd);
}

bool Output::open(const QString &path)
{
    if (path.isEmpty())
        return true;
    // A device, a FIFO or a terminal is written to, never replaced by a
    // regular file: "-o /dev/null" as root must leave /dev/null alone.
    struct stat st;
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return fail(errno);
        ownFd = true;
        return true;
    }
    // QSaveFile refuses a file it may not write without an errno.
    if (::access(name.constData(), W_OK) != 0 && errno != ENOENT)
        return fail(errno);
    // Unbuffered: a failed write leaves its errno, the reason to give.
    file.reset(new QSaveFile(path));
    errno = 0;
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(errno);
    return true;
}

bool Output::fail(int error)
{
    ok = false;
    code = error != 0 ? error : EIO;
    pending.clear();
    return false;
}

bool Output::flush()
{
    if (!ok || pending.isEmpty())
        return ok;
    if (!write(pending))
        return false;
    pending.clear();
    return true;
}

bool Output::write(const QByteArray &bytes)
{
    if (file) {
        errno = 0;
        if (file->write(bytes) != bytes.size())
            return fail(errno);
    } else {
        const char *p = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return fail(errno);
            p += n;
            left -= n;
        }
    }
    if (!file)
        rows += bytes.count('\n'); // what a reader has seen; a file is seen whole or not
    return true;
}

bool Output::commit()
{
    if (!flush())
        return false;
    if (file) {
        errno = 0;
        if (!file->commit())
            return fail(errno);
    }
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
