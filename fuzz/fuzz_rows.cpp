// Point rows through the program's table, validation, angle reading and
// calculation. The first bytes set the controls the user could reach on both
// panels, the rest is a points file. Checks: no crash, leak or undefined
// behaviour; the table keeps every row and its first four cells; a valid angle
// reads as the library reads it; the calculation returns one row per source
// row with its name, and every converted row is valid input on the target side.
#include "Calculation.h"
#include "CellText.h"
#include "Panel.h"
#include "PointsFile.h"
#include "kelvadra.h"
#include "scratch_file.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>

namespace {

Panel *sourcePanel;
Panel *targetPanel;
geoid worldGeoid;

// A coarse grid over the whole globe, in the system the program's loader gives.
void makeWorldGeoid()
{
    initialize_null_geoid_data(&worldGeoid.grid);
    invalidate_refsystem(&worldGeoid.refsys);
    geoid_data &grid = worldGeoid.grid;
    grid.lat_min = -90, grid.lat_max = 90, grid.lon_min = -180, grid.lon_max = 360;
    grid.lat_step = grid.lon_step = 45;
    require(complete_geoid_data_grid(&grid) && geoid_data_allocate_memory(&grid));
    for (int32_t r = 0; r < grid.rows; ++r)
        for (int32_t c = 0; c < grid.cols; ++c)
            set_geoid_data_value(&grid, r, c, float(10 * r - 7 * c));
    worldGeoid.refsys.type = KV_TYPE_GEODETIC, worldGeoid.refsys.datum = KV_DATUM_WGS84;
    require(check_geoid(&worldGeoid));
}

template <typename Widget> Widget *control(Panel *panel, const char *name)
{
    Widget *w = panel->findChild<Widget *>(QLatin1String(name));
    require(w != nullptr);
    return w;
}

void click(QAbstractButton *button)
{
    if (button->isEnabled())
        button->click();
}

void setControls(FuzzedDataProvider &in, Panel *panel)
{
    control<QComboBox>(panel, "comboBoxType")->setCurrentIndex(in.ConsumeIntegralInRange(0, 3));
    QComboBox *datum = control<QComboBox>(panel, "comboBoxDatum");
    datum->setCurrentIndex(in.ConsumeIntegralInRange(0, std::max(0, datum->count() - 1)));
    QComboBox *geoidBox = control<QComboBox>(panel, "comboBoxGeoid");
    if (geoidBox->isEnabled())
        geoidBox->setCurrentIndex(in.ConsumeIntegralInRange(0, geoidBox->count() - 1));
    const uint8_t flags = in.ConsumeIntegral<uint8_t>();
    if (flags & 1)
        click(control<QCheckBox>(panel, "checkBoxAutoZone"));
    if (flags & 2)
        click(control<QCheckBox>(panel, "checkBoxAutoHemisphere"));
    click(control<QRadioButton>(panel, flags & 4 ? "radioButtonSouthern" : "radioButtonNorthern"));
    click(control<QRadioButton>(panel, flags & 8 ? "radioButtonDegrees" : "radioButtonDMS"));
    click(control<QRadioButton>(
        panel, flags & 16 ? "radioButtonUnsignedLongitude" : "radioButtonSignedLongitude"));
    QSpinBox *zone = control<QSpinBox>(panel, "spinBoxZone");
    if (zone->isEnabled())
        zone->setValue(in.ConsumeIntegralInRange(zone->minimum(), zone->maximum()));
}

// A valid degrees-minutes-seconds text reads to the same angle as the
// library's reader gives (the sums may differ in the last bits).
void checkAngle(const QString &text)
{
    const QString trimmed = text.trimmed();
    const double angle = Panel::parseAngle(trimmed);
    double fromLibrary = 0;
    if (parse_dms_string(trimmed.toUtf8().constData(), &fromLibrary))
        require(std::fabs(angle - fromLibrary) <= 1e-12 * std::max(1.0, std::fabs(angle)));
    else
        require(!std::isfinite(angle));
}

void checkRows(const QStringList &rows, const QStringList &points)
{
    require(points.size() == std::max(1, int(rows.size())));
    for (int i = 0; i < rows.size(); ++i) {
        const QStringList c = CellText::splitRow(rows.at(i));
        require(points.at(i) == CellText::joinRow(c.at(0), c.at(1), c.at(2), c.at(3)));
        if (!sourcePanel->isValidRow(c.at(1), c.at(2), c.at(3)))
            continue;
        double value = 0;
        require(CellText::parseNumber(c.at(3), &value));
        if (sourcePanel->isDmsUnits()) {
            checkAngle(c.at(1));
            checkAngle(c.at(2));
        } else {
            require(
                CellText::parseNumber(c.at(1), &value) && CellText::parseNumber(c.at(2), &value));
        }
    }
}

void calculate(const QStringList &points)
{
    refsystem sourceSystem, targetSystem;
    Calculation::Side from, to;
    if (!sourcePanel->buildRefsystem(&sourceSystem) || !targetPanel->buildRefsystem(&targetSystem)
        || !sourcePanel->calculationSide(&from) || !targetPanel->calculationSide(&to))
        return;
    Calculation::Calculator calculator(from, to, &worldGeoid);
    const bool fixed = check_refsystem(&sourceSystem) && check_refsystem(&targetSystem);
    if (!(fixed ? calculator.setUpFixed() : calculator.setUpAutoZone()))
        return;
    const Calculation::Result result = calculator.run(points);
    require(result.rows.size() == points.size());
    for (int i = 0; i < points.size(); ++i) {
        const QStringList source = CellText::splitRow(points.at(i));
        const QStringList row = CellText::splitRow(result.rows.at(i));
        require(row.size() == 4 && row.at(0) == source.at(0).trimmed());
        if (CellText::coordinatesBlank(row.at(1), row.at(2), row.at(3)))
            continue;
        // Longitudes keep their whole range on the way through; only those
        // that the degrees-minutes-seconds pattern can hold must read again.
        if (targetPanel->isDmsUnits() && !(std::fabs(Panel::parseAngle(row.at(2))) < 1000))
            continue;
        const QString height = CellText::isBlank(row.at(3)) ? QStringLiteral("0") : row.at(3);
        double back[3];
        require(targetPanel->isValidRow(row.at(1), row.at(2), height)
            && Calculation::readPoint(
                   to, row.at(1).trimmed(), row.at(2).trimmed(), height.trimmed(), back)
                == Calculation::Failure::None);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed, like the panels: taking Qt down at exit is not what is
    // tested here, and its offscreen screen is not released then.
    new QApplication(*argc, *argv);
    sourcePanel = new Panel(true);
    targetPanel = new Panel(false);
    sourcePanel->setInputRole();
    targetPanel->setOutputRole();
    sourcePanel->addGeoidModel();
    targetPanel->addGeoidModel();
    makeWorldGeoid();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    setControls(in, sourcePanel);
    setControls(in, targetPanel);

    // The rows as the points file reader splits and decodes them.
    QByteArray bytes = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    PointsFile::LineReader reader(&buffer);
    QStringList rows;
    QString line;
    while (reader.readLine(&line))
        rows.append(line);
    // A NUL byte refuses the rows: no text.
    if (reader.status() == PointsFile::Status::NotText)
        return 0;
    require(reader.status() == PointsFile::Status::Ok);

    sourcePanel->setPoints(rows);
    const QStringList points = sourcePanel->points();
    checkRows(rows, points);
    calculate(points);
    return 0;
}
