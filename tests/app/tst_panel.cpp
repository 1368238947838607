// The coordinate-system panel: its form, the consistency of its controls per
// system type, datum and role, the refsystem record it builds, the point
// table's row texts and the cell editor's guard.
#include "CoordinateDelegate.h"
#include "Dialogs.h"
#include "Panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <cstring>

namespace {

enum Role { NoRole, InputRole, OutputRole };
enum { Geodetic = 0, GaussKruger = 1, Utm = 2, Geocentric = 3 }; // comboBoxType indices

template <class T> T *child(const Panel &panel, const char *name)
{
    T *widget = panel.findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no child %s", name);
    return widget;
}

// A panel with its role, system type and datum chosen.
struct Fixture
{
    Panel panel;
    Fixture(Role role, int type, int datum = 0)
        : panel(role != OutputRole)
    {
        if (role == InputRole)
            panel.setInputRole();
        else if (role == OutputRole)
            panel.setOutputRole();
        combo("comboBoxType")->setCurrentIndex(type);
        if (datum)
            combo("comboBoxDatum")->setCurrentText(Panel::datumName(datum));
    }
    QComboBox *combo(const char *name) { return child<QComboBox>(panel, name); }
    QCheckBox *check(const char *name) { return child<QCheckBox>(panel, name); }
    QWidget *widget(const char *name) { return child<QWidget>(panel, name); }
};

QStringList headers(const Panel &panel)
{
    QStringList texts;
    for (int c = 0; c < 4; ++c)
        texts << panel.table()->horizontalHeaderItem(c)->text();
    return texts;
}

QStringList cells(const Panel &panel, int row)
{
    QStringList texts;
    for (int c = 0; c < 4; ++c)
        texts << (panel.table()->item(row, c) ? panel.table()->item(row, c)->text() : QString());
    return texts;
}

refsystem blankRecord()
{
    refsystem rs;
    std::memset(&rs, 0, sizeof rs); // the reset keeps some fields as they were
    return rs;
}

} // namespace

Q_DECLARE_METATYPE(Role)

class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void newPanel();
    void datumListFollowsType();
    void enabledState_data();
    void enabledState();
    void datumChangeReturnsZoneToAutomatic();
    void buildRefsystem_data();
    void buildRefsystem();
    void incompleteGsk2011Record_data();
    void incompleteGsk2011Record();
    void headersPerType();
    void pointsAndSetPoints();
    void trimTrailingEmptyRows_data();
    void trimTrailingEmptyRows();
    void editorGuard_data();
    void editorGuard();
    void aboutBox();
    void hundredThousandRows();
};

