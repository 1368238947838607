// Files as surveyors have them, through the window and the real converter, and map exports.
#include "Plural.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <tuple>

namespace {

// Name, latitude, longitude, height ("" when none) of each point of a map file.
QStringList readMap(const QByteArray &bytes, const QString &format)
{
    QStringList points;
    if (format == "geojson") {
        const QJsonObject root = QJsonDocument::fromJson(bytes).object();
        if (root["type"] != "FeatureCollection")
            return {"not a FeatureCollection"};
        for (const QJsonValue f : root["features"].toArray()) {
            const QJsonArray c = f["geometry"]["coordinates"].toArray(); // longitude first
            points << f["properties"]["name"].toString() + '|'
                    + QString::number(c[1].toDouble(), 'f', 9) + '|'
                    + QString::number(c[0].toDouble(), 'f', 9) + '|'
                    + (c.size() > 2 ? QString::number(c[2].toDouble(), 'f', 3) : QString());
        }
        return points;
    }
    QXmlStreamReader xml(bytes);
    QString name, coordinates, ele;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString tag = xml.name().toString();
        if (xml.isStartElement() && tag == "wpt") {
            coordinates = xml.attributes().value("lat") + ',' + xml.attributes().value("lon");
            ele.clear();
        } else if (xml.isStartElement() && tag == "name") {
            name = xml.readElementText();
        } else if (xml.isStartElement() && tag == "ele") {
            ele = xml.readElementText();
        } else if (xml.isStartElement() && tag == "coordinates") {
            const QStringList c = xml.readElementText().split(','); // longitude first
            coordinates = c.value(1) + ',' + c.value(0);
            ele = c.value(2);
        } else if (xml.isEndElement() && (tag == "wpt" || tag == "Placemark")) {
            points << name + '|' + coordinates.replace(',', '|') + '|' + ele;
        }
    }
    return xml.hasError() ? QStringList {xml.errorString()} : points;
}

// The converter's rows in the same form, numbers to the same digits.
QStringList readRows(const QByteArray &out)
{
    QStringList points;
    for (const QString &line : QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts)) {
        const PointRow row = PointRow::fromLine(line);
        if (!row.coordinatesBlank())
            points << row.name + '|' + row.coordinates[0] + '|' + row.coordinates[1] + '|'
                    + row.coordinates[2];
    }
    return points;
}

} // namespace

class TestSurveyFiles : public QObject
{
    Q_OBJECT

private slots:
    void counts();
    void loads_data();
    void loads();
    void longitudesBeyondATurn();
    void undoRestoresMarks();
    void mapExport_data();
    void mapExport();
    void mapFormats();
};

// Against the forms written out for 0 to 29 (точка, точки, точек); past 19 only the last digit.
void TestSurveyFiles::counts()
{
    const char *const forms[] = {"точка", "точки", "точек"};
    for (int n = 0; n <= 200; ++n) {
        const int k = n % 100 < 20 ? n % 100 : 20 + n % 10;
        QCOMPARE(Plural::form(n, forms[0], forms[1], forms[2]),
            QString::fromUtf8(forms["201112222222222222222011122222"[k] - '0']));
    }
    QCOMPARE(Plural::count(1011, "точка", "точки", "точек"), QString("1011 точек"));
    QCOMPARE(Plural::rows({17}, 1), QString("строка 17"));
    QCOMPARE(Plural::rows({17, 230}, 2), QString("строки 17, 230"));
    QCOMPARE(Plural::rows({17}, 2), QString("строки 17, …"));
    QCOMPARE(Plural::rows({}, 3), QString("строки …"));
}

