// The coordinate-system panel: its controls per system type, datum and role,
// the record it builds, the table's row texts and the cell editor's guard.
#include "CellText.h"
#include "CoordinateDelegate.h"
#include "Panel.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <cstring>

namespace {

enum Role { NoRole, InputRole, OutputRole };
enum { Geodetic, GaussKruger, Utm, Geocentric }; // comboBoxType indices

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
    QComboBox *combo(const char *name) { return child<QComboBox>(&panel, name); }
    QCheckBox *check(const char *name) { return child<QCheckBox>(&panel, name); }
    QWidget *widget(const char *name) { return child<QWidget>(&panel, name); }
};

} // namespace

Q_DECLARE_METATYPE(Role)

class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void form();
    void datumListFollowsType();
    void enabledState_data();
    void enabledState();
    void datumChangeReturnsZoneToAutomatic();
    void buildRefsystem_data();
    void buildRefsystem();
    void tableRows();
    void editorGuard_data();
    void editorGuard();
};

// The names the program and its tests use, with their classes and captions.
void TestPanel::form()
{
    Panel panel(true);
    const char *const widgets[][3] = {
        {"groupBoxAngularUnit", "QGroupBox", "Единицы широты/долготы"},
        {"radioButtonDMS", "QRadioButton", "градусы минуты секунды"},
        {"radioButtonDegrees", "QRadioButton", "десятичные градусы"},
        {"groupBoxHemisphere", "QGroupBox", "Полушарие"},
        {"radioButtonNorthern", "QRadioButton", "Северное"},
        {"radioButtonSouthern", "QRadioButton", "Южное"},
        {"checkBoxAutoHemisphere", "QCheckBox", "автомат."},
        {"groupBoxLongitudeRange", "QGroupBox", "Диапазон долгот"},
        {"radioButtonSignedLongitude", "QRadioButton", "от -180 до 180 градусов"},
        {"radioButtonUnsignedLongitude", "QRadioButton", "от 0 до 360 градусов"},
        {"groupBoxZone", "QGroupBox", "Номер зоны"},
        {"checkBoxAutoZone", "QCheckBox", "автомат."},
        {"pushButtonLoad", "QPushButton", "Загрузить..."},
        {"pushButtonSave", "QPushButton", "Сохранить..."},
        {"pushButtonClear", "QPushButton", "Очистить"},
        {"pushButtonAbout", "QPushButton", "О программе..."},
        {"pushButtonCalculate", "QPushButton", "Вычислить >>>"},
    };
    for (const auto &w : widgets) {
        QWidget *widget = child<QWidget>(&panel, w[0]);
        QCOMPARE(widget->metaObject()->className(), w[1]);
        const auto *box = qobject_cast<QGroupBox *>(widget);
        QCOMPARE(box ? box->title() : static_cast<QAbstractButton *>(widget)->text(),
            QString::fromUtf8(w[2]));
    }

    // A new panel: geodetic WGS 84 in DMS, no geoid, one empty row; the type
    // list in the order of its codes.
    QCOMPARE(panel.datumCode(), 84);
    QVERIFY(panel.isDmsUnits() && !panel.isUnsignedLongitude() && panel.geoidIndex() == 0);
    QCOMPARE(panel.points(), QStringList {"; ; ; "});
    auto *type = child<QComboBox>(&panel, "comboBoxType");
    const QStringList types {"Геодезическая", "Гаусса-Крюгера", "UTM", "Геоцентрическая"};
    const QStringList firstHeader {"Широта", "X", "E", "X"}, lastHeader {"Высота", "h", "h", "Z"};
    for (int i = 0; i < 4; ++i) {
        type->setCurrentIndex(i);
        QCOMPARE(type->currentText(), types[i]);
        QCOMPARE(panel.systemType(), (QVector<int> {2, 3, 4, 1})[i]);
        QCOMPARE(panel.table()->horizontalHeaderItem(1)->text(), firstHeader[i]);
        QCOMPARE(panel.table()->horizontalHeaderItem(3)->text(), lastHeader[i]);
    }
    // No current type: no record, and no crash on null records.
    type->setCurrentIndex(-1);
    refsystem rs {};
    QVERIFY(!panel.buildRefsystem(&rs) && !panel.buildRefsystem(nullptr));
    QCOMPARE(panel.acceptRefsystem(nullptr), 0);
}