void TestPanel::form()
{
    Panel panel(true);
    QCOMPARE(panel.windowTitle(), QStringLiteral("Frame"));
    QCOMPARE(panel.size(), QSize(453, 488));
    QCOMPARE(panel.frameShape(), QFrame::StyledPanel);
    QCOMPARE(panel.frameShadow(), QFrame::Raised);

    const struct
    {
        const char *name, *className, *caption;
    } widgets[] = {
        { "groupBoxRefSystem", "QGroupBox", "Система координат" },
        { "groupBoxAngularUnit", "QGroupBox", "Единицы широты/долготы" },
        { "radioButtonDMS", "QRadioButton", "градусы минуты секунды" },
        { "radioButtonDegrees", "QRadioButton", "десятичные градусы" },
        { "groupBoxHemisphere", "QGroupBox", "Полушарие" },
        { "radioButtonNorthern", "QRadioButton", "Северное" },
        { "radioButtonSouthern", "QRadioButton", "Южное" },
        { "checkBoxAutoHemisphere", "QCheckBox", "автомат." },
        { "groupBoxCommon", "QGroupBox", "Общее" },
        { "labelType", "QLabel", "Тип" },
        { "labelDatum", "QLabel", "Датум" },
        { "labelGeoid", "QLabel", "Геоид" },
        { "groupBoxLongitudeRange", "QGroupBox", "Диапазон долгот" },
        { "radioButtonSignedLongitude", "QRadioButton", "от -180 до 180 градусов" },
        { "radioButtonUnsignedLongitude", "QRadioButton", "от 0 до 360 градусов" },
        { "groupBoxZone", "QGroupBox", "Номер зоны" },
        { "checkBoxAutoZone", "QCheckBox", "автомат." },
        { "pushButtonLoad", "QPushButton", "Загрузить..." },
        { "pushButtonSave", "QPushButton", "Сохранить..." },
        { "pushButtonClear", "QPushButton", "Очистить" },
        { "pushButtonAbout", "QPushButton", "О программе..." },
        { "pushButtonCalculate", "QPushButton", "Вычислить >>>" },
    };
    for (const auto &w : widgets) {
        QWidget *widget = child<QWidget>(panel, w.name);
        QCOMPARE(widget->metaObject()->className(), w.className);
        QString caption;
        if (auto *box = qobject_cast<QGroupBox *>(widget))
            caption = box->title();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            caption = button->text();
        else
            caption = static_cast<QLabel *>(widget)->text();
        QCOMPARE(caption, QString::fromUtf8(w.caption));
    }

    auto position = [&](const char *layout, const char *widget) {
        auto *grid = child<QGridLayout>(panel, layout);
        int r = -1, c = -1, rs = -1, cs = -1;
        grid->getItemPosition(grid->indexOf(child<QWidget>(panel, widget)), &r, &c, &rs, &cs);
        return QVector<int> { r, c, rs, cs };
    };
    QCOMPARE(position("gridLayout", "groupBoxRefSystem"), (QVector<int> { 0, 0, 1, 4 }));
    QCOMPARE(position("gridLayout", "tableWidgetPoints"), (QVector<int> { 2, 0, 1, 4 }));
    QCOMPARE(position("gridLayout_2", "groupBoxCommon"), (QVector<int> { 0, 0, 3, 1 }));
    QCOMPARE(position("gridLayout_2", "groupBoxAngularUnit"), (QVector<int> { 0, 1, 1, 1 }));
    QCOMPARE(position("gridLayout_2", "groupBoxHemisphere"), (QVector<int> { 0, 2, 1, 1 }));
    QCOMPARE(position("gridLayout_2", "groupBoxLongitudeRange"), (QVector<int> { 1, 1, 2, 1 }));
    QCOMPARE(position("gridLayout_2", "groupBoxZone"), (QVector<int> { 1, 2, 2, 1 }));
    auto *buttons = child<QHBoxLayout>(panel, "horizontalLayout");
    QCOMPARE(buttons->count(), 6);
    QVERIFY(buttons->itemAt(3)->spacerItem());
    QCOMPARE(buttons->itemAt(5)->widget()->objectName(), QStringLiteral("pushButtonCalculate"));

    QTableWidget *table = panel.table();
    QCOMPARE(table->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(table->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(table->sizeAdjustPolicy(), QAbstractScrollArea::AdjustIgnored);
    QVERIFY(table->alternatingRowColors());
    QCOMPARE(table->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(table->horizontalHeader()->stretchLastSection());

    const QStringList order { "comboBoxType", "comboBoxDatum", "comboBoxGeoid", "radioButtonDMS",
        "radioButtonDegrees", "radioButtonSignedLongitude", "radioButtonUnsignedLongitude",
        "spinBoxZone", "checkBoxAutoZone", "radioButtonNorthern", "radioButtonSouthern",
        "tableWidgetPoints" };
    QStringList chain;
    QWidget *w = child<QWidget>(panel, "comboBoxType");
    for (int i = 0; i < 200 && chain.size() < order.size(); ++i, w = w->nextInFocusChain()) {
        if (order.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
    }
    QCOMPARE(chain, order);
}

void TestPanel::newPanel()
{
    Fixture f(NoRole, Geodetic);
    Panel &panel = f.panel;
    QCOMPARE(panel.systemType(), 2);
    QCOMPARE(panel.datumCode(), 84);
    QCOMPARE(f.combo("comboBoxDatum")->count(), 8);
    QCOMPARE(f.combo("comboBoxGeoid")->currentText(), QStringLiteral("Нет"));
    QCOMPARE(panel.geoidIndex(), 0);
    QVERIFY(panel.isDmsUnits() && !panel.isDecimalDegrees() && !panel.isUnsignedLongitude());
    QCOMPARE(child<QSpinBox>(panel, "spinBoxZone")->value(), 1);
    QVERIFY(child<QRadioButton>(panel, "radioButtonNorthern")->isChecked());
    QCOMPARE(panel.points(), QStringList { "; ; ; " });

    QComboBox *type = f.combo("comboBoxType");
    const QStringList texts { "Геодезическая", "Гаусса-Крюгера", "UTM", "Геоцентрическая" };
    const int codes[] = { 2, 3, 4, 1 };
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(type->itemText(i), texts[i]);
        type->setCurrentIndex(i);
        QCOMPARE(panel.systemType(), codes[i]);
    }
    // Geocentric: the geoid list is disabled but keeps its choice.
    panel.addGeoidModel();
    f.combo("comboBoxGeoid")->setCurrentIndex(1);
    type->setCurrentIndex(Geodetic);
    type->setCurrentIndex(Geocentric);
    QCOMPARE(f.combo("comboBoxGeoid")->currentText(), QStringLiteral("EGM96"));
    QVERIFY(!f.widget("comboBoxGeoid")->isEnabled());
    QCOMPARE(panel.geoidIndex(), 1);
    QVERIFY(!panel.isDmsUnits());

    // No current type: no datums and no record; the headers stay.
    type->setCurrentIndex(-1);
    QCOMPARE(panel.systemType(), 0);
    QCOMPARE(panel.datumCode(), 0);
    QCOMPARE(headers(panel), (QStringList { "Имя точки", "X", "Y", "Z" }));
    refsystem rs = blankRecord();
    QVERIFY(!panel.buildRefsystem(&rs));
    QVERIFY(!panel.buildRefsystem(nullptr));
    QCOMPARE(panel.acceptRefsystem(nullptr), 0);
}

void TestPanel::datumListFollowsType()
{
    const struct
    {
        int from, type, selected, index, count;
    } cases[] = {
        { 2011, GaussKruger, 2011, 2, 3 },
        { 95, GaussKruger, 95, 1, 3 },
        { 90, GaussKruger, 42, 0, 3 },
        { 2011, Utm, 84, 0, 1 },
        { 2008, Geocentric, 2008, 7, 8 },
    };
    for (const auto &c : cases) {
        Fixture f(OutputRole, Geodetic, c.from);
        QCOMPARE(f.panel.datumCode(), c.from);
        f.combo("comboBoxType")->setCurrentIndex(c.type);
        QCOMPARE(f.panel.datumCode(), c.selected);
        QCOMPARE(f.combo("comboBoxDatum")->currentIndex(), c.index);
        QCOMPARE(f.combo("comboBoxDatum")->count(), c.count);
    }
    Fixture gk(OutputRole, GaussKruger);
    QCOMPARE(gk.combo("comboBoxDatum")->itemText(1), QStringLiteral("Пулково 95"));
    QCOMPARE(Panel::datumName(9002), QStringLiteral("ПЗ 90.02"));
    QCOMPARE(Panel::datumName(4326), QString());
}

void TestPanel::enabledState_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<int>("type");
    // Flags: angular unit, longitude range, zone group, auto zone checked,
    // auto zone enabled, spin box, auto hemisphere checked, auto hemisphere
    // enabled, hemisphere group, hemisphere radios, geoid. Geodetic and
    // geocentric leave the zone and hemisphere controls as on a new panel.
    QTest::addColumn<QString>("flags");

    QTest::newRow("geodetic") << OutputRole << int(Geodetic) << "11001101011";
    QTest::newRow("gk output") << OutputRole << int(GaussKruger) << "00111011101";
    QTest::newRow("gk input") << InputRole << int(GaussKruger) << "00111000111";
    QTest::newRow("gk both roles") << NoRole << int(GaussKruger) << "00111000111";
    QTest::newRow("utm output") << OutputRole << int(Utm) << "00100100111";
    QTest::newRow("geocentric") << OutputRole << int(Geocentric) << "00000101010";
}

void TestPanel::enabledState()
{
    QFETCH(Role, role);
    QFETCH(int, type);
    QFETCH(QString, flags);

    Fixture f(role, type);
    // A widget's own flag, whatever its group box says.
    auto on
        = [&](const char *name) { return !f.widget(name)->testAttribute(Qt::WA_ForceDisabled); };
    const bool state[] = { on("groupBoxAngularUnit"), on("groupBoxLongitudeRange"),
        on("groupBoxZone"), f.check("checkBoxAutoZone")->isChecked(), on("checkBoxAutoZone"),
        on("spinBoxZone"), f.check("checkBoxAutoHemisphere")->isChecked(),
        on("checkBoxAutoHemisphere"), on("groupBoxHemisphere"),
        on("radioButtonNorthern") && on("radioButtonSouthern"), on("comboBoxGeoid") };
    QString actual;
    for (bool b : state)
        actual += b ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(actual, flags);
}

void TestPanel::datumChangeReturnsZoneToAutomatic()
{
    Fixture f(OutputRole, GaussKruger);
    f.check("checkBoxAutoZone")->setChecked(false);
    f.check("checkBoxAutoHemisphere")->setChecked(false);
    QVERIFY(f.widget("spinBoxZone")->isEnabled());
    QVERIFY(f.widget("radioButtonSouthern")->isEnabled());
    f.combo("comboBoxDatum")->setCurrentText(Panel::datumName(2011));
    QVERIFY(f.check("checkBoxAutoZone")->isChecked());
    QVERIFY(!f.widget("spinBoxZone")->isEnabled());
    QVERIFY(f.check("checkBoxAutoHemisphere")->isChecked());
    QVERIFY(!f.widget("radioButtonNorthern")->isEnabled());

    // The input panel never gets an automatic hemisphere.
    Fixture input(InputRole, GaussKruger);
    input.check("checkBoxAutoZone")->setChecked(false);
    input.combo("comboBoxDatum")->setCurrentText(Panel::datumName(95));
    QVERIFY(input.check("checkBoxAutoZone")->isChecked());
    QVERIFY(!input.check("checkBoxAutoHemisphere")->isChecked());
    QVERIFY(input.widget("checkBoxAutoHemisphere")->isHidden());
}

// Which library call the record must equal.
enum Setup { Geoc, Geod, Utm6, Sk42, Sk95, Gk2011 };
Q_DECLARE_METATYPE(Setup)

void TestPanel::buildRefsystem_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("datum");
    QTest::addColumn<int>("zone"); // 0: automatic zone checked
    QTest::addColumn<int>("hemisphere"); // 0: automatic, 1 northern, 2 southern
    QTest::addColumn<Setup>("setup");

    for (int datum : { 84, 42, 95, 90, 9002, 9011, 2011, 2008 }) {
        const QByteArray d = QByteArray::number(datum);
        QTest::newRow("geocentric " + d) << InputRole << int(Geocentric) << datum << 1 << 1 << Geoc;
        QTest::newRow("geodetic " + d) << OutputRole << int(Geodetic) << datum << 1 << 1 << Geod;
    }
    QTest::newRow("utm zone left at 1") << OutputRole << int(Utm) << 84 << 1 << 1 << Utm6;
    QTest::newRow("utm 37 south") << InputRole << int(Utm) << 84 << 37 << 2 << Utm6;
    QTest::newRow("sk42 all automatic") << OutputRole << int(GaussKruger) << 42 << 0 << 0 << Sk42;
    QTest::newRow("sk42 input") << InputRole << int(GaussKruger) << 42 << 0 << 1 << Sk42;
    QTest::newRow("sk95 7 south") << OutputRole << int(GaussKruger) << 95 << 7 << 2 << Sk95;
    QTest::newRow("gsk2011 7 north") << OutputRole << int(GaussKruger) << 2011 << 7 << 1 << Gk2011;
    QTest::newRow("gsk2011 60 south") << InputRole << int(GaussKruger) << 2011 << 60 << 2 << Gk2011;
}

void TestPanel::buildRefsystem()
{
    QFETCH(Role, role);
    QFETCH(int, type);
    QFETCH(int, datum);
    QFETCH(int, zone);
    QFETCH(int, hemisphere);
    QFETCH(Setup, setup);

    Fixture f(role, type, datum);
    f.check("checkBoxAutoZone")->setChecked(zone == 0);
    child<QSpinBox>(f.panel, "spinBoxZone")->setValue(zone == 0 ? 5 : zone);
    f.check("checkBoxAutoHemisphere")->setChecked(hemisphere == 0);
    child<QRadioButton>(f.panel, hemisphere == 2 ? "radioButtonSouthern" : "radioButtonNorthern")
        ->setChecked(true);

    refsystem expected = blankRecord();
    switch (setup) {
    case Geoc:
        setup_geoc(datum, &expected);
        break;
    case Geod:
        setup_geod(datum, &expected);
        break;
    case Utm6:
        setup_utm(unsigned(zone), hemisphere, &expected);
        break;
    case Sk42:
        setup_sk42(unsigned(zone), hemisphere, &expected);
        break;
    case Sk95:
        setup_sk95(unsigned(zone), hemisphere, &expected);
        break;
    case Gk2011:
        setup_gk(2011, unsigned(zone), hemisphere, &expected);
        break;
    }
    QVERIFY(check_refsystem(&expected)); // every system offered is usable

    refsystem built = blankRecord();
    setup_gk(2011, 13, 2, &built); // stale fields are reset first
    QVERIFY(f.panel.buildRefsystem(&built));
    QCOMPARE(built.type, expected.type);
    QCOMPARE(built.datum, expected.datum);
    QCOMPARE(built.zone, expected.zone);
    QCOMPARE(built.hemisphere, expected.hemisphere);
    QCOMPARE(built.projection.scale_factor, expected.projection.scale_factor);
    if (expected.type == 5) { // the reset keeps the other projection fields
        QCOMPARE(built.projection.central_meridian, expected.projection.central_meridian);
        QCOMPARE(built.projection.false_northing, expected.projection.false_northing);
        QCOMPARE(built.axis_order, expected.axis_order);
    }
}

void TestPanel::incompleteGsk2011Record_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<bool>("autoZone");
    QTest::addColumn<bool>("autoHemisphere");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("output, both automatic") << OutputRole << true << true << true;
    QTest::newRow("output, automatic hemisphere") << OutputRole << false << true << true;
    QTest::newRow("input, automatic zone") << InputRole << true << false << true;
    // Forced past the controls: the input panel cannot guess a hemisphere.
    QTest::newRow("input, automatic hemisphere") << InputRole << true << true << false;
    QTest::newRow("both roles, automatic") << NoRole << true << true << true;
}

