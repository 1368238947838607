// Local systems: written forms, the definitions file, keys by hand, PROJ's cs2cs.
#include "Calculation.h"
#include "LocalSystemsDialog.h"
#include "NumberText.h"
#include "ProjString.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

using namespace Calculation;
using Keys = LocalSystems::System::Keys;

namespace {

const QString msk("tm:sk42:lon0=37.98333333333,lat0=0,k=1,fe=2250000,fn=-5712900.566");

const LocalSystems::Systems systems = {
    {"Город", "gk:sk42:7", Keys::Similarity, {-6000000.5, -7000000.25, 0.99999, 0.0001},
        {12.5, 1e-5, -2e-5}, {}},
    {"U", "utm:37n", Keys::Affine, {1000, -6000000, 1.00001, 0.00002, -0.00003, 0.99998}, {}, {}},
};

PointRow converted(const QString &from, const QString &to, const PointRow &row)
{
    SystemName::Choices a, b;
    Side source, target;
    QString error;
    if (!SystemName::parse(from, true, &a, &error) || !SystemName::parse(to, false, &b, &error)
        || !SystemName::side(a, true, &source, &systems)
        || !SystemName::side(b, false, &target, &systems))
        qFatal("%s", qPrintable(from + " -> " + to + ": " + error));
    return Calculator(source, target, nullptr).convert(row);
}

// EPSG's SK-42 zone of `msk` for PROJ, up to its rotations.
const QString sk42(
    "proj:+proj=tmerc +lat_0=0 +lon_0=37.98333333333 +k=1 +x_0=2250000 "
    "+y_0=-5712900.566 +ellps=krass +units=m +no_defs +towgs84=23.57,-140.95,-79.8,0,");

// Two points in each system, for --fit.
bool writePoints()
{
    return writeFile(tempPath("A.txt"), "P1;6000000;7400000;1\nP2;6010000;7410000;1\n")
        && writeFile(tempPath("B.txt"), "P1;0;0;1\nP2;10000;10000;1\n");
}

// Presses a button of the editor as its user does.
void press(QDialog *dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(child<QDialogButtonBox>(dialog, "buttonBox")->button(which), Qt::LeftButton);
}

// A window's writer for concurrentWriters: read the file, add one system, write the change.
int windowWriter(const QString &path, const QString &prefix, int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        LocalSystems::Systems before;
        QString error;
        if (!LocalSystems::read(path, &before, &error))
            return 1;
        LocalSystems::Systems after = before;
        after.append({prefix + QString::number(i), "gk:sk42:7", Keys::None, {}, {}, {}});
        if (!LocalSystems::apply(path, LocalSystems::changes(before, after), nullptr, &error))
            return 2;
    }
    return 0;
}

} // namespace

class TestLocalSystems : public QObject
{
    Q_OBJECT

