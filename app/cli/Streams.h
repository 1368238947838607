// The converter's ends: an input file or standard input read as the program
// reads points files, the output written whole or not at all when it is a
// file, and a progress bar on a terminal.
#ifndef STREAMS_H
#define STREAMS_H

#include "TextLines.h"

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
    // `path` as QFile takes it ("-": standard input), `shown` as messages
    // name it. False, with errno set, when the file cannot be read.
    bool open(const QString &path, const QString &shown);

    // The next line's text in UTF-8.
    bool next(QByteArray *line) { return reader->readUtf8Line(line); }
    bool lineTooLong() const { return reader->lineTooLong(); }
    TextLines::Status status() const { return reader->status(); }
    const QString &displayName() const { return name; }
    qint64 consumed() const { return file.isSequential() ? 0 : file.pos(); }

private:
    QFile file;
    std::unique_ptr<TextLines::LineReader> reader;
    QString name;
};

// Standard output, a device, a FIFO or a terminal written as it comes, or a
// regular file replaced only when everything was written. The first failed
// write stops all writing; error() gives its errno.
class Output
{
public:
    Output() = default;
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;
    ~Output();

    // `path` as QFile takes it; "" is standard output. False, with error()
    // set, when it cannot be opened.
    bool open(const QString &path);
    void append(const QByteArray &rows)
    {
        if (!ok)
            return;
        // A big piece goes out as it is, not copied behind the rest first.
        if (rows.size() >= directSize) {
            if (flush())
                write(rows);
            return;
        }
        pending += rows;
        if (pending.size() >= flushSize)
            flush();
    }
    bool flush();
    bool commit();
    bool failed() const { return !ok; }
    int error() const { return code; }
    // True when the output is a file replaced at commit: until then the old
    // file stays as it was.
    bool replacesFile() const { return bool(file); }
    // Rows already out (standard output, a device): what a reader has seen.
    qint64 rowsWritten() const { return rows; }

private:
    bool fail(int error);

    // Standard output, a device or the file: the first failure stops all writing.
    bool write(const QByteArray &bytes);

    static const int flushSize = 1 << 20;
    static const int directSize = 1 << 16;
    std::unique_ptr<QSaveFile> file;
    int fd = 1; // standard output, or the device opened
    bool ownFd = false;
    QByteArray pending;
    qint64 rows = 0;
    bool ok = true;
    int code = 0;
};

// A bar on standard error, shown once the input has taken over a second.
class Progress
{
public:
    explicit Progress(qint64 total);
    // Bytes read so far; with no known size (a pipe), the lines read.
    void update(qint64 done, qint64 lines);
    // Clears the bar, as before any other line on standard error.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    qint64 total;
    bool enabled;
    bool shown = false;
    Clock::time_point started;
    Clock::time_point last;
};

// The system's reason for a failed file operation, from its errno.
QString systemReason(int code);

#endif // STREAMS_H
