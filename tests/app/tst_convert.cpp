// kelvadra-convert gives the window's saved bytes and failed rows; then what it refuses.
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

class TestConvert : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Good and failing rows, blanks, a fifth field, CR LF, lone CR, tabs, Windows-1251.
        // clang-format off
        const char *const files[][2] = {
            {"gk42.txt", "1, 6190000, 7500000, 150\n2;6190100;7500100;\nbad, x, y, z\n\nname only\n"
                "5, 6190000, 7500000, 150\nПункт 6,6200000.5,7510000.25,10\r\n7; 6190000; 9500000; 0"},
            {"geod.txt", "a, 55 45 20.5, 37 37 6.1, 150\nb, 55.5, 37.5, 100\nc, -33 52 0, 151 12 0, 20\n"
                "d, 91, 10, 0\ne, 55 61 0, 37 0 0, 0\nf, 55 30, -179 59 59.99999,\n"},
            {"gk2011.txt", "a; 6190000; 6500000; 100\nb; 6190000; 7500000; 100\nc; 6190000; 8500000;\n"},
            {"geoc.txt", "a, 2850000, 2200000, 5250000\nb, 1, 2, 3\nc, 2850000, 2200000,\n"},
            {"utm.txt", "a, 413000, 6180000, 120\nb, 500000, 0, 0\n"},
            {"cp1251.txt", "\xcf\xf3\xed\xea\xf2 1\t6190000\t7500000\t150\r2;6190100;7500100;\r3\t6190000\tx\t1"},
            // Spreadsheet text with decimal commas, UTF-8 and Windows-1251; a name with a comma.
            {"csv.txt", "E1;55,5;37,25;100,25\r\nE2;55 30,5;-37 15;\r\nE,3;55;37;1\r\n"},
            {"tabs.txt", "A,B\t55 45 0\t37 37 0\t150\n\xd0\xa2" "2\t55,5\t37,5\t10,5\n"},
            {"csv1251.txt", "\xcf" "1;55,5;37,25;100,25\n\xcf" "2;56,5;38,5;\n"},
        };
        // clang-format on
        for (const auto &f : files)
            QVERIFY(writeFile(tempPath(f[0]), f[1]));
    }

    void sameAsWindow_data()
    {
        for (const char *column : {"from", "to", "file"})
            QTest::addColumn<QString>(column);
        // clang-format off
        const char *const cases[][4] = {
            {"GK SK-42 zone 7 into DMS", "gk:sk42:7", "geod:wgs84", "gk42.txt"},
            {"Windows-1251, tabs, CR", "gk:sk42:7", "geod:wgs84:deg", "cp1251.txt"},
            {"GK SK-42 zone from eastings, geoid both sides", "gk:sk42:auto+egm96",
             "geod:wgs84:deg:360+egm96", "gk42.txt"},
            {"geoid in, GSK 2011 zone and hemisphere per point", "geod:wgs84+egm96", "gk:gsk2011:auto:auto", "geod.txt"},
            {"GSK 2011 zone 20 south", "geod:pz90.11", "gk:gsk2011:20:s", "geod.txt"},
            {"GSK 2011 zone from eastings into UTM", "gk:gsk2011:auto", "utm:37n", "gk2011.txt"},
            {"geocentric into SK-95 zone per point", "geoc:pz90", "gk:sk95:auto", "geoc.txt"},
            {"UTM south into geocentric", "utm:56s", "geoc:itrf2008", "utm.txt"},
            {"geodetic into SK-42 geodetic, sign kept", "GEOD:GSK2011:DMS", "geod:sk42:dms:180", "geod.txt"},
            {"spreadsheet CSV, decimal commas", "geod:wgs84", "geod:sk42:deg", "csv.txt"},
            {"tab-separated, decimal commas", "geod:wgs84", "gk:sk42:auto", "tabs.txt"},
            {"Windows-1251 CSV", "geod:wgs84", "geod:wgs84:deg", "csv1251.txt"},
        };
        // clang-format on
        for (const auto &c : cases)
            dataRow(c[0], QString(c[1]), QString(c[2]), QString(c[3]));
    }

    // The window's saved result against the converter's, file to stdout and stdin to file.
    void sameAsWindow()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, file);
        const QString input = tempPath(file), output = tempPath("converted.txt");
        TestWindow w(QStringLiteral(KELVADRA_EGM96_GRD));
        configure(w.left(), from);
        configure(w.right(), to);
        w.log.fileName = input;
        click(w.left(), "pushButtonLoad");
        w.run();
        // Every failed row named with its line and the window's reason, then the count.
        const QString prefix = "kelvadra-convert: " + input;
        QString report;
        const PointRows given = w.left()->table()->rows();
        for (int r = 0; r < w.right()->table()->rowCount(); ++r) {
            // A name alone is no point: the window counts it, the converter lists it.
            QString reason = w.right()->table()->item(r, 0)->toolTip();
            if (given.at(r).lacksCoordinates())
                reason = "нет координат; поля разделяются «;», «,» или табуляцией";
            if (!reason.isEmpty())
                report += prefix + QString(":%1: %2\n").arg(r + 1).arg(reason);
        }
        const QString summary
            = w.window->statusBar()->currentMessage().remove(QRegularExpression(" \\([^)]*\\)"));
        const bool notConverted = summary.contains("ошибок") || summary.contains("без координат");
        if (notConverted)
            report += "kelvadra-convert: п" + summary.mid(1) + '\n';

        w.log.fileName = tempPath("window.txt");
        click(w.right(), "pushButtonSave");
        const QByteArray expected = readFile(w.log.fileName);

        const Run run = convert({"--from", from, "--to", to, input});
        QCOMPARE(run.out, expected);
        QCOMPARE(run.status, notConverted ? 1 : 0);
        QCOMPARE(QString::fromUtf8(run.err), report);
        const Run quiet
            = convert({"--quiet", "--from=" + from, "--to=" + to, "-o", output}, readFile(input));
        QCOMPARE(quiet.status, run.status);
        QCOMPARE(quiet.err, QByteArray());
        QCOMPARE(readFile(output), expected);
    }

    void refusals_data()
    {
        // "message": in the one line on standard error
        addColumns<QStringList, QByteArray, int, QString, QByteArray>(
            "args", "input", "status", "message", "output");

        const QString gk42 = "--from gk:sk42:7 --to geod:wgs84";
        const QByteArray row = "1, 6190000, 7500000, 150";
        const QByteArray converted = "1; 55 49 56.53405; 38 59 53.32263; 152.868\n";
        const auto add
            = [](const char *name, const QString &args, const QByteArray &input, int status,
                  const char *message, const QByteArray &output = QByteArray()) {
                  dataRow(name, args.split(' '), input, status, QString::fromUtf8(message), output);
              };
        add("empty input, empty output", gk42, QByteArray(), 0, "");
        add("UTF-8 byte order mark dropped", gk42, "\xEF\xBB\xBF" + row, 0, "", converted);
        // A spreadsheet's CSV with Russian settings: decimal commas, a name with a comma.
        add("decimal commas", "--from geod:wgs84 --to geod:wgs84:deg", "E,1;55,5;37,25;100,25", 0,
            "", "E,1; 55.500000000; 37.250000000; 100.250\n");
        // Commas alone: a decimal comma splits every number, and the row fails (the window warns).
        add("five fields", "--from geod:wgs84 --to geod:wgs84:deg", "P1,55,5,37,5,100", 1,
            ":1: больше четырёх полей: возможно, десятичная запятая");
        QByteArray utf16("\xFF\xFE");
        for (const char c : row + '\n')
            utf16.append(c).append('\0');
        add("UTF-16 with its mark", gk42, utf16, 0, "", converted);
        add("a NUL byte", gk42, row + QByteArray("\n2\0;1;2;3\n", 10), 2,
            "не текстовый файл точек: в нём нулевые байты");
        // Each line is UTF-8 when it is valid UTF-8, else Windows-1251.
        add("encoding line by line", gk42,
            "\xd0\x9f" + row.mid(1) + "\n\xcf" + row.mid(1) + "\n\xd0\x9f" + row.mid(1), 0, "",
            "П" + converted.mid(1) + "П" + converted.mid(1) + "П" + converted.mid(1));
        // clang-format off
        const char *const names[][3] = {
            {"unknown kind", "--from mars:1 --to geod:wgs84", "--from «mars:1»: ожидается geod:, geoc:, gk:, utm:, tm:, msk: или proj:"},
            {"unknown datum", "--from geod:wgs72 --to geod:wgs84",
             "датумы: wgs84, sk42, sk95, pz90, pz90.02, pz90.11, gsk2011, itrf2008"},
            {"zone 61", "--from gk:sk42:61 --to geod:wgs84", "зона 1–60 или auto"},
            {"UTM without hemisphere", "--from utm:37 --to geod:wgs84", "например utm:37n"},
            {"hemisphere guessed on input", "--from gk:gsk2011:auto:auto --to geod:wgs84",
             "полушарие входной системы: ожидается n или s"},
            {"geoid on geocentric", "--from geod:wgs84 --to geoc:wgs84+egm96", "нет высот"},
            {"no --to", "--from geod:wgs84", "ожидаются --from СИСТЕМА и --to СИСТЕМА"},
            {"unknown option", "--from gk:sk42:7 --to geod:wgs84 --fast", "неизвестный параметр «--fast»"},
            {"missing file", "--from gk:sk42:7 --to geod:wgs84 absent.txt", "не удалось открыть «absent.txt»: нет такого файла"},
            {"missing geoid", "--from gk:sk42:7 --to geod:wgs84+egm96 --geoid absent.grd", "«absent.grd»"},
            {"output under a file", "--from gk:sk42:7 --to geod:wgs84 -o existing.txt/out.txt",
             "не удалось записать «existing.txt/out.txt»"},
            {"empty value", "--from gk:sk42:7 --to=", "после --to — пустое значение"},
            {"a file after --", "--from gk:sk42:7 --to geod:wgs84 -- --list", "не удалось открыть «--list»: нет такого файла"},
            {"geoid not a grid", "--from gk:sk42:7 --to geod:wgs84+egm96 --geoid existing.txt",
             "«existing.txt» не является сеткой геоида"},
            {"input a folder", "--from gk:sk42:7 --to geod:wgs84 /", "не удалось открыть «/»: это каталог"},
            {"angle unit twice", "--from geod:wgs84:dms:deg --to geod:wgs84",
             "лишнее или неизвестное «deg», ожидается geod:ДАТУМ, затем dms или deg и 180 или 360"},
            {"gk on WGS 84", "--from gk:wgs84:7 --to geod:wgs84", "для gk ожидается датум sk42, sk95 или gsk2011"},
            {"hemisphere x", "--from gk:sk42:7:x --to geod:wgs84", "полушарие «x»: ожидается n, s или auto"},
            {"geocentric with more", "--from geoc:wgs84:x --to geod:wgs84", "лишнее «x», ожидается geoc:ДАТУМ"},
            {"tm with more", "--from tm:sk42:lon0=39,lat0=0,k=1,fe=0,fn=0:x --to geod:wgs84", "все пять параметров"},
        };
        // clang-format on
        for (const auto &c : names)
            add(c[0], c[1], row, 2, c[2]);
    }

    // Refused: one line on standard error, nothing written, status 2; failed rows give status 1.
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(QDir::setCurrent(tempPath()) && writeFile("existing.txt", "kept\n"));
        const Run run = convert(args, input);
        QCOMPARE(run.status, status);
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.contains(message), qPrintable(err));
        if (status == 2) {
            QCOMPARE(err.count(QLatin1Char('\n')), 1);
            QCOMPARE(readFile("existing.txt"), QByteArray("kept\n"));
        }
        if (status != 1)
            QTEST(run.out, "output");
    }

    void numberForms_data()
    {
        addColumns<QByteArray, QByteArray, QByteArray, QString>("line", "degrees", "dms", "reason");
        const QByteArray failed = "a; ; ; \n";
        // clang-format off
        const char *const cases[][5] = {
            // each number rule: one form inside, one outside
            {"plain numbers", "a, 55.5, 37.5, 100", "a; 55.500000000; 37.500000000; 100.000", "a; 55 30 0.00000; 37 30 0.00000; 100.000", ""},
            {"exponent", "a, 55.5, 37.5, 1.0e+02", "", "", "неверная запись"},
            {"signs", "a, +55.5, -37.5, +1", "a; 55.500000000; -37.500000000; 1.000", "a; 55 30 0.00000; -37 30 0.00000; 1.000", ""},
            {"two signs", "a, +-55.5, 37.5, 1", "", "", "неверная запись"},
            {"degrees and minutes", "a, 67 13, 37.5, 0", "a; 67.216666667; 37.500000000; 0.000", "a; 67 13 0.00000; 37 30 0.00000; 0.000", ""},
            {"minutes with a fraction", "a, 67 13.96, 37.5, 0", "", "", "неверная запись"},
            {"seconds below 60", "a, 55 30 59.99, 37, 0", "a; 55.516663889; 37.000000000; 0.000", "a; 55 30 59.99000; 37 0 0.00000; 0.000", ""},
            {"seconds of 60", "a, 55 30 60, 37, 0", "", "", "минуты или секунды"},
            {"latitude 90", "a, 90, 0, 0", "a; 90.000000000; 0.000000000; 0.000", "a; 90 0 0.00000; 0 0 0.00000; 0.000", ""},
            {"latitude past 90", "a, 90.000001, 0, 0", "", "", "широта больше 90°"},
            {"height of 10 000 km", "a, 55, 37, 10000000", "a; 55.000000000; 37.000000000; 10000000.000", "a; 55 0 0.00000; 37 0 0.00000; 10000000.000", ""},
            {"height past 10 000 km", "a, 55, 37, 10000000.001", "", "", "высота или координата дальше"},
            {"blank height stays blank", "a, 55.5, 37.5,", "a; 55.500000000; 37.500000000; ", "a; 55 30 0.00000; 37 30 0.00000; ", ""},
            {"five fields", "a, 1, 2, 3, 4", "", "", "больше четырёх полей"},
            // the decimal comma and non-ASCII blanks
            {"non-breaking blanks around", "a;\xc2\xa0" "55,5\xc2\xa0;37,5;1", "a; 55.500000000; 37.500000000; 1.000", "a; 55 30 0.00000; 37 30 0.00000; 1.000", ""},
            {"non-breaking blank inside", "a;55\xc2\xa0" "5;37,5;1", "", "", "неверная запись"},
            {"comma after the digits", "a;55,5;37,5;1,", "", "", "неверная запись"},
            // written: a tie away from zero, no "-0", the carry of 60 seconds
            {"tie rounded away from zero", "a, 55, 37, -0.0625", "a; 55.000000000; 37.000000000; -0.063", "a; 55 0 0.00000; 37 0 0.00000; -0.063", ""},
            {"no sign on zero", "a, 55, 37, -0.0001", "a; 55.000000000; 37.000000000; 0.000", "a; 55 0 0.00000; 37 0 0.00000; 0.000", ""},
            {"seconds carried", "a, 55.9999999999, -37.00000001, 0", "a; 56.000000000; -37.000000010; 0.000", "a; 56 0 0.00000; -37 0 0.00004; 0.000", ""},
            // names copied as they were read
            {"control character in a name", "a\xc2\x80" "1, 55, 37, 0", "a 1; 55.000000000; 37.000000000; 0.000", "a 1; 55 0 0.00000; 37 0 0.00000; 0.000", ""},
            {"Windows-1251 name", "\xcf" "1, 55, 37, 0", "\xd0\x9f" "1; 55.000000000; 37.000000000; 0.000", "\xd0\x9f" "1; 55 0 0.00000; 37 0 0.00000; 0.000", ""},
        };
        // clang-format on
        for (const auto &c : cases) {
            const bool converted = !*c[4];
            dataRow(c[0], QByteArray(c[1]) + "\n", converted ? QByteArray(c[2]) + '\n' : failed,
                converted ? QByteArray(c[3]) + '\n' : failed, QString::fromUtf8(c[4]));
        }
    }

    // A line's numbers read and written by the converter's own rules, in both output forms.
    void numberForms()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, reason);
        for (const char *to : {"geod:wgs84:deg", "geod:wgs84"}) {
            const Run run = convert({"--from", "geod:wgs84", "--to", to}, line);
            QTEST(run.out, QByteArray(to).endsWith("deg") ? "degrees" : "dms");
            QCOMPARE(run.status, reason.isEmpty() ? 0 : 1);
            QVERIFY2(reason.isEmpty()
                    ? run.err.isEmpty()
                    : QString::fromUtf8(run.err).contains("стандартный ввод:1: " + reason),
                run.err.constData());
        }
    }

    // Rows converted in batches come out in order, the failed ones reported with line numbers.
    void manyRows()
    {
        QByteArray input, err, names;
        for (int i = 1; i <= 20000; ++i) {
            const QByteArray name = "P" + QByteArray::number(i),
                             bad = i % 997 ? "" : ": неверная запись координат\n";
            input += name + (bad.isEmpty() ? ", 6190000, 7500000, 0\n" : ", x, 1, 0\n");
            names += name + '\n';
            err += bad.isEmpty() ? "" : "kelvadra-convert: стандартный ввод:" + name.mid(1) + bad;
        }
        const Run run = convert({"--from", "gk:sk42:7", "--to", "geod:wgs84"}, input);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, err + "kelvadra-convert: пересчитано 19980 из 20000 точек, ошибок: 20\n");
        QCOMPARE(QString::fromUtf8(run.out).remove(QRegularExpression(";[^\n]*")),
            QString::fromUtf8(names));
    }
};

QTEST_MAIN(TestConvert)
#include "tst_convert.moc"
