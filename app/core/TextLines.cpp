#include "TextLines.h"

#include <QIODevice>
#include <QTextCodec>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace TextLines {

namespace {

const int chunkSize = 64 * 1024;

// Windows-1251 from 0x80 to 0xBF; 0xC0 to 0xFF are А to я in order. 0x98 is
// unassigned and kept as the control character U+0098 (a blank in a cell).
const ushort cp1251High[64] = {
    0x0402, 0x0403, 0x201a, 0x0453, 0x201e, 0x2026, 0x2020, 0x2021, //
    0x20ac, 0x2030, 0x0409, 0x2039, 0x040a, 0x040c, 0x040b, 0x040f, //
    0x0452, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, //
    0x0098, 0x2122, 0x0459, 0x203a, 0x045a, 0x045c, 0x045b, 0x045f, //
    0x00a0, 0x040e, 0x045e, 0x0408, 0x00a4, 0x0490, 0x00a6, 0x00a7, //
    0x0401, 0x00a9, 0x0404, 0x00ab, 0x00ac, 0x00ad, 0x00ae, 0x0407, //
    0x00b0, 0x00b1, 0x0406, 0x0456, 0x0491, 0x00b5, 0x00b6, 0x00b7, //
    0x0451, 0x2116, 0x0454, 0x00bb, 0x0458, 0x0405, 0x0455, 0x0457, //
};

// The first "\n" or "\r" in [p, end), or end, with `cr` the first "\r" at or
// after p (or end): the search for the "\n" stops there, so that a file of
// lone "\r" ends is not scanned to its end for each line.
const char *lineEnd(const char *p, const char *cr)
{
    const auto *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(cr - p)));
    return lf ? lf : cr;
}

// The first byte past ASCII in [p, end), or end; eight bytes at a time.
const char *firstNonAscii(const char *p, const char *end)
{
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (p != end && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    return p;
}

} // namespace

LineReader::LineReader(QIODevice *device, qint64 sizeLimit)
    : device(device)
    , sizeLimit(sizeLimit)
{
}

LineReader::~LineReader() = default;

bool LineReader::fill()
{
    if (atEnd || state != Status::Ok)
        return false;
    if (pos > 0) {
        buffer.remove(0, pos);
        asciiEnd -= pos;
        pos = 0;
    }
    crAt = -1;
    // One byte past the limit tells a file of exactly the limit from a longer one.
    const qint64 wanted = std::min<qint64>(chunkSize, sizeLimit - total + 1);
    const int old = buffer.size();
    buffer.resize(old + int(wanted));
    qint64 n = device->read(buffer.data() + old, wanted);
    while (n == 0 && device->isSequential() && device->waitForReadyRead(-1))
        n = device->read(buffer.data() + old, wanted);
    buffer.resize(old + int(std::max<qint64>(n, 0)));
    if (n < 0) {
        state = Status::ReadError;
        return false;
    }
    total += n;
    if (total > sizeLimit) {
        state = Status::TooLarge;
        return false;
    }
    if (n == 0) {
        atEnd = true;
        return false;
    }
    if (decoder) {
        const QByteArray text = decoder->toUnicode(buffer.constData() + old, int(n)).toUtf8();
        buffer.resize(old);
        buffer += text;
    }
    // Before the start is checked, the bytes may still be UTF-16.
    if (bomDone && std::memchr(buffer.constData() + old, 0, size_t(buffer.size() - old)))
        state = Status::NotText;
    return state == Status::Ok;
}

void LineReader::checkStart()
{
    while (buffer.size() - pos < 4 && fill()) { }
    bomDone = true;
    if (state != Status::Ok)
        return;
    // UTF-32LE before UTF-16LE: its mark starts with the same two bytes.
    const struct
    {
        const char *mark;
        int size;
        const char *codec;
    } marks[] = {
        {"\xef\xbb\xbf", 3, nullptr},
        {"\xff\xfe\0\0", 4, "UTF-32LE"},
        {"\0\0\xfe\xff", 4, "UTF-32BE"},
        {"\xff\xfe", 2, "UTF-16LE"},
        {"\xfe\xff", 2, "UTF-16BE"},
    };
    for (const auto &m : marks) {
        if (buffer.size() - pos >= m.size
            && std::memcmp(buffer.constData() + pos, m.mark, size_t(m.size)) == 0) {
            pos += m.size;
            if (m.codec) {
                decoder.reset(
                    QTextCodec::codecForName(m.codec)->makeDecoder(QTextCodec::IgnoreHeader));
                const QByteArray text
                    = decoder->toUnicode(buffer.constData() + pos, buffer.size() - pos).toUtf8();
                buffer = text;
                pos = 0;
            }
            break;
        }
    }
    if (std::memchr(buffer.constData() + pos, 0, size_t(buffer.size() - pos)))
        state = Status::NotText;
    crAt = -1;
    asciiEnd = -1;
}

