// Exports for maps and CAD through the window's button, and the writers at their limits.
#include "CellText.h"
#include "DxfExport.h"
#include "MapExport.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// A device that takes `room` bytes, then fails every write, as a full disk does.
struct FullDevice : QIODevice
{
    explicit FullDevice(qint64 r) { room = r, open(WriteOnly); }
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64 n) override { return n > room ? -1 : (room -= n, n); }
    qint64 room;
};

// The points of a KML file: "name|longitude,latitude[,height]".
QStringList kmlPoints(const QByteArray &bytes)
{
    QStringList points;
    QXmlStreamReader xml(bytes);
    QString name;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("name"))
            name = xml.readElementText();
        else if (xml.isStartElement() && xml.name() == QLatin1String("coordinates"))
            points << name + '|' + xml.readElementText();
    }
    return xml.hasError() ? QStringList {xml.errorString()} : points;
}

// The save dialog's answer, then the panel's export button; the status bar's message after.
QString exportFrom(TestWindow &w, Panel *panel, const QString &file, const QString &filter)
{
    QFile::remove(file);
    w.log.fileName = file;
    w.log.filter = filter;
    w.log.shown.clear();
    click(panel, "pushButtonExportMap");
    return w.window->statusBar()->currentMessage();
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT

private slots:
    // A table converted with the hemisphere left automatic exports what "Северное" exports,
    // saying so: every point, none skipped.
    void automaticHemisphere()
    {
        TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
        configure(w.left(), "geod:wgs84");
        setRows(*w.left(), {"Север; 55.75; 37.62; 150", "Экватор; 0.5; 20.5; 5"});
        const QString file = tempPath("auto.kml"), status("Для карты: 2 точки");
        for (const QString datum : {"sk42", "sk95", "gsk2011"}) {
            QStringList points[2];
            for (const QString hemisphere : {"auto", "n"}) {
                configure(w.right(), "gk:" + datum + ":auto:" + hemisphere);
                w.run();
                QCOMPARE(exportFrom(w, w.right(), file, "KML (*.kml)"),
                    hemisphere == "n"
                        ? status
                        : status + " (полушарие не выбрано: точки прочитаны как северные)");
                points[hemisphere == "n"] = kmlPoints(readFile(file));
            }
            // The converter's map of the same rows is the window's, byte for byte.
            QByteArray table;
            for (const PointRow &row : w.right()->table()->rows())
                row.appendLine(&table);
            QCOMPARE(
                convert({"-q", "--from", "gk:" + datum + ":auto:n", "--format", "kml"}, table).out,
                readFile(file));
            QCOMPARE(points[0], points[1]);
            // Back where they started: the plane's millimetres are 1e-8 of a degree.
            const double places[][2] = {{37.62, 55.75}, {20.5, 0.5}};
            QCOMPARE(points[0].size(), 2);
            for (int i = 0; i < 4; ++i) {
                const QString c = points[0][i / 2].section('|', 1).section(',', i % 2, i % 2);
                QVERIFY2(
                    std::fabs(number(c) - places[i / 2][i % 2]) < 1e-7, qPrintable(points[0][0]));
            }
        }
    }

    // Every kind a table can hold exports from either panel, its points back where they started.
    void everyPanelAndKind()
    {
        TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
        const QString file = tempPath("kinds.kml");
        configure(w.left(), "geod:wgs84");
        setRows(*w.left(), {"П1; 55.75; 37.62; 150", "П2; 56.1; 38.9; 20"});
        QCOMPARE(exportFrom(w, w.left(), file, "KML (*.kml)"), QString("Для карты: 2 точки"));
        const QStringList given = kmlPoints(readFile(file));
        for (const char *target : {"geod:sk42", "geod:pz90.11", "gk:sk42:7", "gk:sk95:auto:n",
                 "gk:gsk2011:7", "utm:37n", "geoc:wgs84", "geoc:pz90.11"}) {
            configure(w.right(), target);
            w.run();
            QCOMPARE(exportFrom(w, w.right(), file, "KML (*.kml)"), QString("Для карты: 2 точки"));
            const QStringList back = kmlPoints(readFile(file));
            QCOMPARE(back.size(), 2);
            // A millimetre of the table is 1e-8 of a degree; the height a millimetre.
            for (int i = 0; i < 6; ++i) {
                const auto at = [i](const QStringList &points) {
                    return number(points[i / 3].section('|', 1).section(',', i % 3, i % 3));
                };
                QVERIFY2(std::fabs(at(back) - at(given)) < (i % 3 == 2 ? 2e-3 : 1e-7),
                    qPrintable(QString(target) + ": " + back.join(' ')));
            }
        }
    }

    // An export that would write no point writes no file and says why; one point is enough.
    void nothingToExport()
    {
        TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
        configure(w.right(), "geod:wgs84");
        const QString file = tempPath("none.kml");
        const char *const cases[][3] = {// rows, status, part of the warning (none: written)
            {"", "Для карты: нет точек, файл не записан", "В таблице нет точек"},
            {"bad; x; 1; 2\nимя", "Для карты: нет точек, файл не записан",
                "Первая строка с координатами: неверная запись координат"},
            {"bad; x; 1; 2\n1; 55; 37; 0", "Для карты: 1 точка, пропущено: 1 строка", ""}};
        for (const auto &c : cases) {
            setRows(*w.right(), QString(c[0]).split('\n', Qt::SkipEmptyParts));
            const bool written = !*c[2];
            QCOMPARE(exportFrom(w, w.right(), file, "KML (*.kml)"), QString::fromUtf8(c[1]));
            QCOMPARE(QFileInfo::exists(file), written);
            QCOMPARE(w.log.shown.filter("warning|").size(), written ? 0 : 1);
            QVERIFY2(w.log.shown.join('\n').contains(QString::fromUtf8(c[2])),
                qPrintable(w.log.shown.join('\n')));
        }
    }

    // A plane table's file types add the drawing at each scale; the window's drawing is the
    // converter's, and a geodetic table refuses one, saying why.
    void dxfFromWindow()
    {
        TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
        const QStringList rows {
            "Пункт 1; 6190000.125; 7500000.5; 150.456", "Rp 2; 6190100; 7500100;", "bad; x; 1; 2"};
        configure(w.right(), "gk:sk42:7");
        setRows(*w.right(), rows);
        const char *const cases[][3] = {// the file name's suffix, the filter, the converter's scale
            {"", "DXF для CAD, масштаб 1:2000 (*.dxf)", "2000"}, {".dxf", "KML (*.kml)", "500"},
            {".DXF", "DXF для CAD, масштаб 1:5000 (*.dxf)", "5000"}};
        for (const auto &c : cases) {
            const QString file = tempPath("plan") + c[0];
            QCOMPARE(exportFrom(w, w.right(), file, QString::fromUtf8(c[1])),
                QString("Для CAD: 2 точки, пропущено: 1 строка"));
            const Run run = convert({"-q", "--from", "gk:sk42:7", "--to", "gk:sk42:7", "--format",
                                        "dxf", "--scale", c[2]},
                rows.join('\n').toUtf8());
            QCOMPARE(readFile(*c[0] ? file : file + ".dxf"), run.out);
        }
        for (const char *geodetic : {"geod:wgs84", "geoc:wgs84"}) {
            configure(w.right(), geodetic);
            setRows(*w.right(), {"1; 55; 37; 0"});
            exportFrom(w, w.right(), tempPath("geodetic.dxf"), "KML (*.kml)");
            QVERIFY(!QFileInfo::exists(tempPath("geodetic.dxf")));
            QVERIFY(w.log.shown.filter("save|").value(0).endsWith("GeoJSON (*.geojson)"));
            QVERIFY2(w.log.shown.filter("warning|").value(0).contains("а её система не плоская"),
                qPrintable(w.log.shown.join('\n')));
        }
    }

    // A write that fails anywhere fails the document: the window then keeps the old file.
    void fullDevice()
    {
        const QVector<MapExport::Point> points(3, MapExport::Point {"П", 55.5, 37.5, 150, true});
        for (const auto format :
            {MapExport::Format::Kml, MapExport::Format::Gpx, MapExport::Format::GeoJson}) {
            const qint64 size = MapExport::write(format, points).size();
            for (const qint64 room : {size, size - 1, qint64(0)}) {
                FullDevice device(room);
                MapExport::Writer writer(format, &device);
                for (const MapExport::Point &p : points)
                    writer.add(p);
                QCOMPARE(writer.finish(), room == size);
            }
        }
        const QVector<DxfExport::Point> plane(
            3, DxfExport::Point {"П", 7500000, 6190000, 150, true});
        QBuffer whole;
        whole.open(QIODevice::WriteOnly);
        QVERIFY(DxfExport::write(&whole, plane, 500));
        for (const qint64 room : {whole.size(), whole.size() - 1}) {
            FullDevice device(room);
            QCOMPARE(DxfExport::write(&device, plane, 500), room == whole.size());
        }
        QBuffer empty; // no point: the extents at the origin, not a default's
        empty.open(QIODevice::WriteOnly);
        QVERIFY(DxfExport::write(&empty, {}, 500)
            && empty.data().contains("$EXTMAX\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"));
        // A drawing of megabytes goes out in parts: a part that fails ends it.
        FullDevice half(1 << 19);
        QVERIFY(!DxfExport::write(&half, QVector<DxfExport::Point>(20000, plane.first()), 500));
    }

    // Labels in the drawing's code page: cp1251, \U+ beyond it, carets spelt out, one line,
    // cut at 250 bytes without splitting a character.
    void labels()
    {
        const QString smile = QString::fromUcs4(U"😀");
        const std::pair<QString, QByteArray> cases[] = {{"Пункт 1", "\xcf\xf3\xed\xea\xf2 1"},
            {"Ёж ё", "\xa8\xe6 \xb8"}, {"Ω7", "\\U+03A97"}, {smile, "\\U+D83D\\U+DE00"},
            {"a^b", "a^ b"}, {" two\nlines\t", "two lines"},
            {QString(250, 'x'), QByteArray(250, 'x')}, {QString(251, 'x'), QByteArray(250, 'x')},
            {QString(249, 'x') + "Ω", QByteArray(249, 'x')},
            {QString(243, 'x') + "Ω", QByteArray(243, 'x') + "\\U+03A9"},
            {QString(236, 'x') + smile, QByteArray(236, 'x') + "\\U+D83D\\U+DE00"},
            {QString(237, 'x') + smile, QByteArray(237, 'x')}};
        for (const auto &c : cases)
            QCOMPARE(QByteArray::fromStdString(DxfExport::text(c.first)), c.second);
        // The Cyrillic letters taken without the codec agree with it, and so does every
        // other character: its cp1251 byte, or its escape.
        QTextCodec *codec = QTextCodec::codecForName("windows-1251");
        for (ushort u = 0x80; u < 0xd800; ++u) {
            const QChar ch(u);
            const QByteArray oracle = CellText::singleLine(QString(ch)).isEmpty() ? QByteArray()
                : codec->canEncode(ch)
                ? codec->fromUnicode(QString(ch))
                : "\\U+" + QByteArray::number(u, 16).toUpper().rightJustified(4, '0');
            QCOMPARE(QByteArray::fromStdString(DxfExport::text(QString(ch))), oracle);
        }
    }

    // Names XML cannot hold become blanks; the rest reach the map as typed.
    void mapNames()
    {
        const QString smile = QString::fromUcs4(U"😀");
        const std::pair<QString, QString> cases[] = {{QString("a") + QChar(0xffff) + "b", "a b"},
            {QString("a") + QChar(0xfffe) + "b", "a b"},
            {QString("a") + QChar(0xfffd) + "b", QString("a") + QChar(0xfffd) + "b"},
            {QString("x") + QChar(0xd83d) + "y", "x y"}, {QString("x") + QChar(0xde00), "x"},
            {smile + " <&>\"", smile + " <&>\""}};
        Calculation::Reading numbers {{}, false, true, {55, 37, 0}};
        for (const auto &c : cases) {
            const MapExport::Point p = MapExport::pointOf(c.first, numbers);
            QCOMPARE(kmlPoints(MapExport::write(MapExport::Format::Kml, {p})),
                QStringList {c.second + "|37.000000000,55.000000000"});
        }
        // Numbers as the table writes them: 9 decimals of a degree, millimetres, no "-0".
        numbers = {{}, false, false, {-1e-12, 37.1234567894, 12.3456}};
        QVERIFY(MapExport::write(MapExport::Format::GeoJson, {MapExport::pointOf("r", numbers)})
                    .contains("[37.123456789,0,12.346]"));
    }

    // A drawing takes numbers up to a million kilometres, no further, in every coordinate.
    void drawingLimits()
    {
        Calculation::Side side;
        side.kind = SystemKind::GaussKruger;
        const std::pair<const char *, bool> cases[] = {// the coordinates; a point or not
            {"999999999.9|1|1", true}, {"1000000000|1|1", false}, {"1|-999999999.9|", true},
            {"1|-1000000000|", false}, {"1|1|1e9", false},
            {"1|1|x", true}}; // no height: no height label
        for (const auto &c : cases) {
            const QStringList v = QString(c.first).split('|');
            DxfExport::Point p;
            QCOMPARE(DxfExport::pointOf(side, {"a", {v[0], v[1], v[2]}, {}, {}}, &p), c.second);
        }
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