    static double value(const PointRow &row, int i) { return row.coordinates[i].toDouble(); }

private slots:
    void writtenForms_data()
    {
        // `written` empty when refused; `message` in the error, or else in the note.
        addColumns<QString, QString, QString>("name", "written", "message");
        const auto form = [](const char *tag, const QString &name, const QString &written,
                              const QString &note = {}) { dataRow(tag, name, written, note); };
        const auto no = [](const char *tag, const QString &name, const QString &message) {
            dataRow(tag, name, QString(), message);
        };
        const QString pulkovo("взят датум Пулково 42"), far("отличается в области проекции до");
        const QString itrf("+towgs84=0.016,-0.105,-0.022,-0.002281,0.003498,-0.004208,0.008");
        form("tm", msk, msk);
        form("tm, any order", "tm:gsk2011:fn=-4511057.63,fe=1300000,k=0.9,lat0=0,lon0=180",
            "tm:gsk2011:lon0=180,lat0=0,k=0.9,fe=1300000,fn=-4511057.63");
        no("tm, scale 0.8999", QString(msk).replace("k=1", "k=0.8999"), "k от 0.9");
        no("tm, 180.1°", QString(msk).replace("37.98333333333", "180.1"), "|lon0| не больше 180");
        no("tm, no fn", msk.section(",fn", 0, 0), "все пять");
        no("tm, fn past 1e8", "tm:wgs84:lon0=39,lat0=0,k=1,fe=0,fn=100000000.1", "|fn| не");
        no("tm, k twice", msk + ",k=1", "«k=1»");
        no("tm, decimal comma", QString(msk).replace("lat0=0", "lat0=0,5"), "«5»");
        form("tm, tiny meridian", "tm:wgs84:lon0=1e-100,lat0=0,k=1,fe=0,fn=0",
            "tm:wgs84:lon0=1e-100,lat0=0,k=1,fe=0,fn=0");
        form("tm, negative zeros", "tm:wgs84:lon0=-0,lat0=-0,k=1,fe=-0,fn=-0.0",
            "tm:wgs84:lon0=0,lat0=0,k=1,fe=0,fn=0");
        no("msk without a name", "msk:", "msk:ИМЯ");
        form("msk with heights", "msk:Уч+egm96", "msk:Уч+egm96");
        no("msk, +egm96 left in the name", "msk:Уч+egm96+egm96", "оканчивается на +egm96");
        no("msk, a line break", "msk:У\nч", "перевод строки");
        // EPSG's SK-42 parameters, either rotation sign: SK-42, the difference stated.
        form("proj, SK-42", sk42 + "0.35,0.79,-0.22", msk, pulkovo);
        form("proj, SK-42, rotations negated", sk42 + "-0.35,-0.79,-0.22", msk, pulkovo);
        no("proj, scale sign flipped", sk42 + "0.35,0.79,0.22", far + " 2.8");
        // 0.01" of rotation is 0.3 m at the Earth's radius, 0.1" is 3 m: the northern
        // latitudes tell what the equator at lat_0 would not.
        form("proj, rotation 0.01\" off", sk42 + "0.36,0.79,-0.22", msk, pulkovo);
        no("proj, rotation 0.1\" off", sk42 + "0.45,0.79,-0.22", far);
        no("proj, rotation 1.3\" off", sk42 + "1.65,0.79,-0.22", far);
        // 1" about x at the origin, on the equator at 90° E: a × 1" = 30.92 m, in Z alone.
        no("proj, x rotation 1\" off",
            QString(sk42).replace("37.98333333333", "90").replace(",0,", ",1,") + "0.35,0.79,-0.22",
            far + " 30.92 м");
        // Within 0.8 m along the meridian, 2 m off at the false origin (47.5° N, 8° E).
        no("proj, off at the false origin alone",
            QString(sk42).replace("23.57,-140.95,-79.8,0", "26.77,-144.84,-79.74,-0.09")
                + "0.28,0.93,-0.22",
            far + " 2.03 м");
        const QString wgs("tm:wgs84:lon0=39,lat0=0,k=1,fe=500000,fn=0");
        form("proj, WGS 84", "proj:+proj=tmerc +lon_0=39 +x_0=500000 +datum=WGS84", wgs, "WGS 84");
        form("proj, WGS 84 by its ellipsoid",
            "proj:+proj=tmerc +lon_0=39 +x_0=500000 +ellps=WGS84 +towgs84=0,0,0", wgs, "WGS 84");
        form("proj, GRS 80", "proj:+proj=tmerc +lon_0=39 +ellps=GRS80 " + itrf,
            "tm:itrf2008:lon0=39,lat0=0,k=1,fe=0,fn=0", "ITRF 2008");
        no("proj, bessel", "proj:+proj=tmerc +lon_0=39 +ellps=bessel", "«+ellps=bessel»");
        no("proj, krass, no shift", sk42.section(" +towgs84", 0, 0), "нужен +towgs84");
        no("proj, another projection", "proj:+proj=utm +zone=37 +datum=WGS84", "«+proj=utm»");
        no("proj, lon_0 twice", sk42 + "0.35,0.79,-0.22 +lon_0=39", "+lon_0 задан дважды");
        no("proj, k and k_0", sk42 + "0.35,0.79,-0.22 +k_0=0.9996", "+k и +k_0 вместе");
        no("proj, ellps and datum", "proj:+proj=tmerc +ellps=krass +datum=WGS84",
            "+ellps и +datum вместе");
        no("proj, another ellipsoid", "proj:+proj=tmerc +a=6378388 +rf=297 +towgs84=0,0,0",
            "эллипсоид не совпадает");
        no("proj, no ellipsoid", "proj:+proj=tmerc +lon_0=39 +towgs84=0,0,0",
            "ожидается +proj=tmerc с эллипсоидом");
        no("proj, no projection", "proj:+lon_0=39 +datum=WGS84", "ожидается +proj=tmerc");
        form("proj, lon_0 180", "proj:+proj=tmerc +lon_0=180 +datum=WGS84",
            "tm:wgs84:lon0=180,lat0=0,k=1,fe=0,fn=0", "WGS 84");
        no("proj, lon_0 beyond 180", "proj:+proj=tmerc +lon_0=180.5 +datum=WGS84",
            "|lon_0| не больше 180");
    }

