// The coordinate-system panel: the record it builds from its controls per
// system type, datum and role, and the cell editor's guard.
#include "CellText.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

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

// What a built record is compared by; other types than projected keep stale
// projection fields, and only complete records have their projection.
QString fields(const refsystem &r)
{
    const bool complete = check_refsystem(&r);
    return QString::asprintf("type %d datum %d zone %d hemisphere %d scale %.9g complete %d",
               r.type, r.datum, r.zone, r.hemisphere, r.projection.scale_factor, complete)
        + (r.type != 5 ? QString()
                       : QString::asprintf(" axes %d", r.axis_order)
                    + (complete ? QString::asprintf(" meridian %.9g north %.9g",
                           r.projection.central_meridian, r.projection.false_northing)
                                : QString()));
}

} // namespace

Q_DECLARE_METATYPE(Build)

class TestPanel : public QObject
{
    Q_OBJECT

private slots:
    void buildRefsystem_data();
    void buildRefsystem();
    void editorGuard_data();
    void editorGuard();
};

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

    refsystem built {};
    setup_gk(2011, 13, 2, &built); // stale fields are reset first
    QCOMPARE(f.panel.buildRefsystem(&built), c.accepted);
    QCOMPARE(fields(built), fields(c.expected));
    if (!check_refsystem(&built)) { // nor is an incomplete record accepted on another datum or type
        built.datum = 42;
        QCOMPARE(f.panel.acceptRefsystem(&built), 0);
        built.datum = 2011;
        f.combo("comboBoxType")->setCurrentIndex(Geodetic);
        QCOMPARE(f.panel.acceptRefsystem(&built), 0);
    }
    f.combo("comboBoxType")->setCurrentIndex(-1); // no type, no record
    QVERIFY(!f.panel.buildRefsystem(&built) && !f.panel.buildRefsystem(nullptr));
    QCOMPARE(f.panel.acceptRefsystem(nullptr), 0);
}

void TestPanel::editorGuard_data()
{
    QTest::addColumn<int>("column"); // of row 0
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cell");
    dataRow("coordinate comma", 1, QString("55,5"), QString("55.5"));
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
