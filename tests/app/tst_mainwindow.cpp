// The main window: its form, the geoid offered after start-up, swapping the
// lists, the About box, and calculations from the left panel into the right
// one as a person would run them. Message boxes are answered through the
// dialog seam and recorded.
#include "Dialogs.h"
#include "MainWindow.h"
#include "Panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

const QString warningTitle = QStringLiteral("Предупреждение");
const QString rowErrors = QStringLiteral("При пересчете координат произошли ошибки\n"
                                         "(см. пустые строки в списке вычисленных координат)");

QList<Dialogs::Request> &shown()
{
    static QList<Dialogs::Request> requests;
    return requests;
}

template <typename Widget> Widget *child(const QObject *parent, const char *name)
{
    Widget *widget = parent->findChild<Widget *>(QLatin1String(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// The trimmed cells of every row of a panel.
QList<QStringList> cellsOf(const Panel *panel)
{
    QList<QStringList> rows;
    for (const QString &row : panel->points()) {
        QStringList cells = row.split(QLatin1Char(';'));
        for (QString &cell : cells)
            cell = cell.trimmed();
        rows.append(cells);
    }
    return rows;
}

double number(const QString &text)
{
    return QLocale::c().toDouble(text);
}

void selectType(Panel *panel, int index)
{
    child<QComboBox>(panel, "comboBoxType")->setCurrentIndex(index);
}

void selectDatum(Panel *panel, const char *text)
{
    QComboBox *datum = child<QComboBox>(panel, "comboBoxDatum");
    const int index = datum->findText(QString::fromUtf8(text));
    if (index < 0)
        qFatal("no datum %s", text);
    datum->setCurrentIndex(index);
}

void calculate(MainWindow *window)
{
    child<QPushButton>(window->inputPanel(), "pushButtonCalculate")->click();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void form();
    void geoidOffered();
    void geoidFileMissing();
    void swapTwice();
    void aboutFromRightPanel();

    void geodeticIntoAnotherDatum();
    void geocentricTargetFails();
    void automaticTargetZone();
    void automaticSourceZone();
    void geoidHeights();
    void geoidSideWithoutGrid();
    void unsignedLongitude();
    void trailingEmptyRowsDropped();

private:
    std::unique_ptr<MainWindow> makeWindow(const QString &geoidPath);

    QTemporaryDir dir;
    QString gridPath;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(dir.isValid());
    // A world grid of constant geoid height 10 m: lat -90..90, lon -180..360,
    // 90 degrees apart, in radians.
    gridPath = dir.filePath(QStringLiteral("egm96.grd"));
    QFile file(gridPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const double quarter = 1.5707963267948966;
    QByteArray text = QByteArray::number(-quarter, 'g', 17) + ' '
        + QByteArray::number(quarter, 'g', 17) + ' ' + QByteArray::number(-2 * quarter, 'g', 17)
        + ' ' + QByteArray::number(4 * quarter, 'g', 17) + ' '
        + QByteArray::number(quarter, 'g', 17) + ' ' + QByteArray::number(quarter, 'g', 17) + '\n';
    for (int row = 0; row < 3; ++row)
        text += "10\t10\t10\t10\t10\t10\t10\n";
    QVERIFY(file.write(text) == text.size());
    file.close();

    Dialogs::setAnswerer([](const Dialogs::Request &request) {
        shown().append(request);
        return Dialogs::Answer();
    });
}

void TestMainWindow::init()
{
    shown().clear();
}

void TestMainWindow::cleanupTestCase()
{
    Dialogs::setAnswerer(Dialogs::Answerer());
    MainWindow::setGeoidFilePath(QString());
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow(const QString &geoidPath)
{
    MainWindow::setGeoidFilePath(geoidPath);
    return std::make_unique<MainWindow>();
}

void TestMainWindow::form()
{
    auto window = makeWindow(gridPath);
    QCOMPARE(window->windowTitle(), QStringLiteral("VORLANIX Ranticor (ГОСТ 32453-2017)"));
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window->size(), QSize(454, 356));
    QVERIFY(window->menuBar()->actions().isEmpty());
    QCOMPARE(window->menuBar()->objectName(), QStringLiteral("menuBar"));
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("centralWidget"));
    auto *grid = child<QGridLayout>(window.get(), "gridLayout");
    QCOMPARE(grid->spacing(), 0);
    QCOMPARE(grid->contentsMargins(), QMargins(0, 0, 0, 0));

    auto *splitter = window->findChild<QSplitter *>();
    QVERIFY(splitter);
    QCOMPARE(splitter->orientation(), Qt::Horizontal);
    QVERIFY(!splitter->childrenCollapsible());
    QCOMPARE(splitter->count(), 2);
    QCOMPARE(splitter->widget(0), static_cast<QWidget *>(window->inputPanel()));
    QCOMPARE(splitter->widget(1), static_cast<QWidget *>(window->outputPanel()));
    // Dragging the handle all the way leaves both panels visible.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    splitter->setSizes({ 0, 1000 });
    QVERIFY(window->inputPanel()->width() > 0);
    splitter->setSizes({ 1000, 0 });
    QVERIFY(window->outputPanel()->width() > 0);

    // Roles: only the left panel calculates, only the right one has About.
    const Panel *left = window->inputPanel();
    const Panel *right = window->outputPanel();
    QVERIFY(child<QPushButton>(left, "pushButtonCalculate")->isVisible());
    QVERIFY(!child<QPushButton>(left, "pushButtonAbout")->isVisible());
    QVERIFY(!child<QPushButton>(right, "pushButtonCalculate")->isVisible());
    QVERIFY(!child<QPushButton>(right, "pushButtonLoad")->isVisible());
    QVERIFY(child<QPushButton>(right, "pushButtonAbout")->isVisible());
    QVERIFY(shown().isEmpty());
}

void TestMainWindow::geoidOffered()
{
    auto window = makeWindow(gridPath);
    QVERIFY(shown().isEmpty());
    QVERIFY(check_geoid(window->geoidRecord()));
    for (const Panel *panel : { window->inputPanel(), window->outputPanel() }) {
        const QComboBox *geoid = child<QComboBox>(panel, "comboBoxGeoid");
        QCOMPARE(geoid->count(), 2);
        QCOMPARE(geoid->itemText(0), QStringLiteral("Нет"));
        QCOMPARE(geoid->itemText(1), QStringLiteral("EGM96"));
        QCOMPARE(geoid->currentIndex(), 0);
    }
}

void TestMainWindow::geoidFileMissing()
{
    const QString missing = dir.filePath(QStringLiteral("absent/egm96.grd"));
    auto window = makeWindow(missing);
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].kind, Dialogs::Kind::Warning);
    QCOMPARE(shown()[0].title, warningTitle);
    QCOMPARE(shown()[0].text, QStringLiteral("Ошибка при загрузке геоида из файла:\n") + missing);
    QVERIFY(!check_geoid(window->geoidRecord()));
    for (const Panel *panel : { window->inputPanel(), window->outputPanel() })
        QCOMPARE(child<QComboBox>(panel, "comboBoxGeoid")->count(), 1);

    // A file that opens but holds nothing is no grid either, and says nothing.
    const QString empty = dir.filePath(QStringLiteral("empty.grd"));
    QFile file(empty);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    shown().clear();
    auto second = makeWindow(empty);
    QVERIFY(shown().isEmpty());
    QCOMPARE(child<QComboBox>(second->outputPanel(), "comboBoxGeoid")->count(), 1);
}

// Ctrl+U in either panel swaps the lists; twice restores them, each
// coordinate cell with two more leading blanks. The systems stay put.
void TestMainWindow::swapTwice()
{
    auto window = makeWindow(gridPath);
    Panel *left = window->inputPanel();
    Panel *right = window->outputPanel();
    selectType(right, 3);
    left->setPoints({ QStringLiteral("P1;55 45 5;37 37 6;100"), QStringLiteral("P2;1;2;") });
    right->setPoints({ QStringLiteral("Q1;1000;2000;3000") });

    // "; " joins the cells: one blank of each separator is the joint, the
    // others lead the cells.
    QTest::keyClick(left->table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(left->points(), QStringList({ QStringLiteral("Q1;  1000;  2000;  3000") }));
    QCOMPARE(right->points(),
        QStringList(
            { QStringLiteral("P1;  55 45 5;  37 37 6;  100"), QStringLiteral("P2;  1;  2;  ") }));

    QTest::keyClick(right->table(), Qt::Key_U, Qt::ControlModifier);
    QCOMPARE(left->points(),
        QStringList({ QStringLiteral("P1;   55 45 5;   37 37 6;   100"),
            QStringLiteral("P2;   1;   2;   ") }));
    QCOMPARE(right->points(), QStringList({ QStringLiteral("Q1;   1000;   2000;   3000") }));
    QCOMPARE(left->systemType(), 2);
    QCOMPARE(right->systemType(), 1);
    QVERIFY(shown().isEmpty());
}

void TestMainWindow::aboutFromRightPanel()
{
    auto window = makeWindow(gridPath);
    child<QPushButton>(window->outputPanel(), "pushButtonAbout")->click();
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].kind, Dialogs::Kind::About);
    QCOMPARE(shown()[0].title, QStringLiteral("О программе"));
    QCOMPARE(shown()[0].text,
        QStringLiteral("VORLANIX Ranticor (ГОСТ 32453-2017)\nВерсия 1.00\n\n\nГорячие клавиши:"
                       "\nCtrl+Insert\t вставить строку в список точек"
                       "\nCtrl+Delete\t удалить строку из списка точек"
                       "\nCtrl+N\t\t подсчет строк в списке точек"
                       "\nCtrl+I\t\t поиск некорректных строк"
                       "\nCtrl+D\t\t удалить некорректные строки"
                       "\nCtrl+E\t\t удалить пустые строки"
                       "\nCtrl+U\t\t поменять списки точек местами"));
}