// A file through the window's load, calculation and save, and through the converter.
void TestSurveyFiles::loads_data()
{
    for (const char *column : {"content", "loadStatus", "warning", "calcStatus", "err"})
        QTest::addColumn<QString>(column);
    QTest::addColumn<int>("exit");
    const QString gk = "1;6190000;7500000;150\n";
    const QString reason = ": нет координат; поля разделяются «;», «,» или табуляцией\n";
    const QString blanks = "Поля, похоже, разделены пробелами: ни в одной строке нет координат. "
                           "Разделяйте поля «;», «,» или табуляцией.";
    const QString skipped = "первая строка — заголовок, пропущена";
    for (const char *header : {"Имя;X;Y;H", "name;lat;lon;h"})
        dataRow(header, header + ("\n" + gk), "Загружено строк: 1; " + skipped, "",
            "Пересчитано 1 из 1 точки", "«F»: " + skipped + "\n", 0);
    dataRow("header without height, then a row of letters", "name,x,y\nbad,x,y,z\n" + gk,
        "Загружено строк: 2; " + skipped, "", "Пересчитано 1 из 2 точек, ошибок: 1 (строка 1)",
        "F:2: неверная запись координат\n«F»: " + skipped
            + "\nпересчитано 1 из 2 точек, ошибок: 1\n",
        1);
    // A digit in a coordinate, a point's missing values, or a lone letter other than an axis:
    // no column words but a row.
    for (const char *first :
        {"X1;x;y;5", "P1;O;O;O", "P1;-;-;-", "P1;N/A;N/A;N/A", "P1;;;нет", "P1;x;;"})
        dataRow(first, first + ("\n" + gk), "Загружено строк: 2", "",
            "Пересчитано 1 из 2 точек, ошибок: 1 (строка 1)",
            "F:1: неверная запись координат\nпересчитано 1 из 2 точек, ошибок: 1\n", 1);
    // A failed row saved by the program has blank coordinates: a row, not a header.
    dataRow("saved failed row first", "P; ; ; \n" + gk,
        "Загружено строк: 2; без координат: 1 (строка 1)", "",
        "Пересчитано 1 из 1 точки, без координат: 1 (строка 1)",
        "F:1" + reason + "пересчитано 1 из 1 точки, без координат: 1\n", 1);
    dataRow("blank-separated", "P1 6190000 7500000 150\n\nP2 6190100 7500100 150\n",
        "Загружено строк: 3; без координат: 2 (строки 1, 3)", blanks,
        "Пересчитано 0 из 0 точек, без координат: 2 (строки 1, 3)",
        "F:1" + reason + "F:3" + reason + "«F»: " + blanks
            + "\nпересчитано 0 из 0 точек, без координат: 2\n",
        1);
    dataRow("a blank line and a name alone among rows", gk + "\nname only\n" + gk,
        "Загружено строк: 4; без координат: 1 (строка 3)", "",
        "Пересчитано 2 из 2 точек, без координат: 1 (строка 3)",
        "F:3" + reason + "пересчитано 2 из 2 точек, без координат: 1\n", 1);
    dataRow(
        "blank lines only", "\n\n", "Загружено строк: 2", "", "Пересчитано 0 из 0 точек", "", 0);
}

void TestSurveyFiles::loads()
{
    QFETCH(QString, content);
    QFETCH(int, exit);
    const QString input = tempPath("F"), saved = tempPath("saved.txt");
    QVERIFY(writeFile(input, content.toUtf8()));
    TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
    configure(w.left(), "gk:sk42:7");
    configure(w.right(), "geod:wgs84");
    w.log.fileName = input;
    click(w.left(), "pushButtonLoad");
    QTEST(w.window->statusBar()->currentMessage(), "loadStatus");
    QFETCH(QString, warning);
    QCOMPARE(w.log.shown.filter("warning|").join('\n'),
        warning.isEmpty() ? QString() : "warning|Предупреждение|" + warning);
    w.run();
    QTEST(w.window->statusBar()->currentMessage(), "calcStatus");
    w.log.fileName = saved;
    click(w.right(), "pushButtonSave");

    QVERIFY(QDir::setCurrent(tempPath()));
    const Run run = convert({"--from", "gk:sk42:7", "--to", "geod:wgs84", "F"});
    QCOMPARE(run.out, readFile(saved));
    QCOMPARE(run.status, exit);
    QFETCH(QString, err);
    const QRegularExpression lineStart("^(?=.)", QRegularExpression::MultilineOption);
    QCOMPARE(QString::fromUtf8(run.err), err.replace(lineStart, "kelvadra-convert: "));
    // Quiet, the converter still says that it skipped a line.
    const Run quiet = convert({"--quiet", "--from", "gk:sk42:7", "--to", "geod:wgs84", "F"});
    QCOMPARE(quiet.status, exit);
    QCOMPARE(QString::fromUtf8(quiet.err).split('\n', Qt::SkipEmptyParts),
        err.split('\n', Qt::SkipEmptyParts).filter("заголовок"));
}