    void writtenForms()
    {
        const auto [name, written, message]
            = fetch<QString, QString, QString>("name", "written", "message");
        SystemName::Choices choices;
        QString error, note;
        QCOMPARE(SystemName::parse(name, false, &choices, &error, &note), !written.isEmpty());
        QVERIFY2((written.isEmpty() ? error : note).contains(message), qPrintable(error + note));
        if (!written.isEmpty())
            QCOMPARE(SystemName::format(choices), written);
    }

    // Every size prints as itself, read back the same by the program's reader: fixed from 1e-5 up
    // to 1e15, exponents beyond; zero without its sign.
    void shortestNumbers()
    {
        const std::pair<double, const char *> numbers[]
            = {{0.0, "0"}, {-0.0, "0"}, {6181000.5, "6181000.5"}, {5e5, "500000"},
                {1e-5, "0.00001"}, {-9.5e-6, "-9.5e-06"}, {999999999999999.0, "999999999999999"},
                {1e15, "1e+15"}, {1e-100, "1e-100"}, {-1e-200, "-1e-200"}, {1e300, "1e+300"},
                {5e-324, "5e-324"}, {DBL_MAX, "1.7976931348623157e+308"}};
        for (const auto &[value, text] : numbers) {
            QCOMPARE(NumberText::shortest(value), QString(text));
            double back = -1;
            QVERIFY(NumberText::read(text, text + strlen(text), &back));
            QCOMPARE(back, value);
        }
    }

