#include "LocalSystems.h"

#include "Calculation.h"
#include "SystemName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>

#include <cmath>

namespace LocalSystems {

namespace {

const int similarityCount = 4;
const int affineCount = 6;

// The line of each top-level entry of a JSON list, for the messages: the
// reader names no lines of its own.
QVector<int> entryLines(const QByteArray &text)
{
    QVector<int> lines;
    int line = 1;
    int depth = 0;
    bool inString = false;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\n')
            ++line;
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (depth == 1)
                lines.append(line);
            ++depth;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return lines;
}

int lineAt(const QByteArray &text, int offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

// Numbers of a JSON list, all finite; false otherwise.
bool numbers(const QJsonValue &value, int count, double *out)
{
    const QJsonArray list = value.toArray();
    if (!value.isArray() || list.size() != count)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!list.at(i).isDouble() || !std::isfinite(list.at(i).toDouble()))
            return false;
        out[i] = list.at(i).toDouble();
    }
    return true;
}

// One entry; false with *why when it is not of the form.
bool fromJson(const QJsonValue &value, System *system, QString *why)
{
    const QJsonObject entry = value.toObject();
    if (!value.isObject() || !entry.value(QLatin1String("name")).isString()
        || !entry.value(QLatin1String("base")).isString()) {
        *why = QStringLiteral("ожидается объект с полями \"name\" и \"base\"");
        return false;
    }
    system->name = entry.value(QLatin1String("name")).toString();
    system->base = entry.value(QLatin1String("base")).toString();
    const QJsonValue keys = entry.value(QLatin1String("keys"));
    const QJsonObject keyForms = keys.toObject();
    if (keys.isObject() && keyForms.size() == 1 && keyForms.contains(QLatin1String("similarity"))) {
        system->keys = System::Keys::Similarity;
        if (!numbers(
                keyForms.value(QLatin1String("similarity")), similarityCount, system->values)) {
            *why = QStringLiteral("\"similarity\": ожидаются 4 числа [dX, dY, a, b]");
            return false;
        }
    } else if (keys.isObject() && keyForms.size() == 1
        && keyForms.contains(QLatin1String("affine"))) {
        system->keys = System::Keys::Affine;
        if (!numbers(keyForms.value(QLatin1String("affine")), affineCount, system->values)) {
            *why = QStringLiteral("\"affine\": ожидаются 6 чисел [dX, dY, a1, a2, b1, b2]");
            return false;
        }
    } else if (!keys.isUndefined()) {
        *why
            = QStringLiteral("\"keys\": ожидается {\"similarity\": [...]} или {\"affine\": [...]}");
        return false;
    }
    const QJsonValue dh = entry.value(QLatin1String("dh"));
    if (dh.isDouble() && std::isfinite(dh.toDouble())) {
        system->dh[0] = dh.toDouble();
    } else if (!dh.isUndefined() && !numbers(dh, 3, system->dh)) {
        *why = QStringLiteral("\"dh\": ожидается число или [c, sx, sy]");
        return false;
    }
    *why = problem(*system);
    return why->isEmpty();
}

QJsonObject toJson(const System &system)
{
    QJsonObject entry {
        {QStringLiteral("name"), system.name}, {QStringLiteral("base"), system.base}};
    const int count = system.keys == System::Keys::Similarity ? similarityCount : affineCount;
    if (system.keys != System::Keys::None) {
        QJsonArray values;
        for (int i = 0; i < count; ++i)
            values.append(system.values[i]);
        entry.insert(QStringLiteral("keys"),
            QJsonObject {{system.keys == System::Keys::Similarity ? QStringLiteral("similarity")
                                                                  : QStringLiteral("affine"),
                values}});
    }
    if (system.dh[1] != 0.0 || system.dh[2] != 0.0)
        entry.insert(QStringLiteral("dh"), QJsonArray {system.dh[0], system.dh[1], system.dh[2]});
    else if (system.dh[0] != 0.0)
        entry.insert(QStringLiteral("dh"), system.dh[0]);
    return entry;
}

} // namespace

