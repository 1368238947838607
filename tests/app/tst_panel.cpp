// The system panel: the record for each written form in each role, the controls of each kind,
// and the cell editor's guard.
#include "Calculation.h"
#include "CellText.h"
#include "TestSupport.h"

#include <QtTest>
#include <QtWidgets>

namespace {

enum Role { NoRole, InputRole, OutputRole };

// The record the panel builds for a system set up in its written form.
struct Build
{
    Role role;
    QString system;
    refsystem expected;
};

// A built record's compared fields; types other than projected keep stale projection fields.
QString fields(const refsystem &r)
{
    const bool complete = check_refsystem(&r);
    return QString::asprintf("type %d datum %d zone %d hemisphere %d scale %.9g complete %d",
               r.type, r.datum, r.zone, r.hemisphere, r.projection.scale_factor, complete)
        + (r.type != KV_TYPE_PROJECTED ? QString()
                                       : QString::asprintf(" axes %d", r.axis_order)
                    + (complete ? QString::asprintf(" meridian %.9g north %.9g",
                           r.projection.central_meridian, r.projection.false_northing)
                                : QString()));
}

// GSK 2011 Gauss-Krüger with the zone or hemisphere left to the calculation.
refsystem gskIncomplete(int zone, int hemisphere)
{
    refsystem r {};
    r.type = KV_TYPE_PROJECTED, r.datum = KV_DATUM_GSK2011, r.zone = zone;
    r.hemisphere = hemisphere, r.axis_order = KV_AXES_NORTHING_EASTING;
    return r;
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
    void controlsOfEachKind();
};

void TestPanel::buildRefsystem_data()
{
    QTest::addColumn<Build>("c");
    refsystem r {};
    const auto add = [&r](Role role, const QString &system, const refsystem *given = nullptr) {
        QTest::newRow(qPrintable(system + QString(" role %1").arg(role)))
            << Build {role, system, given ? *given : r};
        r = refsystem {};
    };
    const std::pair<const char *, int> datums[] = {{"wgs84", 84}, {"sk42", 42}, {"sk95", 95},
        {"pz90", 90}, {"pz90.02", 9002}, {"pz90.11", 9011}, {"gsk2011", 2011}, {"itrf2008", 2008}};
    for (const auto &[name, code] : datums) {
        setup_geoc(code, &r), add(InputRole, QString("geoc:") + name);
        setup_geod(code, &r), add(OutputRole, QString("geod:%1:deg:360").arg(name));
    }
    setup_utm(1, 1, &r), add(OutputRole, "utm:1n");
    setup_utm(60, 2, &r), add(InputRole, "utm:60s");
    setup_sk42(0, 0, &r), add(OutputRole, "gk:sk42:auto:auto");
    setup_sk42(0, 1, &r), add(InputRole, "gk:sk42:auto");
    setup_sk95(7, 2, &r), add(OutputRole, "gk:sk95:7:s");
    setup_gk(2011, 7, 1, &r), add(OutputRole, "gk:gsk2011:7");
    setup_gk(2011, 60, 2, &r), add(InputRole, "gk:gsk2011:60:s");
    const refsystem outputAutomatic = gskIncomplete(0, 0), outputHemisphere = gskIncomplete(7, 0);
    const refsystem inputZone = gskIncomplete(0, 1), south = gskIncomplete(0, 2);
    add(OutputRole, "gk:gsk2011:auto:auto", &outputAutomatic);
    add(OutputRole, "gk:gsk2011:7:auto", &outputHemisphere);
    add(InputRole, "gk:gsk2011:auto", &inputZone);
    add(NoRole, "gk:gsk2011:auto:s", &south);
}

void TestPanel::buildRefsystem()
{
    QFETCH(Build, c);
    Panel panel(c.role != OutputRole);
    if (c.role == InputRole)
        panel.setInputRole();
    else if (c.role == OutputRole)
        panel.setOutputRole();
    configure(&panel, c.system); // and the panel shows the same written form
    Calculation::Side side;
    setup_gk(2011, 13, 2, &side.system); // stale fields are reset first
    QVERIFY(panel.calculationSide(&side));
    QCOMPARE(fields(side.system), fields(c.expected));
    refsystem built = side.system;
    if (!check_refsystem(&built)) {
        // Nor an incomplete record on another datum or type; input cannot guess a hemisphere.
        const SystemKind type = SystemKind::GaussKruger;
        built.datum = KV_DATUM_PULKOVO42;
        QCOMPARE(SystemName::acceptRefsystem(type, false, &built), 0);
        built.datum = KV_DATUM_GSK2011;
        QCOMPARE(SystemName::acceptRefsystem(SystemKind::Geodetic, false, &built), 0);
        QCOMPARE(SystemName::acceptRefsystem(type, true, &built), built.hemisphere != 0 ? 1 : 0);
    }
    child<QComboBox>(&panel, "comboBoxType")->setCurrentIndex(-1); // no type, no record
    QVERIFY(!panel.calculationSide(&side));
    QCOMPARE(SystemName::acceptRefsystem(SystemKind::GaussKruger, false, nullptr), 0);
}

void TestPanel::editorGuard_data()
{
    // "column": of row 0
    addColumns<int, QString, QString>("column", "typed", "cell");
    dataRow("coordinate comma", 1, QString("55,5"), QString("55.5"));
    dataRow("height", 3, QString("1,2;3"), QString("1.23"));
    // Only a comma between digits is a decimal one, as in a loaded file.
    dataRow("comma after the digits", 2, QString("5,"), QString("5,"));
    dataRow("comma before the digits", 2, QString(",5"), QString(",5"));
    dataRow("name", 0, QString("P,1;2."), QString("P,12."));
    // Pasted: one line, each control character a blank, the ends trimmed.
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

// Each type chosen with the keyboard leaves usable what belongs to it (the input reads either
// angle form), and a zone typed into a plane system's field is the panel's zone.
void TestPanel::controlsOfEachKind()
{
    const char *const controls[] = {"groupBoxAngularUnit", "groupBoxLongitudeRange", "spinBoxZone",
        "checkBoxAutoZone", "groupBoxHemisphere", "checkBoxAutoHemisphere", "comboBoxGeoid"};
    // per type in the list's order, the controls usable in the output role, then in the input role
    const char *const usable[][2] = {{"1100001", "0000001"}, {"0001111", "0001101"},
        {"0010101", "0010101"}, {"0000000", "0000000"}, {"0000001", "0000001"}};
    for (const bool input : {false, true}) {
        Panel panel(input);
        input ? panel.setInputRole() : panel.setOutputRole();
        panel.show();
        auto *type = child<QComboBox>(&panel, "comboBoxType");
        auto *zone = child<QSpinBox>(&panel, "spinBoxZone");
        type->setFocus();
        QTest::keyClick(type, Qt::Key_Home);
        for (int i = 0; i < int(std::size(usable)); ++i) {
            if (i > 0)
                QTest::keyClick(type, Qt::Key_Down);
            QString got;
            for (const char *name : controls) {
                const auto *w = child<QWidget>(&panel, name);
                got += w->isVisibleTo(&panel) && w->isEnabledTo(&panel) ? '1' : '0';
            }
            QVERIFY2(got == usable[i][input], qPrintable(got + ' ' + type->currentText()));
            QCOMPARE(
                child<QCheckBox>(&panel, "checkBoxAutoHemisphere")->isChecked(), got[5] == '1');
            if (got[3] == '1') // the zone is automatic first: Space unticks it
                QTest::keyClick(child<QCheckBox>(&panel, "checkBoxAutoZone"), Qt::Key_Space);
            if (got[2] == '1' || got[3] == '1') {
                QTest::keyClick(zone, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(zone, QString::number(30 + i));
                QCOMPARE(panel.choices().zone, 30 + i);
                QVERIFY(!panel.choices().autoZone);
            }
            if (got[5] == '1') { // another datum: the output zone and hemisphere automatic again
                QTest::keyClick(child<QComboBox>(&panel, "comboBoxDatum"), Qt::Key_Down);
                QVERIFY(panel.choices().autoZone && panel.choices().autoHemisphere);
            }
        }
    }
}

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