// P1 at 55 45 5 / 37 37 6 with a blank height into Pulkovo 42 in decimal
// degrees: nine decimals, the height left blank, no warning.
void TestMainWindow::geodeticIntoAnotherDatum()
{
    auto window = makeWindow(gridPath);
    Panel *right = window->outputPanel();
    selectDatum(right, "Пулково 42");
    child<QRadioButton>(right, "radioButtonDegrees")->setChecked(true);
    window->inputPanel()->setPoints(
        { QStringLiteral("P1; 55 45 5; 37 37 6; "), QStringLiteral("P2; ; ; ") });
    calculate(window.get());

    QVERIFY(shown().isEmpty());
    const QList<QStringList> rows = cellsOf(right);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0][0], QStringLiteral("P1"));
    const QRegularExpression nineDecimals(QStringLiteral("^\\d+\\.\\d{9}$"));
    QVERIFY2(nineDecimals.match(rows[0][1]).hasMatch(), qPrintable(rows[0][1]));
    QVERIFY2(nineDecimals.match(rows[0][2]).hasMatch(), qPrintable(rows[0][2]));
    QCOMPARE(rows[0][3], QString());
    // Pulkovo 42 lies some 100 m off WGS 84 here (the values themselves are
    // checked against PROJ in the calculation's own test).
    const double latitudeShift = number(rows[0][1]) - (55 + 45 / 60.0 + 5 / 3600.0);
    const double longitudeShift = number(rows[0][2]) - (37 + 37 / 60.0 + 6 / 3600.0);
    QVERIFY(std::fabs(latitudeShift) < 0.01);
    QVERIFY(std::fabs(longitudeShift) > 0.001 && std::fabs(longitudeShift) < 0.01);
    QCOMPARE(rows[1], QStringList({ QStringLiteral("P2"), QString(), QString(), QString() }));
}

