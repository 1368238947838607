// kelvadra-convert on what a hostile user or a full disk gives it, each case a shell script.
#include "TestSupport.h"

#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// In the test's folder, `convert ARGS` runs WGS 84 into SK-42 geodetic; the status is the last's.
Run shell(const QString &script)
{
    return runProcess("sh",
        {"-c",
            "cd \"$1\"; C=$2; convert() { \"$C\" --from geod:wgs84 --to geod:sk42 \"$@\"; s=$?; }\n"
            // Process limits and file permissions hold for root only as another user.
            "user=; [ $(id -u) = 0 ] && user='setpriv --reuid=65534 --regid=65534 --clear-groups'\n"
                + script + "\nexit $s",
            "sh", tempPath(), KELVADRA_CONVERT});
}

const QByteArray row = "P1;55.5;37.5;100\n";
const QByteArray converted = "P1; 55 29 59.86835; 37 30 6.70517; 95.368\n";

// Standard error's lines, each behind the program's name.
QString said(const QStringList &lines)
{
    return "kelvadra-convert: " + lines.join("\nkelvadra-convert: ") + '\n';
}

} // namespace

class TestConvertSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(tempPath()).mkpath("many"));
        for (int i = 1; i <= 40; ++i)
            QVERIFY(writeFile(tempPath(QString("many/%1.txt").arg(i, 3, 10, QChar('0'))), row));
        const QByteArray n1m((1 << 20), 'N');
        const QByteArray files[][2] = {
            {"ok.txt", row},
            {"mix.txt", row + "bad;x;y;z\n"},
            {"nul.txt", row + QByteArray("P2\0;1;2;3\n", 10)},
            {"edge.txt", n1m + "\n" + n1m + "N\r\n" + row},
        };
        for (const auto &f : files)
            QVERIFY(writeFile(tempPath(f[0]), f[1]));
        for (const char *codec :
            {"UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE"}) // each with its mark
            QVERIFY(writeFile(tempPath(QString(codec).toLower().remove('-') + ".txt"),
                QTextCodec::codecForName(codec)->fromUnicode(
                    QChar(0xfeff) + QString("П1;55.5;37.5;100\r\n"))));
    }

    void cases_data()
    {
        addColumns<QString, int, QString, QByteArray>("script", "status", "err", "out");

        // A full device of its own where root may make one, so a fault replaces no system node.
        const QString makeFull
            = "[ -e full ] || mknod full c 1 7 2>/dev/null || ln -s /dev/full full; ";
        const QString isInput = "— один из входных файлов: укажите в -o другой файл";
        const QString help = " (справка: kelvadra-convert --help)";
        const QByteArray cyrillic = "П" + converted.mid(1);
        const QString endless = "yes 'P1;55.5;37.5;100'";

        // clang-format off
        dataRow("-o the input", "cp ok.txt self.txt; convert self.txt -o self.txt; cat self.txt",
            2, said({"«self.txt» " + isInput}), row);
        dataRow("-o a symlink to the input", "cp ok.txt self.txt; ln -sf self.txt link.txt; "
            "convert self.txt -o link.txt; cat self.txt", 2, said({"«link.txt» " + isInput}), row);
        dataRow("standard output appended to the input", "cp ok.txt self.txt; convert self.txt >> self.txt; "
            "cat self.txt", 2, said({"стандартный вывод направлен в один из входных файлов: укажите другой файл"}), row);
        dataRow("-o a copy of the input", "cp ok.txt copy.txt; convert ok.txt -o copy.txt; cat copy.txt", 0, QString(), converted);
        // Replacing the FIFO by a file would leave `cat` waiting for a writer; a converter that
        // never opened it would too, so the shell opens and closes it once itself.
        dataRow("-o a FIFO", "rm -f f; mkfifo f; cat f > got.txt & convert ok.txt -o f; "
            "[ -p f ] && { exec 3<>f 3>&-; wait; }; cat got.txt", 0, QString(), converted);
        // Another user cannot replace /dev/null: a converter that tried would fail.
        dataRow("-o /dev/null", "$user \"$C\" --from geod:wgs84 --to geod:sk42 -o /dev/null < ok.txt; s=$?; "
            "[ -c /dev/null ] && echo device", 0, QString(), QByteArray("device\n"));
        dataRow("endless input, the first write failed", makeFull + endless + " | { convert -o full; exit $s; }; s=$?",
            2, said({"не удалось записать «full»: нет места на диске"}), QByteArray());
        dataRow("-o over the file size limit", "mkdir -p lim; echo kept > lim/out.txt; " + endless
            + " | head -n 100 > lim.in; (trap '' XFSZ; ulimit -f 1; convert lim.in -o lim/out.txt; exit $s); "
            "s=$?; ls lim; cat lim/out.txt", 2,
            said({"не удалось записать «lim/out.txt»: превышен допустимый размер файла; файл не изменён"}),
            QByteArray("out.txt\nkept\n"));
        dataRow("a later input unreadable", "convert ok.txt ok.txt /proc/self/mem", 2,
            said({"ошибка чтения «/proc/self/mem»; результат неполный, в нём только 2 строки"}),
            converted + converted);
        dataRow("a later input unreadable, -o", "echo kept > out.txt; convert ok.txt /proc/self/mem -o out.txt; "
            "cat out.txt", 2, said({"ошибка чтения «/proc/self/mem»; файл не изменён"}), QByteArray("kept\n"));
        dataRow("40 inputs under a limit of 20 open files", "(ulimit -n 20; convert many/*.txt > many.out; "
            "exit $s); s=$?; uniq -c many.out", 0, QString(), "     40 " + converted);
        dataRow("line numbers within each input", "convert mix.txt mix.txt", 1,
            said({"mix.txt:2: неверная запись координат", "mix.txt:2: неверная запись координат",
                  "пересчитано 2 из 4 точек, ошибок: 2"}), converted + "bad; ; ; \n" + converted + "bad; ; ; \n");
    #ifndef __SANITIZE_ADDRESS__ // its leak check at the end needs a thread
        dataRow("a process limit of one", endless + " | head -n 10000 > t.in; $user prlimit --nproc=1 -- "
            "\"$C\" --from geod:wgs84 --to geod:sk42 < t.in > t.out; s=$?; uniq -c t.out",
            0, QString(), "  10000 " + converted);
    #endif
        dataRow("--quiet=1", "convert --quiet=1 ok.txt", 2,
            said({"параметр --quiet пишется без значения" + help}), QByteArray());
        dataRow("--help=x", "convert --help=x", 2,
            said({"параметр --help пишется без значения" + help}), QByteArray());
        // A system shown for PROJ is read as an input: the hemisphere is the system's own.
        dataRow("--show-proj, hemisphere auto", "\"$C\" --show-proj gk:sk42:7:auto", 2,
            said({"--show-proj «gk:sk42:7:auto»: полушарие входной системы: ожидается n или s" + help}),
            QByteArray());
        dataRow("empty file name", "convert ok.txt ''", 2, said({"пустое имя файла" + help}), QByteArray());
        dataRow("UTF-16 and UTF-32 by their marks", "convert utf16le.txt utf16be.txt utf32le.txt utf32be.txt",
            0, QString(), cyrillic.repeated(4));
        dataRow("NUL byte", "convert nul.txt", 2,
            said({"«nul.txt» не текстовый файл точек: в нём нулевые байты"}), QByteArray());
        dataRow("lines of 1 MB and one byte more", "convert edge.txt", 1,
            said({"edge.txt:1: нет координат; поля разделяются «;», «,» или табуляцией",
                  "edge.txt:2: строка длиннее 1 МБ не прочитана",
                  "пересчитано 1 из 2 точек, ошибок: 1, без координат: 1"}),
            QByteArray(1 << 20, 'N') + "; ; ; \n; ; ; \n" + converted);
    #ifndef __SANITIZE_ADDRESS__ // its shadow memory needs far more address space
        dataRow("300 MB line under 100 MB of address space", "{ cat ok.txt; head -c 300000000 /dev/zero "
            "| tr '\\0' x; echo; } | { ulimit -v 100000; convert; exit $s; }; s=$?", 1,
            said({"стандартный ввод:2: строка длиннее 1 МБ не прочитана", "пересчитано 1 из 2 точек, ошибок: 1"}),
            converted + "; ; ; \n");
    #endif
        dataRow("Windows-1251 file names", "n=$(printf '\\317\\363\\355\\352\\362'); cp ok.txt \"$n.txt\"; "
            "convert \"$n.txt\" -o \"$n.out\"; cat \"$n.out\"; rm \"$n.txt\" \"$n.out\"", 0, QString(), converted);
        // clang-format on
    }

    void cases()
    {
        QFETCH(QString, script);
        const Run run = shell(script);
        QTEST(QString::fromUtf8(run.err), "err");
        QTEST(run.out, "out");
        QTEST(run.status, "status");
    }

    // On a terminal a message starts on a line of its own, the progress bar cleared first.
    // Rows: the bar of a run of known size, past its end (a file, then standard input), or
    // the rows' count.
    void progressClearedBeforeMessages_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("bar");
        QTest::addColumn<int>("points");
        QTest::newRow("size unknown") << QStringList() << "строк: " << 16387;
        QTest::newRow("size known")
            << QStringList {tempPath("ok.txt"), "-"} << "[" + QString(40, '#') + "] 100%" << 16388;
    }
    void progressClearedBeforeMessages()
    {
        QFETCH(QStringList, inputs);
        QFETCH(int, points);
        const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
        QProcess process;
        process.setStandardErrorFile(QString::fromLocal8Bit(ptsname(terminal)));
        process.start(
            KELVADRA_CONVERT, QStringList {"--from", "geod:wgs84", "--to", "geod:sk42"} + inputs);
        // The bar shows after a second, on every 4096th row: rows come for two.
        process.write(row);
        for (int i = 0; i < 4; ++i) {
            QTest::qWait(500);
            process.write(row.repeated(4096));
        }
        process.write("bad;x;y;z\n" + row);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        fcntl(terminal, F_SETFL, O_NONBLOCK);
        QByteArray bytes;
        char chunk[4096];
        for (ssize_t n; (n = read(terminal, chunk, sizeof chunk)) > 0;)
            bytes.append(chunk, int(n));
        ::close(terminal);
        const QString shown = QString::fromUtf8(bytes);
        QFETCH(QString, bar);
        QVERIFY2(shown.contains(bar), qPrintable(shown));
        // What the terminal shows: "\r" goes back to the line's start.
        QString lines, line;
        int column = 0;
        for (const QChar ch : shown) {
            if (ch == '\r') {
                column = 0;
            } else if (ch == '\n') {
                lines += line.remove(QRegularExpression(" +$")) + '\n';
                line.clear();
                column = 0;
            } else {
                line = line.leftJustified(column).replace(column, 1, ch);
                ++column;
            }
        }
        QCOMPARE(lines,
            said({"стандартный ввод:16386: неверная запись координат",
                QString("пересчитано %1 из %2 точек, ошибок: 1").arg(points - 1).arg(points)}));
    }
};

QTEST_MAIN(TestConvertSafety)
#include "tst_convert_safety.moc"