// The datum is kept when the new type offers it, else the list's first.
void TestPanel::datumListFollowsType()
{
    const int cases[][5] = {// from, type, selected, index, count
        {2011, GaussKruger, 2011, 2, 3}, {95, GaussKruger, 95, 1, 3}, {90, GaussKruger, 42, 0, 3},
        {2011, Utm, 84, 0, 1}, {2008, Geocentric, 2008, 7, 8}};
    for (const auto &c : cases) {
        Fixture f(OutputRole, Geodetic, c[0]);
        QCOMPARE(f.panel.datumCode(), c[0]);
        f.combo("comboBoxType")->setCurrentIndex(c[1]);
        QCOMPARE(f.panel.datumCode(), c[2]);
        QCOMPARE(f.combo("comboBoxDatum")->currentIndex(), c[3]);
        QCOMPARE(f.combo("comboBoxDatum")->count(), c[4]);
    }
}

void TestPanel::enabledState_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<int>("type");
    // Angular unit, longitude range, zone group, auto zone checked, auto zone
    // enabled, spin box, auto hemisphere checked, auto hemisphere enabled,
    // hemisphere group, hemisphere radios, geoid. Geodetic and geocentric
    // leave the zone and hemisphere controls as on a new panel.
    QTest::addColumn<QString>("flags");

    dataRow("geodetic", OutputRole, int(Geodetic), QString("11001101011"));
    dataRow("gk output", OutputRole, int(GaussKruger), QString("00111011101"));
    dataRow("gk input", InputRole, int(GaussKruger), QString("00111000111"));
    dataRow("gk both roles", NoRole, int(GaussKruger), QString("00111000111"));
    dataRow("utm output", OutputRole, int(Utm), QString("00100100111"));
    dataRow("geocentric", OutputRole, int(Geocentric), QString("00000101010"));
}

void TestPanel::enabledState()
{
    QFETCH(Role, role);
    QFETCH(int, type);
    QFETCH(QString, flags);

    Fixture f(role, type);
    // A widget's own flag, whatever its group box says.
    auto on = [&](const char *name) {
        return f.widget(name)->testAttribute(Qt::WA_ForceDisabled) ? '0' : '1';
    };
    auto checked = [&](const char *name) { return f.check(name)->isChecked() ? '1' : '0'; };
    const char state[] = {on("groupBoxAngularUnit"), on("groupBoxLongitudeRange"),
        on("groupBoxZone"), checked("checkBoxAutoZone"), on("checkBoxAutoZone"), on("spinBoxZone"),
        checked("checkBoxAutoHemisphere"), on("checkBoxAutoHemisphere"), on("groupBoxHemisphere"),
        std::min(on("radioButtonNorthern"), on("radioButtonSouthern")), on("comboBoxGeoid"), '\0'};
    QCOMPARE(QString::fromLatin1(state), flags);
}

void TestPanel::datumChangeReturnsZoneToAutomatic()
{
    Fixture f(OutputRole, GaussKruger);
    f.check("checkBoxAutoZone")->setChecked(false);
    f.check("checkBoxAutoHemisphere")->setChecked(false);
    QVERIFY(f.widget("spinBoxZone")->isEnabled() && f.widget("radioButtonSouthern")->isEnabled());
    f.combo("comboBoxDatum")->setCurrentText(Panel::datumName(2011));
    QVERIFY(f.check("checkBoxAutoZone")->isChecked() && !f.widget("spinBoxZone")->isEnabled());
    QVERIFY(f.check("checkBoxAutoHemisphere")->isChecked());
    QVERIFY(!f.widget("radioButtonNorthern")->isEnabled());

    // The input panel never gets an automatic hemisphere.
    Fixture input(InputRole, GaussKruger);
    input.check("checkBoxAutoZone")->setChecked(false);
    input.combo("comboBoxDatum")->setCurrentText(Panel::datumName(95));
    QVERIFY(input.check("checkBoxAutoZone")->isChecked());
    QVERIFY(!input.check("checkBoxAutoHemisphere")->isChecked());
    QVERIFY(input.widget("checkBoxAutoHemisphere")->isHidden());

    // A geocentric panel disables its geoid list but keeps the choice.
    f.panel.addGeoidModel();
    f.combo("comboBoxGeoid")->setCurrentIndex(1);
    f.combo("comboBoxType")->setCurrentIndex(Geocentric);
    QVERIFY(!f.widget("comboBoxGeoid")->isEnabled());
    QCOMPARE(f.panel.geoidIndex(), 1);
}