void TestPanel::incompleteGsk2011Record()
{
    QFETCH(Role, role);
    QFETCH(bool, autoZone);
    QFETCH(bool, autoHemisphere);
    QFETCH(bool, accepted);

    Fixture f(role, GaussKruger, 2011);
    child<QSpinBox>(f.panel, "spinBoxZone")->setValue(7);
    f.check("checkBoxAutoZone")->setChecked(autoZone);
    f.check("checkBoxAutoHemisphere")->setChecked(autoHemisphere);

    refsystem rs = blankRecord();
    QCOMPARE(f.panel.buildRefsystem(&rs), accepted);
    QCOMPARE(rs.type, 5);
    QCOMPARE(rs.datum, 2011);
    QCOMPARE(rs.zone, autoZone ? 0 : 7);
    QCOMPARE(rs.hemisphere, autoHemisphere ? 0 : 1);
    QCOMPARE(rs.axis_order, 1);
    QCOMPARE(check_refsystem(&rs), 0); // the calculation completes it per point
    QCOMPARE(f.panel.acceptRefsystem(&rs) != 0, accepted);

    // The same fields are not accepted on another type or datum.
    rs.datum = 42;
    QCOMPARE(f.panel.acceptRefsystem(&rs), 0);
    rs.datum = 2011;
    f.combo("comboBoxType")->setCurrentIndex(Geodetic);
    QCOMPARE(f.panel.acceptRefsystem(&rs), 0);
}

