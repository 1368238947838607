#include "DxfExport.h"

#include "CellText.h"

#include <QIODevice>
#include <QTextCodec>

#include <dl_dxf.h>
#include <dl_writer_ascii.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace DxfExport {

const char pointsLayer[] = "POINTS";
const char namesLayer[] = "NAMES";
const char heightsLayer[] = "HEIGHTS";

namespace {

// TEXT values of R2000 hold 256 bytes at most; the rest of a name is cut.
const int maxTextBytes = 250;
// Metres: a plane coordinate or height a drawing takes.
const double maxCoordinate = 1e9;
// Handles below this are the tables' and blocks'.
const qint64 firstEntityHandle = 0x100;

// dxflib writes only through DL_WriterA, which opens a file by name. This
// one sends the groups to a device instead, so that the window's file is
// written whole or not at all (QSaveFile) and the converter's goes to its
// output; numbers carry "." in every locale, which the C library's printf of
// DL_WriterA does not under ru_RU.
class DeviceWriter : public DL_WriterA
{
public:
    explicit DeviceWriter(QIODevice *device)
        : DL_WriterA("", DL_Codes::AC1015)
        , device(device)
    {
        buffer.reserve((1u << 20) + 4096);
    }

    void dxfReal(int gc, double value) const override
    {
        code(gc);
        // A micrometre, without the trailing zeros.
        char text[400];
        const auto end
            = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
        const char *last = end.ptr;
        while (last[-1] == '0' && last[-2] != '.')
            --last;
        buffer.append(text, size_t(last - text));
        buffer += '\n';
    }
    void dxfInt(int gc, int value) const override
    {
        code(gc);
        integer(value, 10);
        buffer += '\n';
    }
    void dxfHex(int gc, int value) const override
    {
        code(gc);
        integer(unsigned(value), 16);
        buffer += '\n';
    }
    void dxfString(int gc, const char *value) const override
    {
        code(gc);
        buffer += value;
        buffer += '\n';
    }
    void dxfString(int gc, const std::string &value) const override
    {
        code(gc);
        buffer += value;
        buffer += '\n';
    }

    // What is buffered to the device; false once a write failed.
    bool flush() const
    {
        const qint64 size = qint64(buffer.size());
        if (ok && size > 0)
            ok = device->write(buffer.data(), size) == size;
        buffer.clear();
        return ok;
    }
    bool flushSome() const { return buffer.size() < (1u << 20) || flush(); }

private:
    // Group codes right-aligned in three columns, as AutoCAD writes them.
    void code(int gc) const
    {
        if (gc < 100)
            buffer += gc < 10 ? "  " : " ";
        integer(unsigned(gc), 10);
        buffer += '\n';
    }
    // Hexadecimal in capitals, as handles are written.
    template <class Integer> void integer(Integer value, int base) const
    {
        char text[24] = {};
        char *end = std::to_chars(text, text + sizeof text, value, base).ptr;
        for (char *c = text; c < end; ++c)
            *c = char(std::toupper(static_cast<unsigned char>(*c)));
        buffer.append(text, size_t(end - text));
    }

