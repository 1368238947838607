// Local systems: written forms, the definitions file, keys by hand, PROJ's cs2cs.
#include "Calculation.h"
#include "ProjString.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <cmath>

using namespace Calculation;

namespace {

const QString msk
    = QStringLiteral("tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566");
const char *const epsgSk42 = "+proj=tmerc +lat_0=0 +lon_0=37.98333333333 +k=1 +x_0=2250000 "
                             "+y_0=-5712900.566 +ellps=krass +units=m +no_defs +towgs84=23.57,"
                             "-140.95,-79.8,0,%1";

LocalSystems::System local(const char *name, const QString &base, LocalSystems::System::Keys keys,
    std::initializer_list<double> values, std::initializer_list<double> dh = {0, 0, 0})
{
    LocalSystems::System s;
    s.name = QString::fromUtf8(name), s.base = base, s.keys = keys;
    std::copy(values.begin(), values.end(), s.values);
    std::copy(dh.begin(), dh.end(), s.dh);
    return s;
}

const LocalSystems::Systems systems = {
    local("Город", "gk:sk42:7", LocalSystems::System::Keys::Similarity,
        {-6000000.5, -7000000.25, 0.99999, 0.0001}, {12.5, 1e-5, -2e-5}),
    local("U", "utm:37n", LocalSystems::System::Keys::Affine,
        {1000, -6000000, 1.00001, 0.00002, -0.00003, 0.99998}),
};

// One row converted between two written systems.
PointRow converted(const QString &from, const QString &to, const QString &line)
{
    SystemName::Choices a, b;
    Side source, target;
    QString error;
    if (!SystemName::parse(from, true, &a, &error) || !SystemName::parse(to, false, &b, &error)
        || !SystemName::side(a, true, &source, &systems)
        || !SystemName::side(b, false, &target, &systems))
        qFatal("%s", qPrintable(from + " -> " + to + ": " + error));
    return Calculator(source, target, nullptr).convert(PointRow::fromLine(line));
}

double value(const PointRow &row, int i)
{
    return row.coordinates[i].toDouble();
}

} // namespace

class TestLocalSystems : public QObject
{
    Q_OBJECT

private slots:
    void writtenForms_data();
    void writtenForms();
    void definitionsFile_data();
    void definitionsFile();
    void keysByHand();
    void printedForProj();
};

void TestLocalSystems::writtenForms_data()
{
    // "written" empty: refused; "message" in the error, or in the note
    addColumns<QString, QString, QString>("name", "written", "message");
    dataRow("tm", msk, msk, QString());
    dataRow("tm, any order", QString("tm:gsk2011:fn=-4511057.63,fe=1300000,k=0.9,lat0=0,lon0=180"),
        QString("tm:gsk2011:lon0=180,lat0=0,k=0.9,fe=1300000,fn=-4511057.63"), QString());
    dataRow("tm, scale 0.8999", QString(msk).replace("k=1", "k=0.8999"), QString(),
        QString("k от 0.9"));
    dataRow("tm, meridian 180.1", QString(msk).replace("lon0=37.98333333333", "lon0=180.1"),
        QString(), QString("|lon0| не больше 180"));
    dataRow("tm, no fn", msk.section(",fn", 0, 0), QString(), QString("все пять"));
    dataRow("tm, k twice", msk + ",k=1", QString(), QString("«k=1»"));
    dataRow(
        "tm, decimal comma", QString(msk).replace("lat0=0", "lat0=0,5"), QString(), QString("«5»"));
    dataRow("msk without a name", QString("msk:"), QString(), QString("msk:ИМЯ"));
    // EPSG's SK-42 parameters, either rotation sign: SK-42, the difference stated.
    for (const char *rotations : {"0.35,0.79,-0.22", "-0.35,-0.79,-0.22"})
        dataRow(rotations, "proj:" + QString(epsgSk42).arg(rotations), msk,
            QString("взят датум Пулково 42"));
    dataRow("proj, WGS 84", QString("proj:+proj=tmerc +lon_0=39 +x_0=500000 +datum=WGS84"),
        QString("tm:wgs84:lon0=39,lat0=0,k=1,fe=500000,fn=0"), QString("WGS 84"));
    dataRow("proj, scale sign flipped", "proj:" + QString(epsgSk42).arg("0.35,0.79,0.22"),
        QString(), QString("отличается на 2.8"));
    dataRow("proj, Krasovsky without a shift",
        "proj:" + QString(epsgSk42).section(" +towgs84", 0, 0), QString(),
        QString("нужен +towgs84"));
    dataRow("proj, another projection", QString("proj:+proj=utm +zone=37 +datum=WGS84"), QString(),
        QString("«+proj=utm»"));
    dataRow("proj, another ellipsoid",
        QString("proj:+proj=tmerc +a=6378388 +rf=297 +towgs84=0,0,0"), QString(),
        QString("эллипсоид не совпадает"));
}

