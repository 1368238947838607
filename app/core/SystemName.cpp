#include "SystemName.h"

#include "Calculation.h"
#include "NumberText.h"
#include "ProjString.h"

#include <QCoreApplication>

namespace SystemName {

namespace {

// A datum: its written name, the library's code and the panel's caption.
struct Datum
{
    const char *name;
    int code;
    const char *caption;
};

// Every datum of the geodetic and geocentric lists, in the panel's order.
const Datum datums[] = {
    {"wgs84", KV_DATUM_WGS84, QT_TRANSLATE_NOOP("Panel", "WGS 84")},
    {"sk42", KV_DATUM_PULKOVO42, QT_TRANSLATE_NOOP("Panel", "Пулково 42")},
    {"sk95", KV_DATUM_PULKOVO95, QT_TRANSLATE_NOOP("Panel", "Пулково 95")},
    {"pz90", KV_DATUM_PZ90, QT_TRANSLATE_NOOP("Panel", "ПЗ 90")},
    {"pz90.02", KV_DATUM_PZ9002, QT_TRANSLATE_NOOP("Panel", "ПЗ 90.02")},
    {"pz90.11", KV_DATUM_PZ9011, QT_TRANSLATE_NOOP("Panel", "ПЗ 90.11")},
    {"gsk2011", KV_DATUM_GSK2011, QT_TRANSLATE_NOOP("Panel", "ГСК 2011")},
    {"itrf2008", KV_DATUM_ITRF2008, QT_TRANSLATE_NOOP("Panel", "ITRF 2008")},
};

bool isGaussKrugerDatum(int code)
{
    return code == KV_DATUM_PULKOVO42 || code == KV_DATUM_PULKOVO95 || code == KV_DATUM_GSK2011;
}

const Datum *findDatum(int code)
{
    for (const Datum &d : datums) {
        if (d.code == code)
            return &d;
    }
    return nullptr;
}

int datumCode(const QString &name)
{
    for (const Datum &d : datums) {
        if (name == QLatin1String(d.name))
            return d.code;
    }
    return 0;
}

QString datumList()
{
    QStringList names;
    for (const Datum &d : datums)
        names.append(QLatin1String(d.name));
    return names.join(QStringLiteral(", "));
}

// A zone number 1 to 60 written in decimal digits only.
int zoneNumber(const QString &text)
{
    if (text.isEmpty() || text.size() > 2)
        return 0;
    int zone = 0;
    for (const QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return 0;
        zone = zone * 10 + (ch.unicode() - '0');
    }
    return Calculation::isZone(zone) ? zone : 0;
}

bool parseGeodeticForm(const QStringList &parts, bool input, Choices *c, QString *error)
{
    bool unitGiven = false;
    bool rangeGiven = false;
    for (int i = 2; i < parts.size(); ++i) {
        const QString &p = parts.at(i);
        const bool unit = p == QLatin1String("dms") || p == QLatin1String("deg");
        const bool range = p == QLatin1String("360") || p == QLatin1String("180");
        if ((!unit && !range) || (unit && unitGiven) || (range && rangeGiven)) {
            *error = QStringLiteral("лишнее или неизвестное «%1», ожидается geod:ДАТУМ, затем "
                                    "dms или deg и 180 или 360")
                         .arg(p);
            return false;
        }
        unitGiven = unitGiven || unit;
        rangeGiven = rangeGiven || range;
        c->decimalDegrees = c->decimalDegrees || p == QLatin1String("deg");
        c->unsignedLongitude = c->unsignedLongitude || p == QLatin1String("360");
    }
    // The input side reads both angle forms and any longitude.
    if (input && (c->decimalDegrees || c->unsignedLongitude)) {
        *error = QStringLiteral("deg и 360 задают вид результата, они возможны только в --to");
        return false;
    }
    return true;
}

bool parseGaussKruger(const QStringList &parts, bool input, Choices *c, QString *error)
{
    if (!isGaussKrugerDatum(c->datum)) {
        *error = QStringLiteral("для gk ожидается датум sk42, sk95 или gsk2011");
        return false;
    }
    const QString zone = parts.value(2);
    c->autoZone = zone == QLatin1String("auto");
    c->zone = c->autoZone ? 1 : zoneNumber(zone);
    if (c->zone == 0 || parts.size() > 4) {
        *error = QStringLiteral("ожидается gk:ДАТУМ:ЗОНА[:n|:s|:auto], зона 1–60 или auto");
        return false;
    }
    const QString hemisphere = parts.value(3, QStringLiteral("n"));
    c->northern = hemisphere != QLatin1String("s");
    c->autoHemisphere = hemisphere == QLatin1String("auto");
    if (!c->autoHemisphere && hemisphere != QLatin1String("n")
        && hemisphere != QLatin1String("s")) {
        *error = QStringLiteral("полушарие «%1»: ожидается n, s или auto").arg(hemisphere);
        return false;
    }
    if (input && c->autoHemisphere) {
        *error = QStringLiteral("полушарие входной системы: ожидается n или s");
        return false;
    }
    return true;
}

bool parseUtm(const QStringList &parts, Choices *c, QString *error)
{
    const QString zone = parts.value(1);
    const QChar last = zone.isEmpty() ? QChar() : zone.back();
    c->datum = KV_DATUM_WGS84;
    c->zone = zoneNumber(zone.left(zone.size() - 1));
    c->northern = last == QLatin1Char('n');
    if (c->zone == 0 || (last != QLatin1Char('n') && last != QLatin1Char('s'))
        || parts.size() > 2) {
        *error = QStringLiteral("ожидается utm:ЗОНА и полушарие n или s, например utm:37n");
        return false;
    }
    return true;
}

// "tm:DATUM:lon0=DEG,lat0=DEG,k=K,fe=M,fn=M", the parameters in any order,
// each once; the limits are the library's (setup_tm).
bool parseTm(const QStringList &parts, Choices *c, QString *error)
{
    const char *const keys[] = {"lon0", "lat0", "k", "fe", "fn"};
    bool given[5] = {};
    const QStringList values = parts.value(2).split(QLatin1Char(','));
    for (const QString &item : values) {
        const QString key = item.section(QLatin1Char('='), 0, 0).trimmed();
        const QByteArray value = item.section(QLatin1Char('='), 1).toLatin1();
        int i = 0;
        while (i < 5 && key != QLatin1String(keys[i]))
            ++i;
        if (i == 5 || given[i] || !item.contains(QLatin1Char('='))
            || !NumberText::read(value.constData(), value.constData() + value.size(), &c->tm[i])) {
            *error = QStringLiteral("«%1»: ожидается tm:ДАТУМ:lon0=ГРАД,lat0=ГРАД,k=МАСШТАБ,fe=М,"
                                    "fn=М (числа через \".\")")
                         .arg(item);
            return false;
        }
        given[i] = true;
    }
    for (int i = 0; i < 5; ++i) {
        if (!given[i] || parts.size() > 3) {
            *error = QStringLiteral("ожидается tm:ДАТУМ:lon0=ГРАД,lat0=ГРАД,k=МАСШТАБ,fe=М,fn=М, "
                                    "все пять параметров");
            return false;
        }
    }
    refsystem check;
    if (!setup_tm(c->datum, c->tm[0], c->tm[1], c->tm[2], c->tm[3], c->tm[4], &check)) {
        *error = QStringLiteral("параметры вне пределов: |lon0| не больше 180, |lat0| меньше 90, "
                                "k от 0.9 до 1.1, |fe| и |fn| не больше 1e8");
        return false;
    }
    return true;
}

} // namespace

void buildRefsystem(const Choices &c, refsystem *out)
{
    invalidate_refsystem(out);
    switch (c.kind) {
    case SystemKind::Geocentric:
        setup_geoc(c.datum, out);
        break;
    case SystemKind::Geodetic:
        setup_geod(c.datum, out);
        break;
    case SystemKind::Utm:
        setup_utm(unsigned(c.zone), c.northern ? KV_HEMISPHERE_NORTH : KV_HEMISPHERE_SOUTH, out);
        break;
    case SystemKind::TransverseMercator:
        setup_tm(c.datum, c.tm[0], c.tm[1], c.tm[2], c.tm[3], c.tm[4], out);
        break;
    case SystemKind::GaussKruger: {
        const int zone = c.autoZone ? 0 : c.zone;
        const int hemisphere = c.autoHemisphere ? KV_HEMISPHERE_AUTO
            : c.northern                        ? KV_HEMISPHERE_NORTH
                                                : KV_HEMISPHERE_SOUTH;
        if (c.datum == KV_DATUM_PULKOVO95) {
            setup_sk95(unsigned(zone), hemisphere, out);
        } else if (c.datum == KV_DATUM_PULKOVO42) {
            setup_sk42(unsigned(zone), hemisphere, out);
        } else if (c.datum == KV_DATUM_GSK2011) {
            if (hemisphere != KV_HEMISPHERE_AUTO && Calculation::isZone(zone)) {
                setup_gk(KV_DATUM_GSK2011, unsigned(zone), hemisphere, out);
            } else {
                // Zone or hemisphere chosen per point by the calculation; the
                // projection stays unset until then.
                out->type = KV_TYPE_PROJECTED;
                out->datum = KV_DATUM_GSK2011;
                out->hemisphere = hemisphere;
                out->axis_order = KV_AXES_NORTHING_EASTING;
                out->zone = zone;
            }
        }
        break;
    }
    default:
        break;
    }
}

int acceptRefsystem(SystemKind kind, bool inputOnly, const refsystem *rs)
{
    if (!rs)
        return 0;
    const int checked = check_refsystem(rs);
    if (checked != 0)
        return checked;
    if (kind != SystemKind::GaussKruger || rs->datum != KV_DATUM_GSK2011
        || rs->type != KV_TYPE_PROJECTED || rs->axis_order != KV_AXES_NORTHING_EASTING)
        return 0;
    // The input side reads the zone from each point's easting but cannot
    // guess the hemisphere.
    if (inputOnly)
        return rs->hemisphere != KV_HEMISPHERE_AUTO ? 1 : 0;
    return 1;
}

bool side(
    const Choices &c, bool input, Calculation::Side *out, const LocalSystems::Systems *systems)
{
    Calculation::Side s;
    if (c.kind == SystemKind::Local) {
        const LocalSystems::System *local
            = systems ? LocalSystems::find(*systems, c.localName) : nullptr;
        Choices base;
        QString error;
        if (!local || !parse(local->base, true, &base, &error) || !side(base, true, &s))
            return false;
        s.baseKind = base.kind;
        s.kind = SystemKind::Local;
        s.geoidHeights = c.geoid;
        s.keys = local->planeKeys();
        *out = s;
        return true;
    }
    buildRefsystem(c, &s.system);
    if (!acceptRefsystem(c.kind, input, &s.system))
        return false;
    const bool geodetic = c.kind == SystemKind::Geodetic;
    s.kind = c.kind;
    s.geoidHeights = c.geoid;
    s.dmsUnits = geodetic && !c.decimalDegrees;
    s.decimalDegrees = geodetic && c.decimalDegrees;
    s.unsignedLongitude = geodetic && c.unsignedLongitude;
    *out = s;
    return true;
}

bool parse(const QString &name, bool input, Choices *choices, QString *error, QString *note)
{
    const auto fail = [&name, error](const QString &why) {
        *error = QStringLiteral("«%1»: %2").arg(name, why);
        // Control characters shown as "?": the message stays one line.
        for (QChar &ch : *error) {
            if (ch.category() == QChar::Other_Control)
                ch = QLatin1Char('?');
        }
        return false;
    };

    QString text = name.trimmed();
    Choices c;
    const QLatin1String geoidSuffix("+egm96");
    if (text.endsWith(geoidSuffix, Qt::CaseInsensitive)) {
        c.geoid = true;
        text.chop(geoidSuffix.size());
    }
    // A local system's name keeps its case; a name no system can have (one
    // still ending in +egm96, control characters) is refused here, not
    // looked up.
    if (text.startsWith(QLatin1String("msk:"), Qt::CaseInsensitive)) {
        c.kind = SystemKind::Local;
        c.localName = text.mid(4);
        const QString why = LocalSystems::nameProblem(c.localName);
        if (!why.isEmpty())
            return fail(
                QStringLiteral("ожидается msk:ИМЯ местной системы (список: --list): ") + why);
        *choices = c;
        return true;
    }
    if (text.startsWith(QLatin1String("proj:"), Qt::CaseInsensitive)) {
        QString why;
        if (!ProjString::read(text.mid(5), &c, note, &why))
            return fail(why);
        *choices = c;
        return true;
    }
    text = text.toLower();
    const QStringList parts = text.split(QLatin1Char(':'));
    const QString &kind = parts.at(0);
    if (kind == QLatin1String("utm")) {
        c.kind = SystemKind::Utm;
    } else {
        if (kind == QLatin1String("geoc"))
            c.kind = SystemKind::Geocentric;
        else if (kind == QLatin1String("geod"))
            c.kind = SystemKind::Geodetic;
        else if (kind == QLatin1String("gk"))
            c.kind = SystemKind::GaussKruger;
        else if (kind == QLatin1String("tm"))
            c.kind = SystemKind::TransverseMercator;
        else
            return fail(QStringLiteral(
                "ожидается geod:, geoc:, gk:, utm:, tm:, msk: или proj: (все формы: --list)"));
        c.datum = datumCode(parts.value(1));
        if (c.datum == 0)
            return fail(QStringLiteral("ожидается %1:ДАТУМ, датумы: %2").arg(kind, datumList()));
    }

    QString why;
    bool ok = true;
    switch (c.kind) {
    case SystemKind::Geocentric:
        if (parts.size() > 2)
            return fail(QStringLiteral("лишнее «%1», ожидается geoc:ДАТУМ").arg(parts.at(2)));
        // The third coordinate is Z, not a height.
        if (c.geoid)
            return fail(QStringLiteral("у геоцентрической системы нет высот, уберите +egm96"));
        break;
    case SystemKind::Geodetic:
        ok = parseGeodeticForm(parts, input, &c, &why);
        break;
    case SystemKind::GaussKruger:
        ok = parseGaussKruger(parts, input, &c, &why);
        break;
    case SystemKind::TransverseMercator:
        ok = parseTm(parts, &c, &why);
        break;
    default:
        ok = parseUtm(parts, &c, &why);
        break;
    }
    if (!ok)
        return fail(why);

    Calculation::Side check;
    if (!side(c, input, &check))
        return fail(QStringLiteral("система задана не полностью"));
    *choices = c;
    return true;
}

QString format(const Choices &c)
{
    const Datum *datum = findDatum(c.datum);
    const QString datumName = datum ? QLatin1String(datum->name) : QString();
    QString text;
    switch (c.kind) {
    case SystemKind::Geocentric:
        text = QStringLiteral("geoc:") + datumName;
        break;
    case SystemKind::Geodetic:
        text = QStringLiteral("geod:") + datumName
            + (c.decimalDegrees ? QStringLiteral(":deg") : QString())
            + (c.unsignedLongitude ? QStringLiteral(":360") : QString());
        break;
    case SystemKind::GaussKruger:
        text = QStringLiteral("gk:%1:%2")
                   .arg(datumName, c.autoZone ? QStringLiteral("auto") : QString::number(c.zone))
            + (c.autoHemisphere  ? QStringLiteral(":auto")
                    : c.northern ? QString()
                                 : QStringLiteral(":s"));
        break;
    case SystemKind::Utm:
        text = QStringLiteral("utm:%1%2").arg(c.zone).arg(QLatin1Char(c.northern ? 'n' : 's'));
        break;
    case SystemKind::TransverseMercator:
        text = QStringLiteral("tm:%1:lon0=%2,lat0=%3,k=%4,fe=%5,fn=%6")
                   .arg(datumName, NumberText::shortest(c.tm[0]), NumberText::shortest(c.tm[1]),
                       NumberText::shortest(c.tm[2]), NumberText::shortest(c.tm[3]),
                       NumberText::shortest(c.tm[4]));
        break;
    case SystemKind::Local:
        text = QStringLiteral("msk:") + c.localName;
        break;
    default:
        return QString();
    }
    return c.geoid ? text + QStringLiteral("+egm96") : text;
}

QVector<int> datumsFor(SystemKind kind)
{
    QVector<int> codes;
    for (const Datum &d : datums) {
        if (kind == SystemKind::Geocentric || kind == SystemKind::Geodetic
            || (kind == SystemKind::GaussKruger && isGaussKrugerDatum(d.code))
            || (kind == SystemKind::Utm && d.code == KV_DATUM_WGS84))
            codes.append(d.code);
    }
    return codes;
}

QString datumCaption(int code)
{
    const Datum *datum = findDatum(code);
    return datum ? QCoreApplication::translate("Panel", datum->caption) : QString();
}

QStringList forms()
{
    QStringList lines;
    const auto item = [&lines](const QString &name, const QString &meaning) {
        lines << QStringLiteral("  %1 %2").arg(name, -18).arg(meaning);
    };
    lines << QStringLiteral("Системы (--from и --to):");
    for (const Datum &d : datums)
        item(QStringLiteral("geod:") + QLatin1String(d.name),
            QStringLiteral("геодезическая, ") + d.caption);
    for (const Datum &d : datums)
        item(QStringLiteral("geoc:") + QLatin1String(d.name),
            QStringLiteral("геоцентрическая X, Y, Z, ") + d.caption);
    for (const Datum &d : datums) {
        if (isGaussKrugerDatum(d.code))
            item(QStringLiteral("gk:%1:ЗОНА").arg(QLatin1String(d.name)),
                QStringLiteral("Гаусса-Крюгера, ") + d.caption);
    }
    item(QStringLiteral("utm:ЗОНАn"), QStringLiteral("UTM, WGS 84, северное полушарие"));
    item(QStringLiteral("utm:ЗОНАs"), QStringLiteral("UTM, WGS 84, южное полушарие"));
    item(QStringLiteral("tm:ДАТУМ:ПАРАМЕТРЫ"),
        QStringLiteral("поперечная Меркатора: lon0=ГРАД,lat0=ГРАД,k=МАСШТАБ,fe=М,fn=М"));
    item(QString(), QStringLiteral("например tm:sk42:lon0=37.98333333333,lat0=0,k=1,"));
    item(QString(), QStringLiteral("fe=2250000,fn=-5712900.566 (X на север, Y на восток)"));
    item(QStringLiteral("msk:ИМЯ"), QStringLiteral("местная система из файла местных систем"));
    item(QStringLiteral("proj:СТРОКА"),
        QStringLiteral("+proj=tmerc ... +ellps=... +towgs84=...: один из датумов выше"));
    lines << QStringLiteral("Уточнения:");
    item(
        QStringLiteral("ЗОНА"), QStringLiteral("1–60 или auto: на входе по восточной координате,"));
    item(QString(), QStringLiteral("на выходе по положению точки"));
    item(QStringLiteral("gk:...:ЗОНА:n"), QStringLiteral("северное полушарие (по умолчанию)"));
    item(QStringLiteral("gk:...:ЗОНА:s"), QStringLiteral("южное полушарие"));
    item(QStringLiteral("gk:...:ЗОНА:auto"), QStringLiteral("полушарие по точке, только в --to"));
    item(QStringLiteral("geod:...:dms"),
        QStringLiteral("градусы минуты секунды в результате (по умолчанию)"));
    item(QStringLiteral("geod:...:deg"), QStringLiteral("десятичные градусы, только в --to"));
    item(QStringLiteral("geod:...:180"), QStringLiteral("долготы от -180 до 180 (по умолчанию)"));
    item(QStringLiteral("geod:...:360"), QStringLiteral("долготы от 0 до 360, только в --to"));
    item(QStringLiteral("...+egm96"), QStringLiteral("высоты над геоидом EGM96 (кроме geoc)"));
    return lines;
}

} // namespace SystemName