    QIODevice *device;
    mutable std::string buffer;
    mutable bool ok = true;
};

QString heightText(double height)
{
    return CellText::formatFixed(height, 2);
}

void writeTables(DL_Dxf &dxf, DeviceWriter &dw, double textHeight)
{
    dxf.writeVPort(dw);
    dw.tableLinetypes(3);
    dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
    dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
    dw.tableEnd();
    // Colours: points white, names green, heights cyan, as survey plans in CAD tend to be.
    const struct
    {
        const char *name;
        int color;
    } layers[] = {{"0", DL_Codes::white}, {pointsLayer, DL_Codes::white},
        {namesLayer, DL_Codes::green}, {heightsLayer, DL_Codes::cyan}};
    dw.tableLayers(int(std::size(layers)));
    for (const auto &layer : layers)
        dxf.writeLayer(dw, DL_LayerData(layer.name, 0),
            DL_Attributes(std::string(), layer.color, 100, "CONTINUOUS", 1.0));
    dw.tableEnd();
    // A TrueType font: the shape font txt.shx of the usual "Standard" style
    // has no Cyrillic letters and shows them as "?". dxflib records it as
    // AutoCAD records a TrueType style, by its family in the style's ACAD
    // data (and leaves the font file of group 3 empty).
    dw.tableStyle(1);
    dxf.writeStyle(dw, DL_StyleData("Standard", 0, 0.0, 1.0, 0.0, 0, textHeight, "Arial", ""));
    dw.tableEnd();
    dxf.writeView(dw);
    dxf.writeUcs(dw);
    dw.tableAppid(1);
    dxf.writeAppid(dw, "ACAD");
    dw.tableEnd();
    dxf.writeDimStyle(dw, textHeight, textHeight, textHeight, textHeight, textHeight);
    dxf.writeBlockRecord(dw);
    dw.tableEnd();
}

void writeBlocks(DL_Dxf &dxf, DeviceWriter &dw)
{
    for (const char *name : {"*Model_Space", "*Paper_Space", "*Paper_Space0"}) {
        dxf.writeBlock(dw, DL_BlockData(name, 0, 0.0, 0.0, 0.0));
        dxf.writeEndBlock(dw, name);
    }
}

void writeLabel(DL_Dxf &dxf, DeviceWriter &dw, double x, double y, double z, double height,
    const std::string &value, const char *layer)
{
    // Left-aligned on the baseline: the insertion point alone places it.
    dxf.writeText(dw, DL_TextData(x, y, z, x, y, z, height, 1.0, 0, 0, 0, value, "Standard", 0.0),
        DL_Attributes(layer, DL_Codes::bylayer, 0, "BYLAYER", 1.0));
}

} // namespace

bool parseScale(const QString &text, int *scale)
{
    for (const int s : scales) {
        if (text.trimmed() == QString::number(s)) {
            *scale = s;
            return true;
        }
    }
    return false;
}

double textHeight(int scale)
{
    return 0.002 * scale;
}

bool isPlane(const Calculation::Side &side)
{
    switch (side.kind) {
    case SystemKind::GaussKruger:
    case SystemKind::Utm:
    case SystemKind::TransverseMercator:
    case SystemKind::Local:
        return true;
    default:
        return false;
    }
}

bool pointOf(const Calculation::Side &side, const QString &name, const double coordinates[3],
    bool hasHeight, Point *point)
{
    if (!isPlane(side))
        return false;
    // A local system's keys work on (northing, easting) whatever its base.
    const bool eastingFirst
        = side.kind != SystemKind::Local && side.system.axis_order == KV_AXES_EASTING_NORTHING;
    Point p;
    p.name = CellText::singleLine(name);
    p.easting = coordinates[eastingFirst ? 0 : 1];
    p.northing = coordinates[eastingFirst ? 1 : 0];
    p.hasHeight = hasHeight;
    p.height = hasHeight ? coordinates[2] : 0.0;
    // Beyond a million kilometres a number is no survey point (Gauss-Krüger
    // eastings end at 60 500 km).
    for (const double v : {p.easting, p.northing, p.height}) {
        if (!(std::fabs(v) < maxCoordinate))
            return false;
    }
    *point = p;
    return true;
}

bool pointOf(const Calculation::Side &side, const PointRow &row, Point *point)
{
    double v[3] = {0.0, 0.0, 0.0};
    return row.outcome != PointRow::Outcome::Failed && row.outcome != PointRow::Outcome::NoPoint
        && CellText::parseNumber(row.coordinates[0], &v[0])
        && CellText::parseNumber(row.coordinates[1], &v[1])
        && pointOf(side, row.name, v, CellText::parseNumber(row.coordinates[2], &v[2]), point);
}

bool pointOf(const Calculation::Side &side, const QString &name,
    const Calculation::Reading &converted, Point *point)
{
    double v[3];
    for (int i = 0; i < 3; ++i)
        v[i] = CellText::writtenValue(converted.point[i], Calculation::metreDecimals);
    return pointOf(side, name, v, !converted.heightDefaulted, point);
}

