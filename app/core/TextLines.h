// Text lines of a device, one at a time, as the program reads every points
// file and the converter its inputs.
//
// A line ends at "\n", "\r\n" or a lone "\r" (older Mac tools); a last line
// without an end counts too. A UTF-8 byte-order mark at the start is dropped;
// a UTF-16 or UTF-32 one (Notepad's "Unicode") decodes the device as such.
// Otherwise each line is decided alone: a line that is valid UTF-8 is UTF-8,
// any other Windows-1251 (older Windows tools write that), so a file pieced
// together from both reads right. A NUL byte outside UTF-16 and UTF-32 means
// the device holds no text. Reading stops at the first read error and past
// maxFileSize bytes: nothing longer is a point list, and a device that never
// ends must not fill the memory. A line over maxLineSize is skipped, never held.
#ifndef TEXTLINES_H
#define TEXTLINES_H

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;
class QTextDecoder;

namespace TextLines {

// Far above any real list (a million points take some 50 MB).
const qint64 maxFileSize = qint64(1) << 30;
// A row is a name and three numbers; a longer line is no row, and holding it
// would make memory grow with the input.
const int maxLineSize = 1 << 20;

enum class Status {
    Ok,         // read to the end
    ReadError,  // the device failed (PointsFile::read: or it is no regular file)
    TooLarge,   // more than the size limit
    NotText,    // a NUL byte without a UTF-16 or UTF-32 byte-order mark
    LineTooLong // a line over maxLineSize (PointsFile::read; LineReader goes on past it)
};

// Lines of a device one at a time, without keeping what was returned: memory
// stays flat however long the device is. Blocking reads; a device that has no
// data for now (a socket, a process) is waited for without a time limit.
class LineReader
{
public:
    explicit LineReader(QIODevice *device, qint64 sizeLimit = maxFileSize);
    ~LineReader();

    // The next line's bytes without its end (UTF-8 for a UTF-16 or UTF-32
    // file). False at the end of the device, after a read error, past the
    // size limit or at a NUL byte (see status). A line over maxLineSize comes
    // back empty, with lineTooLong() true.
    bool readRawLine(QByteArray *line);
    // The next line as text: UTF-8 if it is valid UTF-8, else Windows-1251
    // (and windows1251() is true from then on).
    bool readLine(QString *line);
    // The same text as UTF-8 bytes.
    bool readUtf8Line(QByteArray *line);

    Status status() const { return state; }
    // Lines returned so far: the number of the last one, from 1.
    qint64 lineNumber() const { return lines; }
    bool windows1251() const { return cp1251; }
    // The last line returned was over maxLineSize and skipped.
    bool lineTooLong() const { return tooLong; }

private:
    bool fill();
    void checkStart();

    QIODevice *device;
    qint64 sizeLimit;
    qint64 total = 0; // bytes read from the device
    qint64 lines = 0;
    QByteArray buffer;
    int pos = 0;          // start of the unread bytes in buffer
    bool atEnd = false;   // the device has no more bytes
    bool skipLf = false;  // the last line ended with "\r": a "\n" next belongs to it
    bool bomDone = false; // the start was checked for a byte-order mark
    bool cp1251 = false;
    bool tooLong = false;
    bool ascii = false; // the last line returned holds only ASCII
    int crAt = -1;      // the first "\r" in buffer from where the search began, or its size
    int asciiEnd = -1;  // buffer is ASCII from pos to here (when not below pos)
    std::unique_ptr<QTextDecoder> decoder; // UTF-16 or UTF-32 into UTF-8
    Status state = Status::Ok;
};

// Every byte sequence is a well-formed UTF-8 character (no overlong forms, no
// surrogates, nothing past U+10FFFF).
bool isValidUtf8(const QByteArray &bytes);
QString fromWindows1251(const QByteArray &bytes);

} // namespace TextLines

#endif // TEXTLINES_H