    void definitionsFile_data()
    {
        addColumns<QByteArray, QString>("content", "message"); // `message` empty: read
        const auto file = [](const char *tag, const QByteArray &content,
                              const QString &message = {}) { dataRow(tag, content, message); };
        const QByteArray good = "[\n {\"name\": \"A\",\t\"base\": \"utm:37n\"},\n";
        const auto named = [&good](const char *name) {
            return good + " {\"name\": \"" + name + "\", \"base\": \"utm:37n\"}]";
        };
        const auto keyed = [&good](const char *keys, const char *dh = "0") {
            return good + R"( {"name": "B", "base": "gk:sk42:7", "keys": )" + keys
                + ", \"dh\": " + dh + "}]";
        };
        file("keys and a height plane", keyed(R"({"affine": [1, 2, 1, 0, 0, 1]})", "[1, 1e-5, 0]"));
        file("four affine values", keyed(R"({"affine": [1, 2, 1, 0]})"),
            "строка 3, запись 2 «B»: \"affine\": ожидаются 6");
        file("three similarity values", keyed(R"({"similarity": [1, 2, 1]})"),
            "\"similarity\": ожидаются 4 числа");
        file("and a name taken", keyed(R"({"similarity": [1]})").replace("\"B\"", "\"A\""),
            "запись 2 «A»: \"similarity\": ожидаются 4 числа"); // its own fault comes first
        file("keys of both kinds", keyed(R"({"similarity": [0, 0, 1, 0], "affine": []})"),
            "\"keys\": ожидается {\"similarity\"");
        file("dh of two values", keyed(R"({"similarity": [0, 0, 1, 0]})", "[1, 2]"),
            "\"dh\": ожидается число или [c, sx, sy]");
        file("a name twice", named("A"), "строка 3, запись 2 «A»: имя уже занято");
        file("degenerate keys", keyed(R"({"similarity": [0, 0, 0, 0]})"), "ключи вырождены");
        file("a zone left automatic", good + R"( {"name": "B", "base": "gk:sk42:auto"}])",
            "ожидается tm:, utm: или gk: с номером зоны");
        file("a hemisphere left automatic", good + R"( {"name": "B", "base": "gk:sk42:7:auto"}])",
            "полушарие входной системы");
        file("JSON broken", good + "{]", "строка 3: ошибка записи JSON");
        file("a number on line 5", good + "\n\n 7]", "строка 5, запись 2: ожидается объект");
        file("a blank ending line 2", QByteArray(good).replace("},", "}, ") + " 7]",
            "строка 3, запись 2: ожидается объект");
        file("line break", named("B\\nC"), "строка 3, запись 2 «B?C»: в имени управляющий символ");
        file("a control character", named("B\\u0007"), "управляющий символ");
        file("one unescaped", named("B\x1f"), "управляющий символ, в JSON он пишется как \\u001f");
        file("blanks around a name", named(" B"), "пробелами по краям");
        file("+egm96 ending a name", named("Уч+EGM96"), "оканчивается на +egm96");
        file("a name twice, composed", named("\\u0438\\u0306"));
        file("a name twice in Unicode forms",
            named("\\u0439").chopped(1) + ",\n" + named("\\u0438\\u0306").mid(good.size()),
            "строка 4, запись 3 «\u0438\u0306»: имя уже занято");
        // The largest keys accepted, and one step beyond each.
        const QString beyond("ключи вне пределов");
        const char *const unit = R"({"similarity": [0, 0, 1, 0]})";
        file("shift 1e8", keyed(R"({"similarity": [1e8, -1e8, 1, 0]})"));
        file("shift beyond 1e8", keyed(R"({"similarity": [1.0000001e8, 0, 1, 0]})"), beyond);
        file("keys of 1e300", keyed(R"({"similarity": [1e300, 0, 1, 0]})"), beyond);
        file("factor 10", keyed(R"({"affine": [0, 0, 10, -10, 0, 1]})"));
        file("factor beyond 10", keyed(R"({"affine": [0, 0, 1, 0, 10.001, 1]})"), beyond);
        file("height 1e7, slope 1", keyed(unit, "[1e7, 1, -1]"));
        file("height beyond 1e7", keyed(unit, "-1.00001e7"), beyond);
        file("slope beyond 1", keyed(unit, "[0, 0, 1.001]"), beyond);
        file("not a list", "{}", "ожидается список");
    }

    // Read, or refused naming line and entry; written and read back the same, or nothing left.
    void definitionsFile()
    {
        const auto [content, message] = fetch<QByteArray, QString>("content", "message");
        const QString path = tempPath("systems.json");
        QVERIFY(writeFile(path, content));
        LocalSystems::Systems read = systems, again;
        QString error;
        QCOMPARE(LocalSystems::read(path, &read, &error), message.isEmpty());
        QVERIFY2(error.contains(message), qPrintable(error));
        QCOMPARE(read.size(), systems.size()); // untouched when refused, two entries when read
        if (!message.isEmpty())
            return;
        QVERIFY(LocalSystems::write(path, read, &error));
        QVERIFY(LocalSystems::read(path, &again, &error));
        QCOMPARE(again.size(), read.size());
        for (int i = 0; i < read.size(); ++i)
            QVERIFY(LocalSystems::changes({read.at(i)}, {again.at(i)}).isEmpty());
        QVERIFY(!LocalSystems::write(path + "/under-a-file.json", read, &error));
        QVERIFY2(error.contains("не записан"), qPrintable(error));
        QVERIFY(LocalSystems::read(tempPath("absent.json"), &again, &error) && again.isEmpty());
    }