std::string text(const QString &label)
{
    static QTextCodec *const codec = QTextCodec::codecForName("windows-1251");
    const QString line = CellText::singleLine(label);
    std::string out;
    out.reserve(size_t(line.size()));
    for (int i = 0; i < line.size(); ++i) {
        // UTF-16 units: past U+FFFF a character is two escapes, its
        // surrogates, which CAD programs (UTF-16 inside) join again.
        const QChar ch = line.at(i);
        std::string piece;
        if (ch.unicode() < 0x80) {
            // A caret starts DXF's notation of control characters: "^ " is one caret.
            piece = ch == QLatin1Char('^') ? std::string("^ ") : std::string(1, ch.toLatin1());
        } else if (ch.unicode() >= 0x410 && ch.unicode() <= 0x44f) {
            // А to я, most of a Russian name, without the codec's cost.
            piece = std::string(1, char(ch.unicode() - 0x410 + 0xc0));
        } else if (!ch.isSurrogate() && codec->canEncode(ch)) {
            piece = codec->fromUnicode(QString(ch)).toStdString();
        } else {
            piece = "\\U+"
                + QByteArray::number(ch.unicode(), 16)
                      .toUpper()
                      .rightJustified(4, '0')
                      .toStdString();
        }
        // A surrogate pair is kept whole or cut whole.
        const size_t room = ch.isHighSurrogate() ? 2 * piece.size() : piece.size();
        if (out.size() + room > size_t(maxTextBytes))
            break;
        out += piece;
    }
    return out;
}

bool write(QIODevice *device, const QVector<Point> &points, int scale)
{
    const double h = textHeight(scale);
    double low[3] = {0, 0, 0};
    double high[3] = {0, 0, 0};
    for (int i = 0; i < points.size(); ++i) {
        const Point &p = points.at(i);
        const double xyz[3] = {p.easting, p.northing, p.height};
        for (int k = 0; k < 3; ++k) {
            low[k] = i == 0 ? xyz[k] : std::min(low[k], xyz[k]);
            high[k] = i == 0 ? xyz[k] : std::max(high[k], xyz[k]);
        }
    }

    DL_Dxf dxf;
    DeviceWriter dw(device);
    // dxflib's writeHeader gives a fixed $HANDSEED of FFFF, which three
    // entities a point pass at 21 846 points: the seed must exceed every
    // handle, and handles start at 30 (hex) plus a few dozen for the tables.
    dw.sectionHeader();
    dw.dxfString(9, "$ACADVER");
    dw.dxfString(1, "AC1015");
    dw.dxfString(9, "$HANDSEED");
    dw.dxfHex(5, int(firstEntityHandle + 3 * qint64(points.size()) + 0x100));
    dw.dxfString(9, "$DWGCODEPAGE");
    dw.dxfString(3, "ANSI_1251");
    dw.dxfString(9, "$INSUNITS");
    dw.dxfInt(70, 6); // metres
    dw.dxfString(9, "$EXTMIN");
    dw.dxfReal(10, low[0]);
    dw.dxfReal(20, low[1]);
    dw.dxfReal(30, low[2]);
    dw.dxfString(9, "$EXTMAX");
    dw.dxfReal(10, high[0]);
    dw.dxfReal(20, high[1]);
    dw.dxfReal(30, high[2]);
    dw.dxfString(9, "$TEXTSIZE");
    dw.dxfReal(40, h);
    dw.sectionEnd();
    dw.sectionTables();
    writeTables(dxf, dw, h);
    dw.sectionEnd();
    dw.sectionBlocks();
    writeBlocks(dxf, dw);
    dw.sectionEnd();

    dw.sectionEntities();
    const DL_Attributes onPoints(pointsLayer, DL_Codes::bylayer, 0, "BYLAYER", 1.0);
    for (const Point &p : points) {
        dxf.writePoint(dw, DL_PointData(p.easting, p.northing, p.height), onPoints);
        const double x = p.easting + 0.5 * h;
        writeLabel(dxf, dw, x, p.northing + 0.5 * h, p.height, h, text(p.name), namesLayer);
        if (p.hasHeight)
            writeLabel(dxf, dw, x, p.northing - 1.5 * h, p.height, h,
                heightText(p.height).toStdString(), heightsLayer);
        if (!dw.flushSome())
            return false;
    }
    dw.sectionEnd();
    dxf.writeObjects(dw);
    dxf.writeObjectsEnd(dw);
    dw.dxfEOF();
    return dw.flush();
}

} // namespace DxfExport