void TestPanel::headersPerType()
{
    const QStringList expected[]
        = { { "Имя точки", "Широта", "Долгота", "Высота" }, { "Имя точки", "X", "Y", "h" },
              { "Имя точки", "E", "N", "h" }, { "Имя точки", "X", "Y", "Z" } };
    Fixture f(NoRole, Geocentric);
    f.panel.setPoints({ "P1; 1; 2; 3" });
    for (int type : { Geodetic, GaussKruger, Utm, Geocentric }) {
        f.combo("comboBoxType")->setCurrentIndex(type);
        QCOMPARE(headers(f.panel), expected[type]);
        QCOMPARE(cells(f.panel, 0), (QStringList { "P1", " 1", " 2", " 3" })); // kept
    }
    f.panel.setPoints({});
    QCOMPARE(headers(f.panel), expected[Geocentric]);
    QCOMPARE(f.panel.points(), QStringList { "; ; ; " });
}

void TestPanel::pointsAndSetPoints()
{
    Panel panel(true);
    panel.setPoints({ "A,55.5,37.5,120", "B;56", "C,1,2,3,4,5", "" });
    QCOMPARE(cells(panel, 0), (QStringList { "A", "55.5", "37.5", "120" }));
    QCOMPARE(cells(panel, 1), (QStringList { "B", "56", "", "" }));
    QCOMPARE(cells(panel, 2), (QStringList { "C", "1", "2", "3" }));
    QCOMPARE(panel.points(),
        (QStringList { "A; 55.5; 37.5; 120", "B; 56; ; ", "C; 1; 2; 3", "; ; ; " }));

    // Each pass through the row text adds one leading blank to coordinates.
    panel.setPoints(panel.points());
    QCOMPARE(cells(panel, 0), (QStringList { "A", " 55.5", " 37.5", " 120" }));

    panel.table()->setRowCount(5); // a row without items reads as empty texts
    QCOMPARE(panel.points().last(), QStringLiteral("; ; ; "));
    QVERIFY(panel.isRowEmpty(3) && panel.isRowEmpty(4) && !panel.isRowEmpty(1));
    panel.table()->setRowCount(0);
    QCOMPARE(panel.points(), QStringList());
    QTest::mouseClick(child<QPushButton>(panel, "pushButtonClear"), Qt::LeftButton);
    QCOMPARE(panel.points(), QStringList { "; ; ; " });
}