// 365, -355 and 725 degrees give what 5 gives in every kind of system; back, in the range asked.
void TestSurveyFiles::longitudesBeyondATurn()
{
    const QByteArray rows = "a, 55, 5, 100\nb, 55, 365, 100\nc, 55, -355, 100\nd, 55, 725, 100\n";
    // On one datum the geoid grid is read at the longitude as given.
    for (const QString to : {"gk:sk42:auto", "gk:gsk2011:auto:auto", "utm:31n",
             "geod:wgs84:deg+egm96", "tm:sk42:lon0=4.5,lat0=0,k=1,fe=300000,fn=-5000000"}) {
        const Run run = convert(
            {"--from", to.contains("egm96") ? "geod:wgs84" : "geod:sk42", "--to", to}, rows);
        QCOMPARE(run.status, 0);
        const QStringList lines = QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        for (const QString &line : lines)
            QVERIFY2(line.mid(1) == lines.first().mid(1), qPrintable(to + ": " + line));
    }
    const Run plane = convert({"--from", "geod:sk42", "--to", "gk:sk42:auto"}, rows);
    for (const char *to : {"geod:sk42:deg", "geod:sk42:deg:360"}) {
        const QStringList back
            = readRows(convert({"--from", "gk:sk42:auto", "--to", to}, plane.out).out);
        QCOMPARE(back.size(), 4);
        for (const QString &row : back)
            QVERIFY2(row.mid(1) == back.first().mid(1)
                    && std::fabs(number(row.section('|', 2, 2)) - 5) < 1e-8,
                qPrintable(row));
    }
}

