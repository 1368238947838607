// The coordinate-system panel: its controls per system type, datum and role,
// the record it builds, the table's row texts and the cell editor's guard.
#include "CellText.h"
#include "Panel.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>

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
    bool enabled(const char *name) { return child<QWidget>(&panel, name)->isEnabled(); }
};

// The record the panel builds from its controls.
struct Build
{
    Role role;
    int type, datum;
    int zone;       // 0: automatic zone checked
    int hemisphere; // 0: automatic, 1 northern, 2 southern
    refsystem expected;
    bool accepted;
};

} // namespace

Q_DECLARE_METATYPE(Role)
Q_DECLARE_METATYPE(Build)

class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void buildRefsystem_data();
    void buildRefsystem();
    void tableRows();
    void editorGuard_data();
    void editorGuard();
};

void TestPanel::controls_data()
{
    QTest::addColumn<Role>("role");
    for (const char *column : {"type", "systemType", "datum", "selected", "datums"})
        QTest::addColumn<int>(column);
    QTest::addColumn<QString>("headers"); // of the coordinate columns
    // Angular unit, longitude range, zone group, auto zone checked, auto zone
    // enabled, spin box, auto hemisphere checked, auto hemisphere enabled,
    // hemisphere group, hemisphere radios, geoid. Geodetic and geocentric
    // leave the zone and hemisphere controls as on a new panel.
    QTest::addColumn<QString>("flags");
    // A datum is kept when the new type offers it, else the list's first.
    const QString gk = QStringLiteral("X|Y|h");
    // clang-format off
    dataRow("geodetic", OutputRole, 0, 2, 9002, 9002, 8, QString("Широта|Долгота|Высота"), QString("11001101011"));
    dataRow("gk output, GSK 2011 kept", OutputRole, 1, 3, 2011, 2011, 3, gk, QString("00111011101"));
    dataRow("gk input, SK-95 kept", InputRole, 1, 3, 95, 95, 3, gk, QString("00111000111"));
    dataRow("gk both roles, PZ-90 to SK-42", NoRole, 1, 3, 90, 42, 3, gk, QString("00111000111"));
    dataRow("utm output, WGS 84 only", OutputRole, 2, 4, 2011, 84, 1, QString("E|N|h"), QString("00100100111"));
    dataRow("geocentric, ITRF kept", OutputRole, 3, 1, 2008, 2008, 8, QString("X|Y|Z"), QString("00000101010"));
    // clang-format on
}

// The controls, columns and datums a system type offers in a role; a
// geocentric panel disables its geoid list but keeps the choice.
void TestPanel::controls()
{
    QFETCH(Role, role);
    QFETCH(int, type);
    QFETCH(int, datum);
    Fixture f(role, Geodetic, datum);
    f.panel.addGeoidModel();
    f.combo("comboBoxGeoid")->setCurrentIndex(1);
    f.combo("comboBoxType")->setCurrentIndex(type);
    QTEST(f.panel.systemType(), "systemType");
    QTEST(f.panel.datumCode(), "selected");
    QTEST(f.combo("comboBoxDatum")->count(), "datums");
    QCOMPARE(f.panel.geoidIndex(), 1);
    QStringList texts;
    for (int column = 1; column < 4; ++column)
        texts << f.panel.table()->horizontalHeaderItem(column)->text();
    QTEST(texts.join('|'), "headers");
    // A widget's own flag, whatever its group box says.
    auto on = [&](const char *name) {
        return child<QWidget>(&f.panel, name)->testAttribute(Qt::WA_ForceDisabled) ? '0' : '1';
    };
    auto checked = [&](const char *name) { return f.check(name)->isChecked() ? '1' : '0'; };
    const char state[] = {on("groupBoxAngularUnit"), on("groupBoxLongitudeRange"),
        on("groupBoxZone"), checked("checkBoxAutoZone"), on("checkBoxAutoZone"), on("spinBoxZone"),
        checked("checkBoxAutoHemisphere"), on("checkBoxAutoHemisphere"), on("groupBoxHemisphere"),
        std::min(on("radioButtonNorthern"), on("radioButtonSouthern")), on("comboBoxGeoid"), '\0'};
    QTEST(QString::fromLatin1(state), "flags");
}