void TestPanel::trimTrailingEmptyRows_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("kept");
    QTest::addColumn<int>("newCursor");

    const QStringList tail { "P1; 1; 2; 3", "P2; 4; 5; 6", "", " ;  ; \t; " };
    QTest::newRow("cursor in tail") << tail << 3 << 2 << 1;
    QTest::newRow("cursor on first empty") << tail << 2 << 2 << 1;
    QTest::newRow("cursor above tail") << tail << 0 << 4 << 0;
    QTest::newRow("no cursor") << tail << -1 << 4 << -1;
    QTest::newRow("only empty rows") << QStringList { "", "", "" } << 2 << 1 << 0;
    QTest::newRow("empty middle kept") << QStringList { "A", "", "B", "" } << 3 << 3 << 2;
}

void TestPanel::trimTrailingEmptyRows()
{
    QFETCH(QStringList, rows);
    QFETCH(int, cursor);
    QFETCH(int, kept);
    QFETCH(int, newCursor);

    Panel panel(true);
    panel.setPoints(rows);
    panel.table()->setCurrentCell(cursor, cursor < 0 ? -1 : 2);
    panel.trimTrailingEmptyRows();
    QCOMPARE(panel.table()->rowCount(), kept);
    QCOMPARE(panel.table()->currentRow(), newCursor);
    if (newCursor >= 0)
        QCOMPARE(panel.table()->currentColumn(), 2);
}