plane_keys System::planeKeys() const
{
    plane_keys k {};
    k.a1 = k.b2 = 1.0;
    if (keys == Keys::Similarity) {
        k.dx = values[0], k.dy = values[1];
        k.a1 = k.b2 = values[2];
        k.a2 = -values[3], k.b1 = values[3];
    } else if (keys == Keys::Affine) {
        k.dx = values[0], k.dy = values[1];
        k.a1 = values[2], k.a2 = values[3], k.b1 = values[4], k.b2 = values[5];
    }
    k.dh = dh[0], k.sx = dh[1], k.sy = dh[2];
    return k;
}

QString defaultPath()
{
    return QFileInfo(QSettings().fileName()).absolutePath() + QStringLiteral("/local-systems.json");
}

QString problem(const System &system)
{
    if (system.name.trimmed().isEmpty() || system.name != system.name.trimmed())
        return QStringLiteral("имя пустое или с пробелами по краям");
    SystemName::Choices base;
    QString error;
    if (!SystemName::parse(system.base, true, &base, &error))
        return QStringLiteral("\"base\" ") + error;
    const bool plane = base.kind == SystemKind::TransverseMercator || base.kind == SystemKind::Utm
        || (base.kind == SystemKind::GaussKruger && !base.autoZone);
    if (!plane || base.geoid)
        return QStringLiteral("\"base\": ожидается tm:, utm: или gk: с номером зоны, без +egm96");
    const plane_keys keys = system.planeKeys();
    if (!check_plane_keys(&keys))
        return QStringLiteral("ключи вырождены или не конечны");
    return QString();
}

bool read(const QString &path, Systems *systems, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        *systems = Systems();
        return true;
    }
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("«%1»: %2").arg(QDir::toNativeSeparators(path), why);
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("файл не читается"));
    const QByteArray text = file.readAll();
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(text, &parsed);
    if (parsed.error != QJsonParseError::NoError)
        return fail(QStringLiteral("строка %1: %2")
                        .arg(lineAt(text, parsed.offset))
                        .arg(QStringLiteral("ошибка записи JSON")));
    if (!document.isArray())
        return fail(QStringLiteral("ожидается список систем [...]"));
    const QJsonArray list = document.array();
    const QVector<int> lines = entryLines(text);
    Systems result;
    for (int i = 0; i < list.size(); ++i) {
        System system;
        QString why;
        if (fromJson(list.at(i), &system, &why) && find(result, system.name))
            why = QStringLiteral("имя уже занято");
        if (!why.isEmpty()) {
            const QString entry = system.name.isEmpty()
                ? QStringLiteral("запись %1").arg(i + 1)
                : QStringLiteral("запись %1 «%2»").arg(i + 1).arg(system.name);
            return fail(QStringLiteral("строка %1, %2: %3").arg(lines.value(i, 1)).arg(entry, why));
        }
        result.append(system);
    }
    *systems = result;
    return true;
}

bool write(const QString &path, const Systems &systems, QString *error)
{
    QJsonArray list;
    for (const System &system : systems)
        list.append(toJson(system));
    const QByteArray text = QJsonDocument(list).toJson(QJsonDocument::Indented);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    const bool denied = file.error() == QFileDevice::PermissionsError
        || (file.error() == QFileDevice::OpenError && QFileInfo::exists(path));
    *error = QStringLiteral("«%1» не записан: %2, прежний файл не изменён")
                 .arg(QDir::toNativeSeparators(path),
                     denied ? QStringLiteral("нет доступа") : QStringLiteral("ошибка записи"));
    return false;
}

const System *find(const Systems &systems, const QString &name)
{
    for (const System &system : systems) {
        if (system.name == name)
            return &system;
    }
    return nullptr;
}

} // namespace LocalSystems