void TestPanel::buildRefsystem_data()
{
    QTest::addColumn<Role>("role");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("datum");
    QTest::addColumn<int>("zone");            // 0: automatic zone checked
    QTest::addColumn<int>("hemisphere");      // 0: automatic, 1 northern, 2 southern
    QTest::addColumn<QByteArray>("expected"); // the record, as the library writes it
    QTest::addColumn<bool>("accepted");

    refsystem r {};
    const auto add = [&r](const QByteArray &name, Role role, int type, int datum, int zone,
                         int hemisphere, bool accepted = true) {
        QTest::newRow(name) << role << type << datum << zone << hemisphere
                            << QByteArray(reinterpret_cast<const char *>(&r), sizeof r) << accepted;
        r = refsystem {};
    };
    for (int datum : {84, 42, 95, 90, 9002, 9011, 2011, 2008}) {
        const QByteArray d = QByteArray::number(datum);
        setup_geoc(datum, &r), add("geocentric " + d, InputRole, Geocentric, datum, 1, 1);
        setup_geod(datum, &r), add("geodetic " + d, OutputRole, Geodetic, datum, 1, 1);
    }
    setup_utm(1, 1, &r), add("utm zone left at 1", OutputRole, Utm, 84, 1, 1);
    setup_utm(37, 2, &r), add("utm 37 south", InputRole, Utm, 84, 37, 2);
    setup_sk42(0, 0, &r), add("sk42 all automatic", OutputRole, GaussKruger, 42, 0, 0);
    setup_sk42(0, 1, &r), add("sk42 input", InputRole, GaussKruger, 42, 0, 1);
    setup_sk95(7, 2, &r), add("sk95 7 south", OutputRole, GaussKruger, 95, 7, 2);
    setup_gk(2011, 7, 1, &r), add("gsk2011 7 north", OutputRole, GaussKruger, 2011, 7, 1);
    setup_gk(2011, 60, 2, &r), add("gsk2011 60 south", InputRole, GaussKruger, 2011, 60, 2);
    // GSK 2011 with the zone or hemisphere left to the calculation, per point.
    const auto incomplete = [&r](int zone, int hemisphere) {
        r.type = 5, r.datum = 2011, r.zone = zone, r.hemisphere = hemisphere, r.axis_order = 1;
    };
    incomplete(0, 0), add("gsk2011 output automatic", OutputRole, GaussKruger, 2011, 0, 0);
    incomplete(7, 0), add("gsk2011 output hemisphere", OutputRole, GaussKruger, 2011, 7, 0);
    incomplete(0, 1), add("gsk2011 input zone", InputRole, GaussKruger, 2011, 0, 1);
    incomplete(0, 0), add("gsk2011 both roles", NoRole, GaussKruger, 2011, 0, 0);
    // Forced past the controls: the input panel cannot guess a hemisphere.
    incomplete(0, 0), add("gsk2011 input hemisphere", InputRole, GaussKruger, 2011, 0, 0, false);
}

