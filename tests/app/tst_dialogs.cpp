// The local-systems editor and the keys dialog as a surveyor works them: the real buttons and
// fields, the files they write, the texts whole at 1366 x 768; the editor's angle forms.
#include "KeyFitDialog.h"
#include "LocalSystemsDialog.h"
#include "SurveyAngle.h"
#include "TestSupport.h"
#include "WindowKeys.h"
#include "WindowSize.h"

#include <QtTest>
#include <QtWidgets>

namespace {

// Clicks the visible button captioned `text` (without its "&") among the children of `parent`.
void clickButton(QWidget *parent, const QString &text)
{
    for (QAbstractButton *button : parent->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && button->text().remove(QLatin1Char('&')) == text)
            return QTest::mouseClick(button, Qt::LeftButton);
    }
    qFatal("no button %s", qPrintable(text));
}

// Replaces the text of `widget` by typing, each character a key press (Cyrillic, "°" included).
void typeInto(QWidget *widget, const QString &text)
{
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(widget, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Clicks a check box on its box, where a click always lands.
void tick(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
}

// Runs `step` on the modal dialog once it is open; it must close it.
void whenModal(const std::function<void(QWidget *)> &step)
{
    QTimer::singleShot(0, [step] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        step(dialog);
    });
}

LocalSystems::Systems savedSystems(const QString &path)
{
    LocalSystems::Systems systems;
    QString error;
    if (!LocalSystems::read(path, &systems, &error))
        qFatal("%s", qPrintable(error));
    return systems;
}

const LocalSystems::System city = {"Город", "gk:sk42:7", {}, {}, {}, {}};

const char *const epsgSk42 = "+proj=tmerc +lat_0=0 +lon_0=37.98333333333 +k=1 +x_0=2250000 "
                             "+y_0=-5712900.566 +ellps=krass +units=m +no_defs +towgs84=23.57,"
                             "-140.95,-79.8,0,0.35,0.79,-0.22";

// The texts of `root`'s labels, buttons and placeholders cut off where they stand, if any.
QString clipped(const QWidget *root)
{
    QCoreApplication::processEvents(); // the layouts settle after a choice
    QStringList cut;
    const auto check = [&cut](const QWidget *w, const QString &text, int room) {
        const int need = w->fontMetrics().horizontalAdvance(text);
        if (!text.isEmpty() && need > room)
            cut << QStringLiteral("%1 (%2 > %3)").arg(text).arg(need).arg(room);
    };
    // Nor does a group lie over its neighbour (a cell of the narrow arrangement given twice).
    for (const QGroupBox *g : root->findChildren<QGroupBox *>()) {
        for (const QGroupBox *h :
            g->parentWidget()->findChildren<QGroupBox *>(QString(), Qt::FindDirectChildrenOnly)) {
            if (g < h && g->isVisible() && h->isVisible()
                && g->geometry().intersects(h->geometry()))
                cut << g->objectName() + " over " + h->objectName();
        }
    }
    for (const QLabel *label : root->findChildren<QLabel *>()) {
        if (label->isVisible() && !label->wordWrap())
            check(label, label->text(), label->contentsRect().width());
    }
    for (const QAbstractButton *b : root->findChildren<QAbstractButton *>()) {
        const bool radio = qobject_cast<const QRadioButton *>(b);
        if (!b->isVisible() || !(radio || qobject_cast<const QCheckBox *>(b)))
            continue;
        QStyleOptionButton option;
        option.initFrom(b);
        option.text = b->text();
        const auto contents = radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents;
        check(b, b->text(), b->style()->subElementRect(contents, &option, b).width());
    }
    for (const QLineEdit *edit : root->findChildren<QLineEdit *>()) {
        if (edit->isVisible() && edit->text().isEmpty())
            check(edit, edit->placeholderText(), edit->contentsRect().width() - 8);
    }
    const QString size = QStringLiteral("%1x%2: ").arg(root->width()).arg(root->height());
    return cut.isEmpty() ? QString() : size + cut.join("; ");
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(path = tempPath("systems.json")); }

    // Every form a surveyor writes, to the table's cell form; a mark out of place is none.
    void surveyAngles()
    {
        const char *const cases[][2] = {{"38 29 00", "38 29 00"}, {"38°29'00\"", "38 29 00"},
            {"38°29′00″", "38 29 00"}, {"38°29'00''", "38 29 00"}, {"38°29,5'", "38 29.5"},
            {" 38.48333 ", "38.48333"}, {"-38° 29' 0.5\"", "-38 29 0.5"}, {"38°", "38"},
            {"38'29°", ""}, {"38°°", ""}, {"38 29 00 1", ""}, {"38.5 30", ""}, {"38 N", ""},
            {" ", ""}, {"--38", ""}, {"38.5.3", ""}, {"38°29,5.1'", ""}};
        for (const auto &c : cases)
            QVERIFY2(SurveyAngle::toCellForm(c[0]) == c[1], c[0]);
    }

    // The projection's fields at their limits, typed and saved; a refusal ("!") writes nothing and
    // says what to type.
    void editorFields_data()
    {
        addColumns<QString, QString, QString>("field", "text", "saved");
        const char *const cases[][3] = {{"Meridian", "38 29 00", "lon0=38.48333333333"},
            {"Meridian", "38°29′00″", "lon0=38.48333333333"},
            {"Meridian", "38°29,5'", "lon0=38.49166666666"}, {"Meridian", "180", "lon0=180,"},
            {"Meridian", "180 0 1", "!Осевой меридиан: введите угол"},
            {"Meridian", "38 60 00", "!например 38 29 00"},
            {"OriginLatitude", "89 59 59", "lat0=89.99972"},
            {"OriginLatitude", "90", "!меньше 90°"}, {"Scale", "0,9", "k=0.9,"},
            {"Scale", "0.8999", "!масштаб от 0.9 до 1.1"}, {"Scale", "1.1", "k=1.1,"},
            {"Scale", "1.1001", "!масштаб от 0.9 до 1.1"},
            {"Scale", "1 2", "!Масштаб: введите число"}, {"Keys", "1 2 1 0", "tm:sk42:"},
            {"FalseEasting", "1 2", "!Смещение на восток:"}, {"FalseNorthing", "-", "!на север:"},
            {"Keys", "1 2 1", "!введите 4 числа через пробел (dX dY a b)"},
            {"Height", "1 0.001 0", "tm:sk42:"}, {"Height", "1 2", "!одно число dH или три"}};
        for (const auto &c : cases)
            QTest::addRow("%s %s", c[0], c[1]) << QString("lineEdit") + c[0] << c[1] << c[2];
    }

    void editorFields()
    {
        const auto [field, text, saved]
            = fetch<QString, QString, QString>("field", "text", "saved");
        LocalSystemsDialog dialog({}, QString(), path);
        dialog.show();
        QVERIFY(message(&dialog).startsWith("Осевой меридиан: введите угол"));
        QCOMPARE(child<QComboBox>(&dialog, "comboBoxDatum")->currentText(), QString("Пулково 42"));
        QCOMPARE(child<QLineEdit>(&dialog, "lineEditScale")->text(), QString("1"));
        QCOMPARE(child<QLineEdit>(&dialog, "lineEditOriginLatitude")->text(), QString("0"));
        typeInto(child<QLineEdit>(&dialog, "lineEditName"), "Участок");
        typeInto(child<QLineEdit>(&dialog, "lineEditMeridian"), "38");
        for (const char *name : {"lineEditFalseEasting", "lineEditFalseNorthing"})
            typeInto(child<QLineEdit>(&dialog, name), "-5712900,5");
        if (field == "lineEditKeys")
            chooseItem(child<QComboBox>(&dialog, "comboBoxKeys"), "подобие: dX dY a b");
        typeInto(child<QLineEdit>(&dialog, qPrintable(field)), text);
        clickButton(&dialog, "Сохранить");
        const bool refused = saved.startsWith('!');
        QCOMPARE(dialog.isVisible(), refused);
        QCOMPARE(QFile::exists(path), !refused);
        if (refused) {
            QVERIFY2(message(&dialog).contains(saved.mid(1)), qPrintable(message(&dialog)));
            QVERIFY(!message(&dialog).contains("nan") && !message(&dialog).contains("base"));
            return;
        }
        const LocalSystems::Systems systems = savedSystems(path);
        QCOMPARE(systems.size(), 1);
        QCOMPARE(systems.first().name, QString("Участок"));
        QVERIFY2(systems.first().base.contains(saved), qPrintable(systems.first().base));
    }

    // The list's buttons: add, copy, delete, "Из строки PROJ…" (a new system unless told to
    // replace; a refusal names the datums as the lists do). The list saved is the list shown; a
    // repeated name is refused by name.
    void editorList()
    {
        // The editor opens on the file's systems, as the window gives them.
        const LocalSystems::Systems start = {city, {"U", "utm:37n", {}, {}, {2.5, 0, 0}, {}}};
        QString error;
        QVERIFY(LocalSystems::write(path, start, &error));
        LocalSystemsDialog dialog(start, "U", path);
        dialog.show();
        auto *list = child<QListWidget>(&dialog, "listWidgetSystems");
        QCOMPARE(list->currentItem()->text(), QString("U"));
        QCOMPARE(child<QComboBox>(&dialog, "comboBoxKind")->currentText(), QString("UTM"));
        QCOMPARE(child<QLineEdit>(&dialog, "lineEditHeight")->text(), QString("2.5")); // no plane
        QVERIFY(!child<QLineEdit>(&dialog, "lineEditMeridian")->isEnabled());
        QTest::keyClick(child<QComboBox>(&dialog, "comboBoxKind"), Qt::Key_Down); // to TM
        QTest::keyClick(list, Qt::Key_Up), QTest::keyClick(list, Qt::Key_Down);   // away, back
        QVERIFY(child<QLineEdit>(&dialog, "lineEditMeridian")->isEnabled());      // TM, half typed
        QTest::keyClick(child<QComboBox>(&dialog, "comboBoxKind"), Qt::Key_Up);   // UTM again
        clickButton(&dialog, "Копировать");
        QCOMPARE(list->currentItem()->text(), QString("U (копия)"));
        typeInto(child<QLineEdit>(&dialog, "lineEditName"), "Город");
        clickButton(&dialog, "Сохранить");
        QVERIFY(message(&dialog).contains("Имя «Город» уже занято"));
        QCOMPARE(savedSystems(path).size(), 2); // nothing written
        typeInto(child<QLineEdit>(&dialog, "lineEditName"), "U2");
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QCOMPARE(child<QLineEdit>(&dialog, "lineEditName")->text(), QString("Город"));
        clickButton(&dialog, "Удалить");
        clickButton(&dialog, "Добавить");
        clickButton(&dialog, "Строка PROJ");
        QVERIFY(message(&dialog).startsWith("У системы нет основы"));
        clickButton(&dialog, "Удалить"); // the new one, never completed
        QCOMPARE(list->count(), 2);
        const auto import = [&dialog](const QString &definition, bool replace) {
            whenModal([definition, replace](QWidget *box) {
                auto *edit = child<QPlainTextEdit>(box, "plainTextEditProj");
                // A 150-character definition shows whole in two lines.
                QVERIFY(edit->width() * 2 >= edit->fontMetrics().horizontalAdvance(epsgSk42));
                typeInto(edit, definition);
                if (replace)
                    tick(child<QCheckBox>(box, "checkBoxReplace"));
                clickButton(box, "Принять");
            });
            clickButton(&dialog, "Из строки PROJ…");
        };
        const auto said = [&dialog](const char *text) { return message(&dialog).contains(text); };
        import(QString(epsgSk42).section(" +towgs84", 0, 0), false);
        QVERIFY(said("без него Пулково 42 и Пулково 95 не различить"));
        QCOMPARE(list->count(), 2);
        import(epsgSk42, false);
        QVERIFY(said("взят датум Пулково 42") && said(" см") && !said("position"));
        QCOMPARE(list->count(), 3);
        QCOMPARE(child<QLineEdit>(&dialog, "lineEditMeridian")->text(), QString("37.98333333333"));
        import(QString(epsgSk42).replace("+lon_0=37.98333333333", "+lon_0=39"), true);
        QCOMPARE(list->count(), 3);
        clickButton(&dialog, "Строка PROJ");
        QCOMPARE(message(&dialog), QString("Строка PROJ скопирована."));
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            "+proj=tmerc +lat_0=0 +lon_0=39 +k=1 +x_0=2250000 +y_0=-5712900.566 +ellps=krass "));
        clickButton(&dialog, "Сохранить");
        QVERIFY(!dialog.isVisible());
        const LocalSystems::Systems saved = savedSystems(path);
        QCOMPARE(saved.size(), 3);
        QCOMPARE(saved.at(1).name, QString("U2"));
        QCOMPARE(saved.at(1).base, QString("utm:37n"));
        QCOMPARE(saved.at(1).dh[0], 2.5);
        QVERIFY2(saved.at(2).base.startsWith("tm:sk42:lon0=39,"), qPrintable(saved.at(2).base));
        QCOMPARE(saved.at(2).name, QString("Новая система 3")); // numbered after the two before
        // A system deleted and the editor closed with Esc: asked, "Сохранить" saves the rest.
        LocalSystemsDialog again(saved, saved.at(2).name, path);
        again.show();
        clickButton(&again, "Удалить");
        DialogLog log; // "Сохранить" to unsaved changes
        QTest::keyClick(&again, Qt::Key_Escape);
        QCOMPARE(log.shown.size(), 1);
        QVERIFY(!again.isVisible());
        QCOMPARE(savedSystems(path).size(), 2);
        QCOMPARE(savedSystems(path).at(1).name, QString("U2"));
    }

    // Отмена, Esc and the window's close: without changes they close; with changes they ask.
    void editorClosing()
    {
        const struct
        {
            const char *how;
            bool edit, yes, no, open, written;
        } cases[] = {{"Отмена", false, true, false, false, false},
            {"Esc", true, true, false, false, true}, {"Отмена", true, false, true, false, false},
            {"close", true, false, false, true, false}};
        for (const auto &c : cases) {
            QFile::remove(path);
            DialogLog log;
            log.yes = c.yes, log.no = c.no;
            LocalSystemsDialog dialog({city}, "Город", path);
            dialog.show();
            auto *height = child<QLineEdit>(&dialog, "lineEditHeight");
            if (c.edit)
                typeInto(height, "0.25");
            if (c.how == QByteArray("Отмена"))
                clickButton(&dialog, "Отмена");
            else if (c.how == QByteArray("Esc"))
                QTest::keyClick(height, Qt::Key_Escape);
            else
                dialog.close();
            QCOMPARE(log.shown.size(), c.edit ? 1 : 0);
            QVERIFY(!c.edit || log.shown.first().startsWith("changes|"));
            QCOMPARE(dialog.isVisible(), c.open);
            QCOMPARE(QFile::exists(path), c.written);
            QVERIFY(!c.written || savedSystems(path).first().dh[0] == 0.25);
        }
    }

    // From the window: the editor by a panel's "…", a system typed in and saved joins both panels'
    // lists. "Ключи…": the base chosen with its controls, list A loaded and its last point typed,
    // list B pasted, a point left out by its check box, the report saved with its suffix, the
    // system saved once under a name; the lists kept for the dialog's next opening. The About box.
    void fromWindow()
    {
        QFile::remove(LocalSystems::defaultPath());
        TestWindow window(tempPath("no.grd"));
        chooseItem(child<QComboBox>(window.left(), "comboBoxType"), "Местная система");
        bool saved = false;
        whenModal([&saved](QWidget *dialog) {
            chooseItem(child<QComboBox>(dialog, "comboBoxKind"), "Гаусса-Крюгера");
            typeInto(child<QLineEdit>(dialog, "lineEditName"), "Район 7");
            typeInto(child<QSpinBox>(dialog, "spinBoxZone"), "7");
            // Enter in a field saves, as in any dialog.
            QTest::keyClick(child<QLineEdit>(dialog, "lineEditHeight"), Qt::Key_Return);
            saved = !dialog->isVisible();
            if (!saved)
                dialog->close();
        });
        click(window.left(), "pushButtonLocalSystems");
        QVERIFY(saved);
        const LocalSystems::Systems systems = savedSystems(LocalSystems::defaultPath());
        QCOMPARE(systems.size(), 1);
        QCOMPARE(systems.first().base, QString("gk:sk42:7"));
        for (Panel *panel : {window.left(), window.right()})
            QCOMPARE(child<QComboBox>(panel, "comboBoxLocalSystem")->findText("Район 7"), 0);
        QString a, b;
        for (int i = 0; i < 6; ++i) {
            const double x = 6100000 + 1000 * i, y = 7400000 + 700 * (i % 3);
            const double slip = i == 4 ? 0.5 : 0.003 * (i % 2 ? 1 : -1);
            const QString row = QStringLiteral("P%1; %2; %3; %4\n").arg(i);
            a += row.arg(x, 0, 'f', 3).arg(y, 0, 'f', 3).arg(150);
            b += row.arg(x - 6000000 + slip, 0, 'f', 3).arg(y - 7000000, 0, 'f', 3).arg(160);
        }
        QVERIFY(writeFile(tempPath("a.txt"), a.section('\n', 0, 4).toUtf8()));
        QGuiApplication::clipboard()->setText(b);
        QFile::remove(tempPath("отчёт.txt"));
        QSize lists; // the rows of A and B as left
        whenModal([&](QWidget *dialog) {
            auto *keys = qobject_cast<KeyFitDialog *>(dialog);
            chooseItem(child<QComboBox>(dialog, "comboBoxKind"), "Гаусса-Крюгера");
            chooseItem(child<QComboBox>(dialog, "comboBoxDatum"), "Пулково 95");
            typeInto(child<QSpinBox>(dialog, "spinBoxZone"), "7");
            chooseItem(child<QComboBox>(dialog, "comboBoxHeight"), "Сдвиг");
            window.log.fileName = tempPath("a.txt");
            click(dialog, "pushButtonLoadA");
            typeKeys(keys->tableA(), 4, 3, "\t" + a.section('\n', 5, 5).replace("; ", "\t") + "\n");
            typeKeys(keys->tableB(), 0, 0, QString());
            QTest::keyClick(keys->tableB(), Qt::Key_V, Qt::ControlModifier);
            clickButton(dialog, "Вычислить");
            const auto *report = child<QPlainTextEdit>(dialog, "plainTextEditReport");
            const auto text = [report] { return report->toPlainText(); };
            QVERIFY2(
                text().contains("Система списка A: Гаусса-Крюгера, Пулково 95, зона 7, север\n"),
                qPrintable(text()));
            QVERIFY(text().contains("Подозрительных точек: 1"));
            auto *residuals = child<QTableWidget>(dialog, "tableWidgetResiduals");
            // The flagged point's row, and only its row, marked and tinted.
            for (int row = 0; row < 6; ++row) {
                const QColor tint = residuals->item(row, 5)->background().color();
                QCOMPARE(residuals->item(row, 5)->text().startsWith("! положение "), row == 4);
                QCOMPARE(residuals->item(row, 3)->text(), QString("0.000")); // vH: every B 10 m up
                QCOMPARE(tint.isValid() && tint.red() > tint.green() + 30, row == 4);
            }
            residuals->setFocus();
            residuals->setCurrentCell(4, 0);
            QTest::keyClick(residuals, Qt::Key_Space);
            QVERIFY2(text().contains("В уравнивании 5 из 6 точек"), qPrintable(text()));
            window.log.fileName = tempPath("отчёт");
            clickButton(dialog, "Сохранить отчёт…");
            QCOMPARE(QString::fromUtf8(readFile(tempPath("отчёт.txt"))), text());
            window.log.fileName = "Город-2"; // the name asked for, once free, then taken
            clickButton(dialog, "Сохранить как местную систему…");
            clickButton(dialog, "Сохранить как местную систему…");
            QVERIFY(window.log.shown.last().contains("«Город-2» уже есть"));
            // Points left out until no fit remains: still listed, so one is taken back.
            for (int row : {0, 1, 2, 3}) {
                residuals->setCurrentCell(row, 0);
                QTest::keyClick(residuals, Qt::Key_Space);
            }
            QVERIFY2(text().startsWith(
                         "Ключи не найдены: для подобия нужно не меньше 2 точек, в уравнивании 1"),
                qPrintable(text()));
            QVERIFY(residuals->rowCount() == 6 && residuals->item(5, 1)->text().isEmpty()
                && residuals->item(5, 5)->text().isEmpty());
            QVERIFY(!child<QPushButton>(dialog, "pushButtonSaveSystem")->isEnabled());
            residuals->setCurrentCell(0, 0);
            QTest::keyClick(residuals, Qt::Key_Space);
            QVERIFY2(text().contains("В уравнивании 2 из 6 точек"), qPrintable(text()));
            window.log.fileName = "Город-3"; // no check left: saved on the user's yes
            clickButton(dialog, "Сохранить как местную систему…");
            lists = QSize(keys->tableA()->rowCount(), keys->tableB()->rowCount());
            clickButton(dialog, "Закрыть");
        });
        click(window.left(), "pushButtonFitKeys");
        QCOMPARE(savedSystems(LocalSystems::defaultPath()).size(), 3);
        for (Panel *panel : {window.left(), window.right()})
            QVERIFY(child<QComboBox>(panel, "comboBoxLocalSystem")->findText("Город-2") >= 0);
        bool kept = false;
        QCOMPARE(lists.width(), 7); // and the row Enter added
        // Closed again without a save, the dialog tells the window nothing was saved.
        auto *status = child<QStatusBar>(&*window.window, "statusBar");
        status->clearMessage();
        whenModal([&](QWidget *dialog) {
            auto *keys = qobject_cast<KeyFitDialog *>(dialog);
            kept = keys && QSize(keys->tableA()->rowCount(), keys->tableB()->rowCount()) == lists
                && child<QComboBox>(dialog, "comboBoxDatum")->currentText() == "Пулково 95";
            clickButton(dialog, "Закрыть");
        });
        click(window.right(), "pushButtonFitKeys");
        QVERIFY(kept && status->currentMessage().isEmpty());
        // The About box lists every key of the key table in one column of keys and one of actions.
        window.log.shown.clear();
        click(window.right(), "pushButtonAbout");
        QCOMPARE(window.log.shown.size(), 1);
        const QString text = window.log.shown.first();
        QVERIFY(text.startsWith("about|О программе|"));
        const QVector<WindowKeys::Command> commands = WindowKeys::commands();
        QCOMPARE(text.count("<tr>"), commands.size());
        for (const WindowKeys::Command &c : commands)
            QVERIFY2(text.contains("<nobr>" + c.keys + "</nobr></td><td><nobr>" + c.action),
                qPrintable(c.keys));
        for (const char *keys :
            {"Ctrl+Insert", "Ctrl+Delete", "Стрелка вниз", "Ctrl+Shift+Tab", "F9, Ctrl+Enter"})
            QVERIFY2(text.contains(QString("<nobr>%1</nobr>").arg(keys)), keys);
    }

    // On a 1366 x 768 screen the first-start window shows 15 rows and DMS results without "…";
    // there and at its minimum, its captions whole; the zone and height controls in that window.
    // Every caption, field hint and list entry of the dialogs shows whole.
    void textsWhole()
    {
        const QString name24 = "МСК-50 зона 2 Подольский"; // 24 characters
        const LocalSystems::Systems named = {{name24, "gk:sk42:7", {}, {}, {}, {}}};
        QString error;
        QVERIFY(LocalSystems::write(LocalSystems::defaultPath(), named, &error));
        TestWindow window(KELVADRA_EGM96_GRD);
        MainWindow &w = *window.window;
        const QList<QTableWidget *> tables {window.left()->table(), window.right()->table()};
        const QSize frame = WindowSize::typicalFrame(&w);
        const QSize size = WindowSize::firstStartSize(&w, tables, QRect(0, 0, 1366, 768), frame);
        QVERIFY(size.width() + frame.width() <= 1366 && size.height() + frame.height() <= 768);
        w.setMinimumSize(w.minimumSizeHint()); // the offscreen screen is smaller
        w.resize(size);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QSize firstStart = w.size();
        setRows(*window.left(), {"Пункт 1; 55 45 5.5; 37 37 6.25; 150", "P2; -33.5; -70.25; 10"});
        window.run();
        for (const QTableWidget *table : tables) {
            // Offscreen rows are taller than at 96 dpi: at the screen's full height one row less.
            const int rows = table->viewport()->height() / table->rowHeight(0);
            QVERIFY2(rows >= WindowSize::kVisibleRows - (size.height() + frame.height() == 768),
                qPrintable(QString("%1 in %2x%3").arg(rows).arg(size.width()).arg(size.height())));
            const int room = 2 * table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
            for (int i = 0; i < 4 * table->rowCount(); ++i) {
                const QString text = table->item(i / 4, i % 4)->text();
                QVERIFY2(
                    table->fontMetrics().horizontalAdvance(text) < table->columnWidth(i % 4) - room,
                    qPrintable(text));
            }
        }
        // Automatic zones read "авто", a zone typed comes back; the height column says which
        // height, whole.
        Panel *input = window.left();
        chooseItem(child<QComboBox>(input, "comboBoxType"), "Гаусса-Крюгера");
        auto *zone = child<QSpinBox>(input, "spinBoxZone");
        auto *automatic = child<QCheckBox>(input, "checkBoxAutoZone");
        QVERIFY(automatic->isChecked());
        QCOMPARE(zone->text(), QString("авто"));
        tick(automatic);
        typeInto(zone, "13");
        QCOMPARE(input->choices().zone, 13);
        tick(automatic);
        QCOMPARE(zone->text(), QString("авто"));
        QVERIFY(input->choices().autoZone);
        tick(automatic);
        QCOMPARE(zone->value(), 13);
        chooseItem(child<QComboBox>(input, "comboBoxDatum"), "Пулково 95"); // automatic again
        QVERIFY(automatic->isChecked() && !zone->isEnabled());
        configure(input, "gk:sk42:1");
        QCOMPARE(zone->text(), QString("1")); // zone 1 typed is no "авто"
        const auto header = [input] { return input->table()->horizontalHeaderItem(3)->text(); };
        QCOMPARE(header(), QString("h (эллипс.)"));
        chooseItem(child<QComboBox>(input, "comboBoxGeoid"), "EGM96");
        QCOMPARE(header(), QString("H (EGM96)"));
        chooseItem(child<QComboBox>(input, "comboBoxType"), "Геодезическая");
        QCOMPARE(header(), QString("H (EGM96)"));
        const QHeaderView *view = input->table()->horizontalHeader();
        for (const QString &text : {QString("h (эллипс.)"), QString("H (EGM96)")})
            QVERIFY(view->sectionSize(3) >= view->fontMetrics().horizontalAdvance(text) + 8);
        for (const bool smallest : {false, true}) {
            for (Panel *panel : {window.left(), window.right()}) {
                for (const char *type : {"Местная система", "Геодезическая"}) {
                    chooseItem(child<QComboBox>(panel, "comboBoxType"), type);
                    QCoreApplication::processEvents();
                    w.resize(smallest ? w.minimumSizeHint() : firstStart);
                    QVERIFY2(clipped(&w).isEmpty(), qPrintable(clipped(&w)));
                    auto *local = child<QComboBox>(panel, "comboBoxLocalSystem");
                    if (local->isVisible())
                        QVERIFY(local->width() - 30
                            >= local->fontMetrics().horizontalAdvance(local->currentText()));
                }
            }
        }
        LocalSystemsDialog editor(named, QString(), path);
        KeyFitDialog keys({{name24, "tm:sk42:lon0=38,lat0=0,k=1,fe=0,fn=0", {}, {}, {}, {}}}, path,
            true, "tm:sk42:lon0=38,lat0=0,k=1,fe=0,fn=0");
        for (QDialog *dialog : {static_cast<QDialog *>(&editor), static_cast<QDialog *>(&keys)}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QVERIFY2(dialog->width() <= 1366 && dialog->height() <= 768 - 60,
                qPrintable(QString("%1x%2").arg(dialog->width()).arg(dialog->height())));
            QVERIFY2(clipped(dialog).isEmpty(), qPrintable(clipped(dialog)));
        }
        chooseItem(child<QComboBox>(&editor, "comboBoxKind"), "Поперечный Меркатор");
        for (const char *field : {"lineEditMeridian", "lineEditOriginLatitude", "lineEditKeys"})
            child<QLineEdit>(&editor, field)->clear();
        QVERIFY2(clipped(&editor).isEmpty(), qPrintable(clipped(&editor)));
        const auto *list = child<QListWidget>(&editor, "listWidgetSystems");
        QVERIFY(list->viewport()->width() >= list->fontMetrics().horizontalAdvance(name24) + 8);
        // On a panel's system of a local system's projection, the keys dialog names it, whole.
        auto *kind = child<QComboBox>(&keys, "comboBoxKind");
        QCOMPARE(kind->currentText(), "основа «" + name24 + "»");
        QVERIFY(kind->width() >= kind->fontMetrics().horizontalAdvance(kind->currentText()));
    }

private:
    static QString message(const QWidget *d) { return child<QLabel>(d, "labelMessage")->text(); }
    QString path;
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