void TestMainWindow::geocentricTargetFails()
{
    auto window = makeWindow(gridPath);
    Panel *right = window->outputPanel();
    selectType(right, 3);
    window->inputPanel()->setPoints(
        { QStringLiteral("P1; 55 45 5; 37 37 6; "), QStringLiteral("P2; 55 45 5; 37 37 6; 120") });
    calculate(window.get());

    const QList<QStringList> rows = cellsOf(right);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], QStringList({ QStringLiteral("P1"), QString(), QString(), QString() }));
    QVERIFY(number(rows[1][1]) > 2800000 && number(rows[1][3]) > 5200000);
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].kind, Dialogs::Kind::Warning);
    QCOMPARE(shown()[0].title, warningTitle);
    QCOMPARE(shown()[0].text, rowErrors);
}

// GSK 2011 Gauss-Krüger on the right with the zone automatic: zones 7 and 8
// for longitudes 37.5 and 45.5; with zone 7 fixed, both in zone 7.
void TestMainWindow::automaticTargetZone()
{
    auto window = makeWindow(gridPath);
    Panel *right = window->outputPanel();
    selectType(right, 1);
    selectDatum(right, "ГСК 2011");
    QVERIFY(child<QCheckBox>(right, "checkBoxAutoZone")->isChecked());
    window->inputPanel()->setPoints(
        { QStringLiteral("A; 55.5; 37.5; 100"), QStringLiteral("B; 55.5; 45.5; 100") });
    calculate(window.get());
    QVERIFY(shown().isEmpty());
    QList<QStringList> rows = cellsOf(right);
    QCOMPARE(rows.size(), 2);
    QVERIFY2(
        rows[0][2].startsWith(QLatin1Char('7')) && rows[0][2].size() == 11, qPrintable(rows[0][2]));
    QVERIFY2(
        rows[1][2].startsWith(QLatin1Char('8')) && rows[1][2].size() == 11, qPrintable(rows[1][2]));
    QVERIFY(std::fabs(number(rows[0][1]) - 6152000) < 10000);

    child<QCheckBox>(right, "checkBoxAutoZone")->setChecked(false);
    child<QSpinBox>(right, "spinBoxZone")->setValue(7);
    calculate(window.get());
    QVERIFY(shown().isEmpty());
    rows = cellsOf(right);
    QVERIFY(rows[0][2].startsWith(QLatin1Char('7')));
    QVERIFY(rows[1][2].startsWith(QLatin1Char('7')));
}