void TestPanel::buildRefsystem()
{
    QFETCH(Role, role);
    QFETCH(int, type);
    QFETCH(int, datum);
    QFETCH(int, zone);
    QFETCH(int, hemisphere);
    QFETCH(QByteArray, expected);
    QFETCH(bool, accepted);

    Fixture f(role, type, datum);
    child<QSpinBox>(&f.panel, "spinBoxZone")->setValue(zone == 0 ? 5 : zone);
    f.check("checkBoxAutoZone")->setChecked(zone == 0);
    f.check("checkBoxAutoHemisphere")->setChecked(hemisphere == 0);
    child<QRadioButton>(&f.panel, hemisphere == 2 ? "radioButtonSouthern" : "radioButtonNorthern")
        ->setChecked(true);

    refsystem want;
    std::memcpy(&want, expected.constData(), sizeof want);
    const bool complete = check_refsystem(&want);
    refsystem built {};
    setup_gk(2011, 13, 2, &built); // stale fields are reset first
    QCOMPARE(f.panel.buildRefsystem(&built), accepted);
    QCOMPARE(built.type, want.type);
    QCOMPARE(built.datum, want.datum);
    QCOMPARE(built.zone, want.zone);
    QCOMPARE(built.hemisphere, want.hemisphere);
    QCOMPARE(check_refsystem(&built) != 0, complete);
    if (want.type == 5) { // other types keep stale projection fields
        QCOMPARE(built.axis_order, want.axis_order);
        if (complete) {
            QCOMPARE(built.projection.central_meridian, want.projection.central_meridian);
            QCOMPARE(built.projection.false_northing, want.projection.false_northing);
        }
    }
    QCOMPARE(built.projection.scale_factor, want.projection.scale_factor);
    if (!complete) { // nor is an incomplete record accepted on another datum or type
        built.datum = 42;
        QCOMPARE(f.panel.acceptRefsystem(&built), 0);
        built.datum = 2011;
        f.combo("comboBoxType")->setCurrentIndex(Geodetic);
        QCOMPARE(f.panel.acceptRefsystem(&built), 0);
    }
}

// Row texts through the table: split on "," and ";", joined with "; ".
void TestPanel::tableRows()
{
    Panel panel(true);
    panel.setPoints({"A,55.5,37.5,120", "B;56", "C,1,2,3,4,5", ""});
    QCOMPARE(tableCells(panel), (QStringList {"A|55.5|37.5|120", "B|56||", "C|1|2|3", "|||"}));
    QCOMPARE(
        panel.points(), (QStringList {"A; 55.5; 37.5; 120", "B; 56; ; ", "C; 1; 2; 3", "; ; ; "}));
    // Each pass through the row text adds one leading blank to coordinates.
    panel.setPoints(panel.points());
    QCOMPARE(tableCells(panel).first(), QStringLiteral("A| 55.5| 37.5| 120"));
    // Type changes keep the rows.
    child<QComboBox>(&panel, "comboBoxType")->setCurrentIndex(Geocentric);
    QCOMPARE(tableCells(panel).size(), 4);

    panel.table()->setRowCount(6); // rows without items read as empty texts
    QCOMPARE(panel.points().last(), QStringLiteral("; ; ; "));
    QVERIFY(panel.isRowEmpty(3) && panel.isRowEmpty(5) && !panel.isRowEmpty(1));
    QTest::mouseClick(child<QPushButton>(&panel, "pushButtonClear"), Qt::LeftButton);
    QCOMPARE(panel.points(), QStringList {"; ; ; "});
    QCOMPARE(panel.table()->horizontalHeaderItem(3)->text(), QStringLiteral("Z"));
}

void TestPanel::editorGuard_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");

    dataRow("coordinate comma", 1, QString("55,5"), QString("55.5"));
    dataRow("coordinate semicolon", 2, QString("37;5"), QString("375"));
    dataRow("height", 3, QString("1,2;3"), QString("1.23"));
    dataRow("name comma", 0, QString("P,1"), QString("P1"));
    dataRow("name semicolon", 0, QString("P;2."), QString("P2."));
    // Pasted (texts with control characters are inserted as a paste does):
    // one line, each control character a blank, the ends trimmed.
    dataRow("pasted name", 0, QString("\r\nP\t1\u2028x\n"), QString("P 1 x"));
    dataRow("pasted coordinate", 1, QString("55\t30,5\r"), QString("55 30.5"));
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
    if (CellText::singleLine(typed) == typed) {
        QTest::keyClicks(editor, typed);
    } else {
        editor->insert(typed);
        QTest::keyClick(editor, Qt::Key_Tab, Qt::ControlModifier); // typed: refused
    }
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(table->item(0, column)); // the delegate commits from the event loop
    QCOMPARE(table->item(0, column)->text(), cell);

    // A pasted separator refuses the whole text: "55;30" is no 5530.
    int pos = 0;
    QString pasted = QStringLiteral("55;30");
    QCOMPARE(CellTextValidator(true).validate(pasted, pos), QValidator::Invalid);
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