void TestLocalSystems::writtenForms()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    QFETCH(QString, message);
    SystemName::Choices choices;
    QString error, note;
    QCOMPARE(SystemName::parse(name, false, &choices, &error, &note), !written.isEmpty());
    QVERIFY2((written.isEmpty() ? error : note).contains(message), qPrintable(error + note));
    if (!written.isEmpty())
        QCOMPARE(SystemName::format(choices), written);
}

void TestLocalSystems::definitionsFile_data()
{
    // "message" empty: read
    addColumns<QByteArray, QString>("content", "message");
    const QByteArray good = "[\n {\"name\": \"A\", \"base\": \"utm:37n\"},\n";
    dataRow("keys and a height plane", good + R"( {"name": "B", "base": "gk:sk42:7",
 "keys": {"affine": [1, 2, 1, 0, 0, 1]}, "dh": [1, 1e-5, 0]}])",
        QString());
    dataRow("four affine values", good + R"( {"name": "B", "base": "gk:sk42:7",
 "keys": {"affine": [1, 2, 1, 0]}}])",
        QString("строка 3, запись 2 «B»: \"affine\": ожидаются 6"));
    dataRow("a name twice", good + R"( {"name": "A", "base": "utm:37n"}])",
        QString("строка 3, запись 2 «A»: имя уже занято"));
    dataRow("degenerate keys", good + R"( {"name": "B", "base": "utm:37n",
 "keys": {"similarity": [0, 0, 0, 0]}}])",
        QString("ключи вырождены"));
    dataRow("a zone left automatic", good + R"( {"name": "B", "base": "gk:sk42:auto"}])",
        QString("ожидается tm:, utm: или gk: с номером зоны"));
    dataRow("JSON broken", good + "{]", QString("строка 3: ошибка записи JSON"));
    dataRow("not a list", QByteArray("{}"), QString("ожидается список"));
}

// Read, or refused naming line and entry; written and read back the same, or nothing left.
void TestLocalSystems::definitionsFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString path = tempPath("systems.json");
    QVERIFY(writeFile(path, content));
    LocalSystems::Systems read = systems;
    QString error;
    QCOMPARE(LocalSystems::read(path, &read, &error), message.isEmpty());
    QVERIFY2(error.contains(message), qPrintable(error));
    if (!message.isEmpty()) {
        QCOMPARE(read.size(), systems.size()); // untouched
        return;
    }
    QVERIFY(LocalSystems::write(path, read, &error));
    LocalSystems::Systems again;
    QVERIFY(LocalSystems::read(path, &again, &error));
    QCOMPARE(again.size(), 2);
    QCOMPARE(again.at(1).dh[1], 1e-5);
    QCOMPARE(again.at(1).values[5], 1.0);
    QVERIFY(!LocalSystems::write(path + "/under-a-file.json", read, &error));
    QVERIFY2(error.contains("не записан"), qPrintable(error));
    QVERIFY(LocalSystems::read(tempPath("absent.json"), &again, &error) && again.isEmpty());
}