// GSK 2011 Gauss-Krüger on the left with the zone automatic (northern): each
// row's zone comes from its easting.
void TestMainWindow::automaticSourceZone()
{
    auto window = makeWindow(gridPath);
    Panel *left = window->inputPanel();
    Panel *right = window->outputPanel();
    selectType(right, 1);
    selectDatum(right, "ГСК 2011");
    left->setPoints({ QStringLiteral("A; 55.5; 37.5; 100"), QStringLiteral("B; 55.5; 45.5; 100") });
    calculate(window.get());
    const QStringList planeRows = right->points();

    selectType(left, 1);
    selectDatum(left, "ГСК 2011");
    QVERIFY(child<QCheckBox>(left, "checkBoxAutoZone")->isChecked());
    selectType(right, 0);
    selectDatum(right, "WGS 84");
    child<QRadioButton>(right, "radioButtonDegrees")->setChecked(true);
    left->setPoints(planeRows);
    calculate(window.get());
    QVERIFY(shown().isEmpty());

    const QList<QStringList> rows = cellsOf(right);
    QCOMPARE(rows.size(), 2);
    // Written to the millimetre, so back within about 1e-8 degrees.
    const double tolerance = 2e-8;
    QVERIFY(std::fabs(number(rows[0][1]) - 55.5) < tolerance);
    QVERIFY(std::fabs(number(rows[0][2]) - 37.5) < tolerance);
    QVERIFY(std::fabs(number(rows[1][1]) - 55.5) < tolerance);
    QVERIFY(std::fabs(number(rows[1][2]) - 45.5) < tolerance);
    QVERIFY(std::fabs(number(rows[1][3]) - 100) < 0.002);
}

// Heights above the geoid on the right: the 10 m grid comes off. A geocentric
// right panel whose disabled list still shows "EGM96" gives plain Z.
void TestMainWindow::geoidHeights()
{
    auto window = makeWindow(gridPath);
    Panel *right = window->outputPanel();
    child<QRadioButton>(right, "radioButtonDegrees")->setChecked(true);
    child<QComboBox>(right, "comboBoxGeoid")->setCurrentIndex(1);
    window->inputPanel()->setPoints({ QStringLiteral("A; 50; 40; 100") });
    calculate(window.get());
    QVERIFY(shown().isEmpty());
    QCOMPARE(cellsOf(right)[0],
        QStringList({ QStringLiteral("A"), QStringLiteral("50.000000000"),
            QStringLiteral("40.000000000"), QStringLiteral("90.000") }));

    selectType(right, 3);
    QVERIFY(!child<QComboBox>(right, "comboBoxGeoid")->isEnabled());
    QCOMPARE(right->geoidIndex(), 1);
    calculate(window.get());
    const QStringList withList = right->points();
    child<QComboBox>(right, "comboBoxGeoid")->setCurrentIndex(0);
    calculate(window.get());
    QCOMPARE(withList, right->points());
    QVERIFY(shown().isEmpty());
}