void TestPanel::editorGuard_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");

    QTest::newRow("coordinate comma") << 1 << "55,5"
                                      << "55.5";
    QTest::newRow("coordinate semicolon") << 2 << "37;5"
                                          << "375";
    QTest::newRow("height") << 3 << "1,2;3"
                            << "1.23";
    QTest::newRow("name comma") << 0 << "P,1"
                                << "P1";
    QTest::newRow("name semicolon") << 0 << "P;2."
                                    << "P2.";
}

void TestPanel::editorGuard()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, cell);

    Panel panel(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTableWidget *table = panel.table();
    table->setCurrentCell(0, column);
    QTest::keyClick(table, Qt::Key_F2);
    QLineEdit *editor = table->findChild<QLineEdit *>();
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(table->item(0, column)); // the delegate commits from the event loop
    QCOMPARE(table->item(0, column)->text(), cell);
    panel.setPoints(panel.points()); // and the cell stays whole in the row text
    QCOMPARE(table->item(0, column)->text().trimmed(), cell);

    // A pasted separator is refused whole rather than dropped: "55;30" is no 5530.
    int pos = 0;
    QString pasted = QStringLiteral("55;30");
    QCOMPARE(CellTextValidator(true).validate(pasted, pos), QValidator::Invalid);
}

void TestPanel::aboutBox()
{
    QList<Dialogs::Request> shown;
    Dialogs::setAnswerer([&](const Dialogs::Request &r) {
        shown << r;
        return Dialogs::Answer();
    });
    Fixture f(OutputRole, Geodetic);
    QTest::mouseClick(child<QPushButton>(f.panel, "pushButtonAbout"), Qt::LeftButton);
    Dialogs::setAnswerer({});
    QCOMPARE(shown.size(), 1);
    QCOMPARE(int(shown[0].kind), int(Dialogs::Kind::About));
    QCOMPARE(shown[0].title, QStringLiteral("О программе"));
    QCOMPARE(shown[0].text,
        QStringLiteral("VORLANIX Ranticor (ГОСТ 32453-2017)\nВерсия 1.00\n\n\nГорячие клавиши:"
                       "\nCtrl+Insert\t вставить строку в список точек"
                       "\nCtrl+Delete\t удалить строку из списка точек"
                       "\nCtrl+N\t\t подсчет строк в списке точек"
                       "\nCtrl+I\t\t поиск некорректных строк"
                       "\nCtrl+D\t\t удалить некорректные строки"
                       "\nCtrl+E\t\t удалить пустые строки"
                       "\nCtrl+U\t\t поменять списки точек местами"));
}

void TestPanel::hundredThousandRows()
{
    QStringList rows;
    for (int i = 0; i < 100000; ++i)
        rows << QStringLiteral("P%1; 55 45 %2.12345; 37 37 6.5; 120.25").arg(i).arg(i % 60);
    Panel panel(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    QElapsedTimer timer;
    timer.start();
    panel.setPoints(rows);
    const qint64 fill = timer.restart();
    const QStringList back = panel.points();
    qInfo("100000 rows: setPoints %lld ms, points() %lld ms", fill, timer.elapsed());

    QCOMPARE(back.size(), rows.size());
    QCOMPARE(back.last(), QStringLiteral("P99999;  55 45 39.12345;  37 37 6.5;  120.25"));
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