    // Pipes and devices are refused at once; the size limit holds to the byte.
    void onlyRegularFilesOfBoundedSize()
    {
        const QString fifo = tempPath("fifo.json"), zero = tempPath("zero.json");
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(QFile::link("/dev/zero", zero));
        LocalSystems::Systems read;
        QString error;
        for (const QString &path : {fifo, zero}) {
            QVERIFY(!LocalSystems::read(path, &read, &error));
            QVERIFY2(error.contains("не обычный файл"), qPrintable(error));
        }
        const QString big = tempPath("big.json");
        for (const qint64 size : {LocalSystems::maxFileSize, LocalSystems::maxFileSize + 1}) {
            QVERIFY(writeFile(big, '[' + QByteArray(int(size - 2), ' ') + ']'));
            QCOMPARE(LocalSystems::read(big, &read, &error), size == LocalSystems::maxFileSize);
        }
        QVERIFY2(error.contains("больше 64 МБ"), qPrintable(error));
    }

    // The converter's list of systems, and a local system it does not find or a file it cannot
    // read: said with the file's name, nothing converted.
    void converterNamesTheFile()
    {
        QString error;
        const QString path = tempPath("listed.json"), none = tempPath("none.json");
        QVERIFY(LocalSystems::write(path, systems, &error) && writeFile(none, "[]"));
        QVERIFY(writeFile(tempPath("broken.json"), "[{"));
        const struct
        {
            const char *args;
            int status;
            QString said; // on standard output for status 0, else on standard error
        } cases[] = {
            {"--list --systems listed.json", 0,
                "(кроме geoc)\nМестные системы (msk:ИМЯ) из «listed.json»:\n  msk:Город\n      "
                "gk:sk42:7, с ключами\n  msk:U\n      utm:37n, с ключами\n"},
            {"--systems none.json --list", 0,
                "из «none.json»:\n  нет; добавьте их в окне программы или в этот файл\n"},
            {"--list --systems broken.json", 2, "местные системы не прочитаны: "},
            {"--from msk:Нет --to geod:wgs84 --systems listed.json", 2,
                "местной системы «Нет» нет в «listed.json» (список: --list)\n"},
            {"--show-proj msk:Нет --systems listed.json", 2,
                "местной системы «Нет» нет (список: --list)\n"},
        };
        QVERIFY(QDir::setCurrent(tempPath()));
        for (const auto &c : cases) {
            const Run run = convert(QString(c.args).split(' '));
            QCOMPARE(run.status, c.status);
            const QString said = QString::fromUtf8(c.status == 0 ? run.out : run.err);
            QVERIFY2(
                c.status == 0 ? said.endsWith(c.said) : said.contains(c.said), qPrintable(said));
        }
    }