void TestPanel::buildRefsystem_data()
{
    QTest::addColumn<Build>("c");
    refsystem r {};
    const auto add = [&r](const QByteArray &name, Role role, int type, int datum, int zone,
                         int hemisphere, bool accepted = true) {
        QTest::newRow(name) << Build {role, type, datum, zone, hemisphere, r, accepted};
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
    QFETCH(Build, c);
    Fixture f(c.role, c.type, c.datum);
    child<QSpinBox>(&f.panel, "spinBoxZone")->setValue(c.zone == 0 ? 5 : c.zone);
    f.check("checkBoxAutoZone")->setChecked(c.zone == 0);
    f.check("checkBoxAutoHemisphere")->setChecked(c.hemisphere == 0);
    child<QRadioButton>(&f.panel, c.hemisphere == 2 ? "radioButtonSouthern" : "radioButtonNorthern")
        ->setChecked(true);

    const refsystem &want = c.expected;
    const bool complete = check_refsystem(&want);
    refsystem built {};
    setup_gk(2011, 13, 2, &built); // stale fields are reset first
    QCOMPARE(f.panel.buildRefsystem(&built), c.accepted);
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

// Row texts through the table: split on "," and ";", joined with "; "; a
// panel without a type builds no record.
void TestPanel::tableRows()
{
    Panel panel(true);
    QCOMPARE(panel.points(), QStringList {"; ; ; "});
    panel.setPoints({"A,55.5,37.5,120", "B;56", "C,1,2,3,4,5", ""});
    QCOMPARE(tableCells(panel), (QStringList {"A|55.5|37.5|120", "B|56||", "C|1|2|3", "|||"}));
    QCOMPARE(
        panel.points(), (QStringList {"A; 55.5; 37.5; 120", "B; 56; ; ", "C; 1; 2; 3", "; ; ; "}));
    // Type changes keep the rows; rows without items read as empty texts.
    child<QComboBox>(&panel, "comboBoxType")->setCurrentIndex(Geocentric);
    panel.table()->setRowCount(6);
    QCOMPARE(panel.points().mid(3), (QStringList {"; ; ; ", "; ; ; ", "; ; ; "}));
    QVERIFY(panel.isRowEmpty(3) && panel.isRowEmpty(5) && !panel.isRowEmpty(1));
    click(&panel, "pushButtonClear");
    QCOMPARE(panel.points(), QStringList {"; ; ; "});
    child<QComboBox>(&panel, "comboBoxType")->setCurrentIndex(-1);
    refsystem rs {};
    QVERIFY(!panel.buildRefsystem(&rs) && !panel.buildRefsystem(nullptr));
    QCOMPARE(panel.acceptRefsystem(nullptr), 0);
}

void TestPanel::editorGuard_data()
{
    QTest::addColumn<int>("column"); // of row 0
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");
    dataRow("coordinate comma", 1, QString("55,5"), QString("55.5"));
    dataRow("coordinate semicolon", 2, QString("37;5"), QString("375"));
    dataRow("height", 3, QString("1,2;3"), QString("1.23"));
    dataRow("name", 0, QString("P,1;2."), QString("P12."));
    // Pasted (texts with control characters are inserted as a paste does):
    // one line, each control character a blank, the ends trimmed.
    dataRow("pasted name", 0, QString("\r\nP\t1\u2028x\n"), QString("P 1 x"));
    dataRow("pasted coordinate", 1, QString("55\t30,5\r"), QString("55 30.5"));
    // A pasted separator refuses the whole text: "55;30" is no 5530.
    dataRow("pasted separator", 1, QString("55;30\n"), QString());
}

void TestPanel::editorGuard()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
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
    QTEST(table->item(0, column)->text(), "cell");
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