// A side asking for the geoid while the window holds no grid (the entry is
// added by hand here; start-up offers it only after a complete load): each
// routine warns in its own words, and the right table keeps its rows.
void TestMainWindow::geoidSideWithoutGrid()
{
    auto window = makeWindow(dir.filePath(QStringLiteral("absent.grd")));
    shown().clear();
    Panel *left = window->inputPanel();
    Panel *right = window->outputPanel();
    right->addGeoidModel();
    child<QComboBox>(right, "comboBoxGeoid")->setCurrentIndex(1);
    left->setPoints({ QStringLiteral("A; 50; 40; 100") });
    right->setPoints({ QStringLiteral("keep; 1; 2; 3") });
    const QStringList untouched = right->points();

    calculate(window.get());
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].title, warningTitle);
    QCOMPARE(shown()[0].text, QStringLiteral("Ошибка инициализации пересчета координат"));
    QCOMPARE(right->points(), untouched);

    selectType(right, 1);
    selectDatum(right, "ГСК 2011");
    shown().clear();
    calculate(window.get());
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown()[0].title, warningTitle);
    QCOMPARE(shown()[0].text, QStringLiteral("Ошибка инициализации геоида"));
    QCOMPARE(right->points(), untouched);

    // Without the geoid the same window converts.
    child<QComboBox>(right, "comboBoxGeoid")->setCurrentIndex(0);
    shown().clear();
    calculate(window.get());
    QVERIFY(shown().isEmpty());
    QVERIFY(cellsOf(right)[0][2].startsWith(QLatin1Char('7')));
}

void TestMainWindow::unsignedLongitude()
{
    auto window = makeWindow(gridPath);
    Panel *right = window->outputPanel();
    child<QRadioButton>(right, "radioButtonDegrees")->setChecked(true);
    child<QRadioButton>(right, "radioButtonUnsignedLongitude")->setChecked(true);
    window->inputPanel()->setPoints({ QStringLiteral("W; 40.25; -75.5; ") });
    calculate(window.get());
    QCOMPARE(cellsOf(right)[0],
        QStringList({ QStringLiteral("W"), QStringLiteral("40.250000000"),
            QStringLiteral("284.500000000"), QString() }));

    child<QRadioButton>(right, "radioButtonDMS")->setChecked(true);
    calculate(window.get());
    QCOMPARE(cellsOf(right)[0][2], QStringLiteral("284 30 0.00000"));
    QVERIFY(shown().isEmpty());
}

// Empty rows at the end of the left list, with the cursor in them, go before
// the calculation; the right list gets as many rows as remain.
void TestMainWindow::trailingEmptyRowsDropped()
{
    auto window = makeWindow(gridPath);
    Panel *left = window->inputPanel();
    left->setPoints({ QStringLiteral("P1; 10; 20; 0"), QStringLiteral("P2; 11; 21; 0"),
        QStringLiteral("; ; ; "), QStringLiteral("; ; ; ") });
    left->table()->setCurrentCell(3, 1);
    calculate(window.get());
    QCOMPARE(left->table()->rowCount(), 2);
    QCOMPARE(window->outputPanel()->table()->rowCount(), 2);
    QVERIFY(shown().isEmpty());

    // With the cursor above them, the empty rows stay and come out empty.
    left->setPoints({ QStringLiteral("P1; 10; 20; 0"), QStringLiteral("; ; ; ") });
    left->table()->setCurrentCell(0, 0);
    calculate(window.get());
    QCOMPARE(window->outputPanel()->table()->rowCount(), 2);
    QVERIFY(shown().isEmpty());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
