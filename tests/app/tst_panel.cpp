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
    QWidget *widget(const char *name) { return child<QWidget>(&panel, name); }
};

// What a system type shows in a role.
struct Controls
{
    const char *name;
    Role role;
    int type;
    int systemType;
    const char *headers; // of the coordinate columns
    // Angular unit, longitude range, zone group, auto zone checked, auto zone
    // enabled, spin box, auto hemisphere checked, auto hemisphere enabled,
    // hemisphere group, hemisphere radios, geoid. Geodetic and geocentric
    // leave the zone and hemisphere controls as on a new panel.
    const char *flags;
};

// The datum list after a change of type.
struct DatumList
{
    const char *name;
    int from, type, selected, index, count;
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

// A text typed (or pasted) into a cell of row 0.
struct Edit
{
    const char *name;
    int column;
    QString typed, cell;
};

} // namespace

Q_DECLARE_METATYPE(Controls)
Q_DECLARE_METATYPE(DatumList)
Q_DECLARE_METATYPE(Build)
Q_DECLARE_METATYPE(Edit)

class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void newPanel();
    void controls_data();
    void controls();
    void datumList_data();
    void datumList();
    void datumChangeReturnsZoneToAutomatic();
    void buildRefsystem_data();
    void buildRefsystem();
    void tableRows();
    void editorGuard_data();
    void editorGuard();
};

// Geodetic WGS 84 in DMS, no geoid, one empty row; no type, no record.
void TestPanel::newPanel()
{
    Panel panel(true);
    QCOMPARE(panel.datumCode(), 84);
    QVERIFY(panel.isDmsUnits() && !panel.isUnsignedLongitude() && panel.geoidIndex() == 0);
    QCOMPARE(panel.points(), QStringList {"; ; ; "});
    child<QComboBox>(&panel, "comboBoxType")->setCurrentIndex(-1);
    refsystem rs {};
    QVERIFY(!panel.buildRefsystem(&rs) && !panel.buildRefsystem(nullptr));
    QCOMPARE(panel.acceptRefsystem(nullptr), 0);
}

void TestPanel::controls_data()
{
    // clang-format off
    const Controls cases[] = {
        {"geodetic", OutputRole, Geodetic, 2, "Широта|Долгота|Высота", "11001101011"},
        {"gk output", OutputRole, GaussKruger, 3, "X|Y|h", "00111011101"},
        {"gk input", InputRole, GaussKruger, 3, "X|Y|h", "00111000111"},
        {"gk both roles", NoRole, GaussKruger, 3, "X|Y|h", "00111000111"},
        {"utm output", OutputRole, Utm, 4, "E|N|h", "00100100111"},
        {"geocentric", OutputRole, Geocentric, 1, "X|Y|Z", "00000101010"},
    };
    // clang-format on
    caseRows(cases);
}

void TestPanel::controls()
{
    QFETCH(Controls, c);
    Fixture f(c.role, c.type);
    QCOMPARE(f.panel.systemType(), c.systemType);
    QStringList headers;
    for (int column = 1; column < 4; ++column)
        headers << f.panel.table()->horizontalHeaderItem(column)->text();
    QCOMPARE(headers.join('|'), QString::fromUtf8(c.headers));
    // A widget's own flag, whatever its group box says.
    auto on = [&](const char *name) {
        return f.widget(name)->testAttribute(Qt::WA_ForceDisabled) ? '0' : '1';
    };
    auto checked = [&](const char *name) { return f.check(name)->isChecked() ? '1' : '0'; };
    const char state[] = {on("groupBoxAngularUnit"), on("groupBoxLongitudeRange"),
        on("groupBoxZone"), checked("checkBoxAutoZone"), on("checkBoxAutoZone"), on("spinBoxZone"),
        checked("checkBoxAutoHemisphere"), on("checkBoxAutoHemisphere"), on("groupBoxHemisphere"),
        std::min(on("radioButtonNorthern"), on("radioButtonSouthern")), on("comboBoxGeoid"), '\0'};
    QCOMPARE(QString::fromLatin1(state), QString::fromLatin1(c.flags));
}

// The datum is kept when the new type offers it, else the list's first.
void TestPanel::datumList_data()
{
    const DatumList cases[] = {{"GSK 2011 kept", 2011, GaussKruger, 2011, 2, 3},
        {"SK-95 kept", 95, GaussKruger, 95, 1, 3}, {"PZ-90 to SK-42", 90, GaussKruger, 42, 0, 3},
        {"UTM on WGS 84 only", 2011, Utm, 84, 0, 1},
        {"geocentric ITRF", 2008, Geocentric, 2008, 7, 8}};
    caseRows(cases);
}

void TestPanel::datumList()
{
    QFETCH(DatumList, c);
    Fixture f(OutputRole, Geodetic, c.from);
    QCOMPARE(f.panel.datumCode(), c.from);
    f.combo("comboBoxType")->setCurrentIndex(c.type);
    QCOMPARE(f.panel.datumCode(), c.selected);
    QCOMPARE(f.combo("comboBoxDatum")->currentIndex(), c.index);
    QCOMPARE(f.combo("comboBoxDatum")->count(), c.count);
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

// Row texts through the table: split on "," and ";", joined with "; ".
void TestPanel::tableRows()
{
    Panel panel(true);
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
    QCOMPARE(panel.table()->horizontalHeaderItem(3)->text(), QStringLiteral("Z"));
}

void TestPanel::editorGuard_data()
{
    // clang-format off
    const Edit cases[] = {
        {"coordinate comma", 1, "55,5", "55.5"},
        {"coordinate semicolon", 2, "37;5", "375"},
        {"height", 3, "1,2;3", "1.23"},
        {"name comma", 0, "P,1", "P1"},
        {"name semicolon", 0, "P;2.", "P2."},
        // Pasted (texts with control characters are inserted as a paste does):
        // one line, each control character a blank, the ends trimmed.
        {"pasted name", 0, "\r\nP\t1\u2028x\n", "P 1 x"},
        {"pasted coordinate", 1, "55\t30,5\r", "55 30.5"},
        // A pasted separator refuses the whole text: "55;30" is no 5530.
        {"pasted separator", 1, "55;30\n", ""},
    };
    // clang-format on
    caseRows(cases);
}

void TestPanel::editorGuard()
{
    QFETCH(Edit, c);
    Panel panel(true);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTableWidget *table = panel.table();
    table->setCurrentCell(0, c.column);
    QTest::keyClick(table, Qt::Key_F2);
    QLineEdit *editor = table->findChild<QLineEdit *>();
    QVERIFY(editor);
    if (CellText::singleLine(c.typed) == c.typed) {
        QTest::keyClicks(editor, c.typed);
    } else {
        editor->insert(c.typed);
        QTest::keyClick(editor, Qt::Key_Tab, Qt::ControlModifier); // typed: refused
    }
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(table->item(0, c.column)); // the delegate commits from the event loop
    QCOMPARE(table->item(0, c.column)->text(), c.cell);
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
