// Point rows through table, validation, angles and calculation; the first bytes choose both
// panels' systems, the rest is a points file. Converted rows must be valid input again.
#include "AngleText.h"
#include "Calculation.h"
#include "CellText.h"
#include "Panel.h"
#include "PointTable.h"
#include "PointsFile.h"
#include "kelvadra.h"
#include "scratch_file.h"

#include <QApplication>
#include <QBuffer>

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

// A system the user could choose on `panel`, from the next bytes; the panel
// takes what its role offers.
void choose(FuzzedDataProvider &in, Panel *panel)
{
    SystemName::Choices c;
    c.kind = Panel::kindAt(in.ConsumeIntegralInRange(0, 3));
    const QVector<int> datums = SystemName::datumsFor(c.kind);
    c.datum = datums.at(in.ConsumeIntegralInRange(0, int(datums.size()) - 1));
    c.zone = in.ConsumeIntegralInRange(1, 60);
    const auto flags = in.ConsumeIntegral<uint8_t>();
    c.autoZone = flags & 1, c.autoHemisphere = flags & 2, c.northern = !(flags & 4);
    c.decimalDegrees = flags & 8, c.unsignedLongitude = flags & 16, c.geoid = flags & 32;
    panel->setChoices(c);
}

// A valid degrees-minutes-seconds text reads to the same angle as the
// library's reader gives (the sums may differ in the last bits).
void checkAngle(const QString &text)
{
    const QString trimmed = text.trimmed();
    const double angle = AngleText::parse(trimmed);
    double fromLibrary = 0;
    if (parse_dms_string(trimmed.toUtf8().constData(), &fromLibrary))
        require(std::fabs(angle - fromLibrary) <= 1e-12 * std::max(1.0, std::fabs(angle)));
    else
        require(!std::isfinite(angle));
}

void checkRows(const QStringList &lines, const PointRows &rows)
{
    require(rows.size() == std::max(1, int(lines.size())));
    const SystemName::Choices source = sourcePanel->choices();
    const bool dms = source.kind == SystemKind::Geodetic && !source.decimalDegrees;
    for (int i = 0; i < lines.size(); ++i) {
        const PointRow &row = rows.at(i);
        const PointRow line = PointRow::fromLine(lines.at(i));
        QByteArray written;
        row.appendLine(&written);
        const PointRow back = PointRow::fromLine(QString::fromUtf8(written.chopped(1)));
        // A ";" kept in a coordinate (of a tab-separated line) splits the written line.
        bool semicolon = false;
        for (int c = 1; c < PointRow::columns; ++c)
            semicolon = semicolon || row.cell(c).contains(QLatin1Char(';'));
        for (int c = 0; c < PointRow::columns; ++c)
            require(row.cell(c) == line.cell(c) && (semicolon || back.cell(c) == row.cell(c)));
        const QString *c = row.coordinates;
        const QString height = c[2].isEmpty() ? QStringLiteral("0") : c[2];
        if (!CellText::isValidCoordinates(c[0], c[1], height, dms))
            continue;
        double value = 0;
        require(CellText::parseNumber(height, &value));
        if (dms) {
            checkAngle(c[0]);
            checkAngle(c[1]);
        } else {
            require(CellText::parseNumber(c[0], &value) && CellText::parseNumber(c[1], &value));
        }
    }
}

void calculate(const PointRows &rows)
{
    Calculation::Side from, to;
    if (!sourcePanel->calculationSide(&from) || !targetPanel->calculationSide(&to))
        return;
    const Calculation::Calculator calculator(from, to, &worldGeoid);
    if (calculator.setUpFailure() != Calculation::SetUpFailure::None)
        return;
    const Calculation::Result result = calculator.run(rows);
    require(result.rows.size() == rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const PointRow &row = result.rows.at(i);
        require(row.name == rows.at(i).name.trimmed());
        if (row.outcome != PointRow::Outcome::Converted) {
            require(row.coordinatesBlank());
            continue;
        }
        const QString *c = row.coordinates;
        // Longitudes keep their whole range on the way through; only those
        // that the degrees-minutes-seconds pattern can hold must read again.
        if (to.dmsUnits && !(std::fabs(AngleText::parse(c[1])) < 1000))
            continue;
        const QString height = c[2].isEmpty() ? QStringLiteral("0") : c[2];
        double back[3];
        require(CellText::isValidCoordinates(c[0], c[1], height, to.dmsUnits)
            && Calculation::readPoint(to, c[0], c[1], height, back) == Calculation::Failure::None);
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
    choose(in, sourcePanel);
    choose(in, targetPanel);

    // The rows as the points file reader splits and decodes them.
    QByteArray bytes = QByteArray::fromStdString(in.ConsumeRemainingBytesAsString());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    TextLines::LineReader reader(&buffer);
    QStringList lines;
    PointRows rows;
    QString line;
    while (reader.readLine(&line)) {
        lines.append(line);
        rows.append(PointRow::fromLine(line));
    }
    // A NUL byte refuses the rows: no text.
    if (reader.status() == TextLines::Status::NotText)
        return 0;
    require(reader.status() == TextLines::Status::Ok);

    sourcePanel->table()->setRows(rows);
    const PointRows table = sourcePanel->table()->rows();
    checkRows(lines, table);
    calculate(table);
    return 0;
}