// The keys by hand on the base result give the local one (UTM too), and back unchanged.
void TestLocalSystems::keysByHand()
{
    const QString point = QStringLiteral("P; 55.75; 38.1; 150");
    for (const LocalSystems::System &s : systems) {
        const PointRow base = converted("geod:sk42", s.base, point);
        const PointRow keyed = converted("geod:sk42", "msk:" + s.name, point);
        const plane_keys k = s.planeKeys();
        const bool utm = s.base.startsWith("utm");
        const double x = value(base, utm ? 1 : 0), y = value(base, utm ? 0 : 1);
        const double expected[3] = {k.dx + k.a1 * x + k.a2 * y, k.dy + k.b1 * x + k.b2 * y,
            value(base, 2) + k.dh + k.sx * x + k.sy * y};
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::fabs(value(keyed, i) - expected[i]) <= 0.0015,
                qPrintable(
                    keyed.coordinates[i] + " by hand " + QString::number(expected[i], 'f', 4)));
        const QString line
            = QStringLiteral("P; %1; %2; %3")
                  .arg(keyed.coordinates[0], keyed.coordinates[1], keyed.coordinates[2]);
        const PointRow geodetic = converted("msk:" + s.name, "geod:wgs84:deg", line);
        const PointRow back = converted("geod:wgs84", "msk:" + s.name,
            QStringLiteral("P; %1; %2; %3")
                .arg(geodetic.coordinates[0], geodetic.coordinates[1], geodetic.coordinates[2]));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(back.coordinates[i], keyed.coordinates[i]);
    }
}

// The PROJ definition given to cs2cs converts as the program does, to 1.5 mm over ±3°.
void TestLocalSystems::printedForProj()
{
    for (const QString &system : {msk, QStringLiteral("gk:sk95:8:s"), QStringLiteral("utm:37n")}) {
        SystemName::Choices choices;
        Side side;
        QString error;
        QVERIFY(SystemName::parse(system, true, &choices, &error)
            && SystemName::side(choices, true, &side));
        const QString definition = ProjString::write(side.system);
        QString input;
        QVector<PointRow> rows;
        const double meridian = system == msk ? 37.98333333333 : system.startsWith("gk") ? 45 : 39;
        for (double lat : {-33.0, 41.0, 55.75, 69.5}) {
            for (double dlon : {-2.9, 0.0, 2.9}) {
                const double latitude = system.endsWith(":s") ? -std::fabs(lat) : std::fabs(lat);
                input += QStringLiteral("%1 %2 100\n")
                             .arg(meridian + dlon, 0, 'f', 9)
                             .arg(latitude, 0, 'f', 9);
                rows << converted("geod:wgs84", system,
                    QStringLiteral("P; %1; %2; 100")
                        .arg(latitude, 0, 'f', 9)
                        .arg(meridian + dlon, 0, 'f', 9));
            }
        }
        const Run cs2cs = runProcess("cs2cs",
            QStringList {"-f", "%.4f", "+proj=longlat", "+datum=WGS84", "+to"}
                + definition.split(' '),
            input.toLatin1());
        const QStringList lines = QString::fromLatin1(cs2cs.out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const QStringList proj
                = lines.at(i).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
            const bool northFirst = !system.startsWith("utm");
            const double east = value(rows.at(i), northFirst ? 1 : 0);
            const double north = value(rows.at(i), northFirst ? 0 : 1);
            QVERIFY2(std::hypot(proj.value(0).toDouble() - east, proj.value(1).toDouble() - north)
                    <= 0.0015,
                qPrintable(system + ": " + lines.at(i)));
        }
    }
}

QTEST_MAIN(TestLocalSystems)
#include "tst_localsystems.moc"