    // Fields this program does not know, systems another writer added, a file's permissions: all
    // kept by a save, a removal and the editor's changes.
    void changesKeepWhatOthersWrote()
    {
        const QString path = tempPath("others.json");
        QVERIFY(writeFile(path,
            R"([{"name":"Район","comment":"приказ 17","epsg":2000,"base":"gk:sk42:7"},
                {"name":"Лишняя","base":"utm:37n"}])"));
        QVERIFY(chmod(QFile::encodeName(path).constData(), 0444) == 0);
        LocalSystems::Systems before, after;
        QString error;
        QVERIFY(LocalSystems::read(path, &before, &error));
        LocalSystems::System added = systems.at(1);
        QVERIFY(LocalSystems::save(path, added, &error));
        QVERIFY(!LocalSystems::save(path, added, &error)); // a name taken
        QVERIFY2(error.contains("система «U» уже есть"), qPrintable(error));
        added.base = "utm:38n";
        QVERIFY(LocalSystems::save(path, added, &error, "U")); // in its place
        // The editor renames "Район" and changes its base from the list read before "U": "U" stays.
        LocalSystems::Systems edited = before;
        edited[0].name = "Район 2", edited[0].base = "gk:sk42:8";
        edited.removeLast();
        QVERIFY(LocalSystems::apply(path, LocalSystems::changes(before, edited), &after, &error));
        QCOMPARE(after.size(), 2);
        QVERIFY(LocalSystems::find(after, "Район 2"));
        QCOMPARE(LocalSystems::find(after, "U")->base, "utm:38n");
        QCOMPARE(QJsonDocument::fromJson(readFile(path)).array().at(1).toObject(),
            QJsonObject({{"name", "Район 2"}, {"comment", "приказ 17"}, {"epsg", 2000},
                {"base", "gk:sk42:8"}}));
        QCOMPARE(int(QFile::permissions(path) & 0x7077), 0x4044); // 0444, as its user left it
        QVERIFY(LocalSystems::remove(path, "U", &error, &after) && after.size() == 1);
        // A new name already taken since: the whole change is refused, nothing written.
        const QByteArray kept = readFile(path);
        (edited = after) << systems.at(0);
        QVERIFY(LocalSystems::save(path, systems.at(0), &error));
        QVERIFY(!LocalSystems::apply(path, LocalSystems::changes(after, edited), &after, &error));
        QVERIFY(LocalSystems::remove(path, systems.at(0).name, &error));
        QCOMPARE(readFile(path), kept);
        // A file its user may not write: refused as such (root checks as another user).
        QVERIFY(QFile::setPermissions(tempPath(), QFileDevice::Permissions(0x7777)));
        const QString script
            = "user=; [ $(id -u) = 0 ] && user='setpriv --reuid=65534 --regid=65534 "
              "--clear-groups'; cd \"$1\"; $user \"$2\" --fit similarity --from "
              "gk:sk42:7 A.txt B.txt --save Новая --force --systems others.json";
        QVERIFY(writePoints());
        const Run run = runProcess("sh", {"-c", script, "sh", tempPath(), KELVADRA_CONVERT});
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.contains("нет доступа"), run.err.constData());
        QCOMPARE(readFile(path), kept);
    }

    // Four writers at once, two converters and two windows, 100 saves each: every system lands
    // and the file reads as a list at every moment.
    void concurrentWriters()
    {
#ifdef __SANITIZE_ADDRESS__
        const int rounds = 10; // a sanitized process starts in a second: the race is the same
#else
        const int rounds = 100;
#endif
        const QString path = tempPath("shared.json");
        QVERIFY(writePoints());
        const QString converter = QStringLiteral(
            "i=0; while [ $i -lt %1 ]; do \"$0\" --fit similarity "
            "--from gk:sk42:7 A.txt B.txt --save %2$i --force --systems shared.json "
            ">/dev/null 2>&1 || exit 1; i=$((i+1)); done");
        QProcess writers[4];
        for (int w = 0; w < 4; ++w) {
            QProcess &p = writers[w];
            p.setWorkingDirectory(tempPath());
            const QString prefix = QStringLiteral("w%1-").arg(w), n = QString::number(rounds);
            if (w % 2 == 0)
                p.start("sh", {"-c", converter.arg(n, prefix), KELVADRA_CONVERT});
            else
                p.start(QCoreApplication::applicationFilePath(), {"--writer", path, prefix, n});
        }
        const auto running = [&writers] {
            return std::any_of(std::begin(writers), std::end(writers), [](QProcess &p) {
                return !p.waitForFinished(0) && p.state() != QProcess::NotRunning;
            });
        };
        LocalSystems::Systems read;
        QString error;
        int reads = 0;
        for (; running(); ++reads, QThread::msleep(20))
            QVERIFY2(LocalSystems::read(path, &read, &error), qPrintable(error));
        for (const QProcess &p : writers)
            QCOMPARE(p.exitCode(), 0);
        QVERIFY(LocalSystems::read(path, &read, &error));
        QCOMPARE(read.size(), 4 * rounds);
        for (int i = 0; i < 4 * rounds; ++i)
            QVERIFY(LocalSystems::find(read, QStringLiteral("w%1-%2").arg(i % 4).arg(i / 4)));
        qInfo("%d reads while writing", reads);
    }

    // The editor opened from a panel: a base changed by typing and saved with its button writes
    // only that system, keeping its comment and a system the converter saved while it was open.
    void editorSaveThroughWindow()
    {
        const QString path = LocalSystems::defaultPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(writeFile(path, R"([{"name":"Район","comment":"приказ 17","base":"gk:sk42:7"}])"));
        TestWindow w(tempPath("none.grd"));
        bool edited = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<LocalSystemsDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer.stop();
            QString error;
            if (!LocalSystems::save(path, systems.at(1), &error))
                return press(dialog, QDialogButtonBox::Cancel);
            auto *list = child<QListWidget>(dialog, "listWidgetSystems");
            QTest::mouseClick(
                list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
            auto *zone = child<QSpinBox>(dialog, "spinBoxZone");
            zone->selectAll();
            QTest::keyClicks(zone, "8");
            press(dialog, QDialogButtonBox::Save);
            edited = !dialog->isVisible();
            w.log.yes = false, w.log.no = true; // the save refused: leave without it
            if (!edited)
                press(dialog, QDialogButtonBox::Cancel);
        });
        timer.start(10);
        click(w.left(), "pushButtonLocalSystems");
        QVERIFY(edited);
        const QJsonArray stored = QJsonDocument::fromJson(readFile(path)).array();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored.at(0).toObject(),
            QJsonObject({{"name", "Район"}, {"comment", "приказ 17"}, {"base", "gk:sk42:8"}}));
        QCOMPARE(stored.at(1).toObject().value("name").toString(), "U");
        QCOMPARE(w.window->localSystems().size(), 2);
    }

    // The keys by hand on the base result give the local one (UTM too), and back unchanged.
    void keysByHand()
    {
        const PointRow point = PointRow::fromLine("P; 55.75; 38.1; 150");
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
                    qPrintable(keyed.coordinates[i] + " by hand " + QString::number(expected[i])));
            const PointRow geodetic = converted("msk:" + s.name, "geod:wgs84:deg", keyed);
            const PointRow back = converted("geod:wgs84", "msk:" + s.name, geodetic);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(back.coordinates[i], keyed.coordinates[i]);
        }
    }

    // The PROJ definition reads back as its datum and meridian; given to cs2cs it converts as the
    // program does, to 1.5 mm over ±3°.
    void printedForProj()
    {
        const std::pair<QString, double> meridians[] = {{msk, 37.98333333333}, {"gk:sk95:8:s", 45},
            {"utm:37n", 39}, {"gk:sk42:50", -63}}; // zone 50's 297° as -63°
        for (const auto &[system, meridian] : meridians) {
            SystemName::Choices choices, read;
            Side side;
            QString error, note, input;
            QVector<PointRow> rows;
            QVERIFY(SystemName::parse(system, true, &choices, &error)
                && SystemName::side(choices, true, &side));
            const QString definition = ProjString::write(side.system);
            QVERIFY2(ProjString::read(definition, &read, &note, &error), qPrintable(error));
            QCOMPARE(read.datum, side.system.datum);
            QCOMPARE(read.tm[0], meridian);
            if (meridian < 0)
                continue;
            for (double lat : {33.0, 41.0, 55.75, 69.5})
                for (double dlon : {-2.9, 0.0, 2.9}) {
                    const QString lon = QString::number(meridian + dlon, 'f', 9);
                    const QString la = QString::number(system.endsWith(":s") ? -lat : lat, 'f', 9);
                    input += lon + ' ' + la + " 100\n";
                    rows << converted(
                        "geod:wgs84", system, PointRow::fromLine("P;" + la + ";" + lon + ";100"));
                }
            const QStringList args = {"-f", "%.4f", "+proj=longlat", "+datum=WGS84", "+to"};
            const Run cs2cs = runProcess("cs2cs", args + definition.split(' '), input.toLatin1());
            const QStringList lines = QString(cs2cs.out).split('\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), rows.size());
            const bool northFirst = !system.startsWith("utm");
            for (int i = 0; i < rows.size(); ++i) {
                const QStringList proj = lines.at(i).simplified().split(' ');
                const double dx = proj.value(0).toDouble() - value(rows.at(i), northFirst);
                const double dy = proj.value(1).toDouble() - value(rows.at(i), !northFirst);
                QVERIFY2(std::hypot(dx, dy) <= 0.0015, qPrintable(system + ": " + lines.at(i)));
            }
        }
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && strcmp(argv[1], "--writer") == 0) // a window writer of concurrentWriters
        return windowWriter(argv[2], argv[3], atoi(argv[4]));
    QApplication app(argc, argv);
    TestLocalSystems test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_localsystems.moc"
