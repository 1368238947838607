// The converter's ends: an input file or standard input read as the program
// reads points files, the output written whole or not at all, and a progress
// bar on a terminal.
#ifndef STREAMS_H
#define STREAMS_H

#include "PointsFile.h"

#include <QFile>
#include <QSaveFile>

#include <chrono>
#include <memory>

// One input: a named file or standard input, read a line at a time as the
// program reads points files (line ends, byte-order mark, UTF-8 or
// Windows-1251, the size limit).
class Input
{
public:
    // False, with errno set, when the file cannot be read.
    bool open(const QString &path);

    bool next(QString *line) { return reader->readLine(line); }
    PointsFile::Status status() const { return reader->status(); }
    const QString &displayName() const { return name; }
    qint64 total() const { return size; }
    qint64 consumed() const { return file.isSequential() ? 0 : file.pos(); }

private:
    QFile file;
    std::unique_ptr<PointsFile::LineReader> reader;
    QString name;
    qint64 size = -1;
};

// Standard output, or a file replaced only when everything was written.
class Output
{
public:
    bool open(const QString &path)
    {
        if (path.isEmpty() || path == QLatin1String("-"))
            return true;
        file.reset(new QSaveFile(path));
        return file->open(QIODevice::WriteOnly);
    }
    void append(const QByteArray &rows)
    {
        pending += rows;
        if (pending.size() >= flushSize)
            flush();
    }
    bool flush()
    {
        if (!pending.isEmpty()) {
            if (file)
                ok = ok && file->write(pending) == pending.size();
            else
                ok = ok
                    && std::fwrite(pending.constData(), 1, size_t(pending.size()), stdout)
                        == size_t(pending.size());
            pending.clear();
        }
        return ok;
    }
    bool commit()
    {
        flush();
        if (file)
            return ok && file->commit();
        return ok && std::fflush(stdout) == 0;
    }

private:
    static const int flushSize = 1 << 20;
    std::unique_ptr<QSaveFile> file;
    QByteArray pending;
    bool ok = true;
};

// A bar on standard error, shown once the input has taken over a second.
class Progress
{
public:
    explicit Progress(qint64 total);
    // Bytes read so far; with no known size (a pipe), the lines read.
    void update(qint64 done, qint64 lines);
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    qint64 total;
    bool enabled;
    bool shown = false;
    Clock::time_point started;
    Clock::time_point last;
};

// The reason a file cannot be read, from its errno.
QString openError(int code);

#endif // STREAMS_H