// Ctrl+Z after a calculation brings back the failed row's mark and reason.
void TestSurveyFiles::undoRestoresMarks()
{
    TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
    configure(w.left(), "geod:wgs84");
    configure(w.right(), "gk:sk42:7");
    setRows(*w.left(), {"A; 55; 80; 0"});
    w.run();
    PointTable *right = w.right()->table();
    const QString reason = right->item(0, 0)->toolTip();
    QCOMPARE(reason, QString("точка дальше 6° от осевого меридиана зоны"));
    setRows(*w.left(), {"A; 55; 39; 0"});
    w.run();
    QVERIFY(right->item(0, 0)->toolTip().isEmpty() && !right->item(0, 1)->text().isEmpty());
    QTest::keyClick(right, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(right->item(0, 0)->toolTip(), reason);
    QCOMPARE(right->item(0, 2)->background(), QBrush(QColor(255, 220, 220)));
    QCOMPARE(tableCells(*w.right()), QStringList {"A|||"});
}

void TestSurveyFiles::mapExport_data()
{
    // "heights": the converter's system with the same heights
    addColumns<QString, QString, QString>("format", "filter", "heights");
    dataRow("KML", QString("kml"), QString("KML (*.kml)"), QString("geod:wgs84:deg+egm96"));
    dataRow("GPX", QString("gpx"), QString("GPX (*.gpx)"), QString("geod:wgs84:deg+egm96"));
    dataRow(
        "GeoJSON", QString("geojson"), QString("GeoJSON (*.geojson)"), QString("geod:wgs84:deg"));
}

// Window and converter export the same file: names as given, the points of --to geod:wgs84:deg.
void TestSurveyFiles::mapExport()
{
    QFETCH(QString, format);
    const QByteArray rows = "P<1> & \"Ы\";6190000;7500000;150\nbad;x;1;2\n\nname only\n"
                            "2;6200000.5;7510000.25;\n";
    const QString input = tempPath("map.txt"), output = tempPath("map");
    QVERIFY(writeFile(input, rows));
    TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
    configure(w.left(), "gk:sk42:7");
    w.log.fileName = input;
    click(w.left(), "pushButtonLoad");
    QFile::remove(output + '.' + format);
    w.log.fileName = output;
    QFETCH(QString, filter);
    w.log.filter = filter;
    click(w.left(), "pushButtonExportMap");
    QCOMPARE(w.window->statusBar()->currentMessage(),
        QString("Для карты: 2 точки, пропущено: 2 строки"));
    const QByteArray exported = readFile(output + '.' + format);

    const Run run = convert({"--from", "gk:sk42:7", "--format", format, input});
    QCOMPARE(run.out, exported);
    QCOMPARE(run.status, 1);
    QVERIFY(run.err.endsWith("kelvadra-convert: для карты: 2 точки, пропущено: 2 строки\n"));
    const QStringList points = readMap(exported, format);
    QFETCH(QString, heights);
    const QStringList expected
        = readRows(convert({"--from", "gk:sk42:7", "--to", heights, input}).out);
    const QStringList plain
        = readRows(convert({"--from", "gk:sk42:7", "--to", "geod:wgs84:deg", input}).out);
    QCOMPARE(points.size(), 2);
    QCOMPARE(expected.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QStringList got = points[i].split('|'), want = expected[i].split('|'),
                          latLon = plain[i].split('|');
        QCOMPARE(got[0], want[0]);
        QVERIFY2(std::fabs(number(got[1]) - number(latLon[1])) <= 1e-9
                && std::fabs(number(got[2]) - number(latLon[2])) <= 1e-9,
            qPrintable(points[i] + " / " + plain[i]));
        QCOMPARE(got[3], want[3]);
    }
    QCOMPARE(points[0].section('|', 0, 0), QString("P<1> & \"Ы\""));
}

// The converter's --format at its edges; the window's typed suffix wins over the file type.
void TestSurveyFiles::mapFormats()
{
    QVERIFY(QDir::setCurrent(tempPath()));
    const QByteArray row = "1;6190000;7500000;150\n";
    // The arguments, the exit status, the output's start and a part of the error.
    const std::tuple<QString, int, const char *, const char *> cases[] = {
        {"--format kmz", 2, "", "--format: ожидается kml, gpx, geojson, dxf или points"},
        {"--format kml --to geod:wgs84", 2, "", "--format kml пишет точки в WGS 84: --to не нужен"},
        {"--format", 2, "", "после --format ожидается значение"},
        {"--format KML", 0, "<?xml", ""},
        {"--format points --to geod:wgs84:deg", 0, "1; 55.832", ""},
        {"--format gpx --geoid absent.grd", 2, "", "не удалось открыть сетку геоида «absent.grd»"},
    };
    for (const auto &[args, status, start, err] : cases) {
        const Run run = convert(("--from gk:sk42:7 " + args).split(' ', Qt::SkipEmptyParts), row);
        QCOMPARE(run.status, status);
        QVERIFY2(run.out.startsWith(start), run.out.constData());
        QVERIFY2(QString::fromUtf8(run.err).contains(QString::fromUtf8(err)), run.err.constData());
    }

    TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
    configure(w.right(), "gk:sk42:7");
    setRows(*w.right(), {QString::fromUtf8(row)});
    w.log.fileName = tempPath("typed.gpx");
    w.log.filter = "KML (*.kml)";
    click(w.right(), "pushButtonExportMap");
    QVERIFY(readFile(w.log.fileName).contains("<gpx"));
    QCOMPARE(w.log.shown.filter("save|").value(0),
        QString("save|Экспорт для карты|KML (*.kml);;GPX (*.gpx);;GeoJSON (*.geojson);;"
                "DXF для CAD, масштаб 1:500 (*.dxf);;DXF для CAD, масштаб 1:1000 (*.dxf);;"
                "DXF для CAD, масштаб 1:2000 (*.dxf);;DXF для CAD, масштаб 1:5000 (*.dxf)"));
}

QTEST_MAIN(TestSurveyFiles)
#include "tst_surveyfiles.moc"