bool LineReader::readRawLine(QByteArray *line)
{
    if (!bomDone)
        checkStart();
    tooLong = false;
    qint64 skipped = 0; // bytes of this line dropped: it is over the limit
    int known = 0;      // bytes after pos already scanned: no line end among them
    for (;;) {
        if (state != Status::Ok)
            return false;
        if (skipLf && pos < buffer.size()) {
            if (buffer.at(pos) == '\n')
                ++pos;
            skipLf = false;
        }
        if (!skipLf) {
            const char *const begin = buffer.constData() + pos;
            const char *const end = buffer.constData() + buffer.size();
            if (crAt < pos + known) {
                const auto *cr = static_cast<const char *>(
                    std::memchr(begin + known, '\r', size_t(end - begin - known)));
                crAt = int((cr ? cr : end) - buffer.constData());
            }
            const char *p = lineEnd(begin + known, buffer.constData() + crAt);
            known = int(p - begin);
            if (p != end || (atEnd && known + skipped > 0)) {
                tooLong = skipped + known > maxLineSize;
                // Lines before the first byte past ASCII need no check of their UTF-8.
                if (asciiEnd < pos)
                    asciiEnd = int(firstNonAscii(begin, end) - buffer.constData());
                ascii = skipped == 0 && pos + known <= asciiEnd;
                // Into the caller's bytes: a line read after another takes no allocation.
                line->resize(tooLong ? 0 : known);
                if (!tooLong)
                    std::memcpy(line->data(), begin, size_t(known));
                skipLf = p != end && *p == '\r';
                pos += known + (p != end ? 1 : 0);
                ++lines;
                return true;
            }
            if (skipped + known > maxLineSize) {
                skipped += known;
                pos += known;
                known = 0;
            }
        }
        if (atEnd)
            return false;
        fill(); // keeps the unread bytes, now from pos 0: `known` still holds
    }
}

bool LineReader::readLine(QString *line)
{
    QByteArray bytes;
    if (!readUtf8Line(&bytes))
        return false;
    *line = QString::fromUtf8(bytes);
    return true;
}

bool LineReader::readUtf8Line(QByteArray *line)
{
    if (!readRawLine(line))
        return false;
    if (!ascii && !isValidUtf8(*line)) {
        cp1251 = true;
        *line = fromWindows1251(*line).toUtf8();
    }
    return true;
}

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *const end = p + bytes.size();
    // Most lines are ASCII: eight bytes at a time until a high bit shows.
    for (std::uint64_t word; end - p >= 8; p += 8) {
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (p != end) {
        const unsigned c = *p++;
        if (c < 0x80)
            continue;
        int more;
        unsigned low = 0x80, high = 0xbf; // the range of the second byte
        if (c >= 0xc2 && c <= 0xdf) {
            more = 1;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2;
            if (c == 0xe0)
                low = 0xa0; // overlong
            else if (c == 0xed)
                high = 0x9f; // surrogates
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3;
            if (c == 0xf0)
                low = 0x90; // overlong
            else if (c == 0xf4)
                high = 0x8f; // past U+10FFFF
        } else {
            return false;
        }
        if (end - p < more || *p < low || *p > high)
            return false;
        for (++p, --more; more > 0; --more, ++p) {
            if ((*p & 0xc0) != 0x80)
                return false;
        }
    }
    return true;
}

QString fromWindows1251(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        *out++ = QChar(b < 0x80 ? ushort(b)
                : b >= 0xc0     ? ushort(0x0410 + b - 0xc0)
                                : cp1251High[b - 0x80]);
    }
    return text;
}

} // namespace TextLines
