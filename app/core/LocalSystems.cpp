#include "LocalSystems.h"

#include "Calculation.h"
#include "SystemName.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QSet>
#include <QSettings>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace LocalSystems {

namespace {

const int similarityCount = 4;
const int affineCount = 6;

// The line where each top-level entry of a JSON list starts, whatever its
// kind, for the messages: the reader names no lines of its own.
QVector<int> entryLines(const QByteArray &text)
{
    QVector<int> lines;
    int line = 1;
    int depth = 0;
    bool inString = false;
    bool entryNext = false;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\n')
            ++line;
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (entryNext && depth == 1 && c != ' ' && c != '\t' && c != '\r' && c != '\n'
            && c != ']') {
            lines.append(line);
            entryNext = false;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            ++depth;
            entryNext = depth == 1;
        } else if (c == ']' || c == '}') {
            --depth;
        } else if (c == ',' && depth == 1) {
            entryNext = true;
        }
    }
    return lines;
}

int lineAt(const QByteArray &text, int offset)
{
    return int(text.left(offset).count('\n')) + 1;
}

// The first control character JSON forbids unescaped, or -1. Qt's reader takes
// them, and a raw NUL in a key leaves the object's keys out of order, so the
// entry no longer compares equal to itself written and read back.
int rawControlAt(const QByteArray &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text.at(i));
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return i;
    }
    return -1;
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

// Why each base text read so far cannot be a base: many systems of a file
// share one, and reading it is most of the work.
using BaseProblems = QHash<QString, QString>;
QString checked(const System &system, BaseProblems *bases);

// One entry; false with *why when it is not of the form.
bool fromJson(const QJsonValue &value, System *system, QString *why, BaseProblems *bases)
{
    const QJsonObject entry = value.toObject();
    if (!value.isObject() || !entry.value(QLatin1String("name")).isString()
        || !entry.value(QLatin1String("base")).isString()) {
        *why = QStringLiteral("ожидается объект с полями \"name\" и \"base\"");
        return false;
    }
    int known = 0;
    for (const char *field : {"name", "base", "keys", "dh"})
        known += entry.contains(QLatin1String(field)) ? 1 : 0;
    // Copied only when there is something besides: a copy per entry is what
    // a large file would spend its time on.
    if (entry.size() > known) {
        system->other = entry;
        for (const char *field : {"name", "base", "keys", "dh"})
            system->other.remove(QLatin1String(field));
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
    *why = checked(*system, bases);
    return why->isEmpty();
}

QJsonObject toJson(const System &system)
{
    QJsonObject entry = system.other;
    entry.insert(QStringLiteral("name"), system.name);
    entry.insert(QStringLiteral("base"), system.base);
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

const int lockWait = 10000; // ms; a writer holds the lock for one read and one write
const double maxShift = 1e8;
const double maxFactor = 10.0;
const double maxHeightShift = 1e7;
const double maxSlope = 1.0;

QString shownPath(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Characters that would break a line of a message or a listing, or hide
// what a name says.
bool isControl(QChar ch)
{
    const QChar::Category category = ch.category();
    return category == QChar::Other_Control || category == QChar::Other_Format
        || category == QChar::Separator_Line || category == QChar::Separator_Paragraph;
}

// A name in a message, its control characters as "?": the message stays one line.
QString shownName(QString name)
{
    for (QChar &ch : name) {
        if (isControl(ch))
            ch = QLatin1Char('?');
    }
    return name;
}

// Names that look alike are one name: "й" typed or composed of "и" and a breve.
QString comparable(const QString &name)
{
    return name.normalized(QString::NormalizationForm_C);
}

// Takes the lock of the definitions file, making its folder when needed;
// why it could not, else empty.
QString take(QLockFile *lock, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Short waits of our own: QLockFile's start at 100 ms and double, while
    // a writer holds the lock for a few milliseconds.
    QElapsedTimer waited;
    waited.start();
    while (!lock->tryLock(0)) {
        if (lock->error() != QLockFile::LockFailedError || waited.elapsed() > lockWait)
            return lock->error() == QLockFile::LockFailedError
                ? QStringLiteral("файл занят другой программой")
                : QStringLiteral("нет доступа к папке");
        QThread::msleep(2);
    }
    return QString();
}

int indexOf(const Systems &systems, const QString &name)
{
    const QString key = comparable(name);
    for (int i = 0; i < systems.size(); ++i) {
        if (systems.at(i).name == name || comparable(systems.at(i).name) == key)
            return i;
    }
    return -1;
}

bool same(const System &a, const System &b)
{
    return a.name == b.name && a.base == b.base && a.keys == b.keys
        && std::equal(a.values, a.values + 6, b.values) && std::equal(a.dh, a.dh + 3, b.dh)
        && a.other == b.other;
}

// Writes the list whole or not at all, keeping the permissions of the file
// it replaces; the lock is the caller's.
bool writeLocked(const QString &path, const Systems &systems, QString *error)
{
    QJsonArray list;
    for (const System &system : systems)
        list.append(toJson(system));
    const QByteArray text = QJsonDocument(list).toJson(QJsonDocument::Indented);
    const QFileInfo before(path);
    const bool existed = before.exists();
    // The user's flags are what this process may do (root may write a 0444
    // file): given back, they would set the owner's bits.
    const QFileDevice::Permissions permissions = before.permissions()
        & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    QSaveFile file(path);
    bool denied = existed && !before.isWritable();
    if (!denied && file.open(QIODevice::WriteOnly) && file.write(text) == text.size()
        && (!existed || file.setPermissions(permissions)) && file.commit())
        return true;
    denied = denied || file.error() == QFileDevice::PermissionsError;
    *error = QStringLiteral("«%1» не записан: %2, прежний файл не изменён")
                 .arg(shownPath(path),
                     denied ? QStringLiteral("нет доступа") : QStringLiteral("ошибка записи"));
    return false;
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

QString nameProblem(const QString &name)
{
    if (name.trimmed().isEmpty() || name != name.trimmed())
        return QStringLiteral("имя пустое или с пробелами по краям");
    if (std::any_of(name.begin(), name.end(), isControl))
        return QStringLiteral("в имени управляющий символ или перевод строки");
    if (name.endsWith(QLatin1String("+egm96"), Qt::CaseInsensitive))
        return QStringLiteral("имя оканчивается на +egm96, а msk:ИМЯ+egm96 — это высоты над "
                              "геоидом");
    return QString();
}

QString baseProblem(const QString &base)
{
    SystemName::Choices choices;
    QString error;
    if (!SystemName::parse(base, true, &choices, &error))
        return error;
    const bool plane = choices.kind == SystemKind::TransverseMercator
        || choices.kind == SystemKind::Utm
        || (choices.kind == SystemKind::GaussKruger && !choices.autoZone);
    if (!plane || choices.geoid)
        return QStringLiteral("ожидается tm:, utm: или gk: с номером зоны, без +egm96");
    return QString();
}

QString problem(const System &system)
{
    return checked(system, nullptr);
}

namespace {

QString checked(const System &system, BaseProblems *bases)
{
    QString name = nameProblem(system.name);
    if (!name.isEmpty())
        return name;
    const auto known = bases ? bases->constFind(system.base) : BaseProblems::const_iterator();
    const QString base
        = bases && known != bases->constEnd() ? known.value() : baseProblem(system.base);
    if (bases && known == bases->constEnd())
        bases->insert(system.base, base);
    if (!base.isEmpty())
        return QStringLiteral("\"base\": ") + base;
    const plane_keys keys = system.planeKeys();
    if (!check_plane_keys(&keys))
        return QStringLiteral("ключи вырождены или не конечны");
    // Keys beyond these put every point farther than anything measured and
    // print as hundreds of digits: the shifts are bounded as a projection's
    // false easting and northing are.
    const double shift = std::max(std::fabs(keys.dx), std::fabs(keys.dy));
    const double factor = std::max(
        {std::fabs(keys.a1), std::fabs(keys.a2), std::fabs(keys.b1), std::fabs(keys.b2)});
    const double slope = std::max(std::fabs(keys.sx), std::fabs(keys.sy));
    if (!(shift <= maxShift) || !(factor <= maxFactor) || !(std::fabs(keys.dh) <= maxHeightShift)
        || !(slope <= maxSlope))
        return QStringLiteral("ключи вне пределов: сдвиги dX, dY не больше 1e8 м, множители не "
                              "больше 10, поправка высоты не больше 1e7 м, наклоны не больше 1");
    return QString();
}

} // namespace

bool read(const QString &path, Systems *systems, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *systems = Systems();
        return true;
    }
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("«%1»: %2").arg(shownPath(path), why);
        return false;
    };
    // Judged by its size, and again by what was read: it may grow meanwhile.
    const auto tooBig = [&fail] {
        return fail(QStringLiteral("файл больше %1 МБ").arg(maxFileSize / (qint64(1024) * 1024)));
    };
    // A pipe or a device would hang the reader or never end.
    if (!info.isFile())
        return fail(QStringLiteral("не обычный файл"));
    if (info.size() > maxFileSize)
        return tooBig();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.error() == QFileDevice::PermissionsError
                ? QStringLiteral("нет доступа")
                : QStringLiteral("файл не читается"));
    const QByteArray text = file.read(maxFileSize + 1);
    if (text.size() > maxFileSize)
        return tooBig();
    const int control = rawControlAt(text);
    if (control >= 0)
        return fail(QStringLiteral("строка %1: управляющий символ, в JSON он пишется как \\u%2")
                        .arg(lineAt(text, control))
                        .arg(int(text.at(control)), 4, 16, QLatin1Char('0')));
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
    result.reserve(list.size());
    QSet<QString> names;
    names.reserve(list.size());
    BaseProblems bases;
    for (int i = 0; i < list.size(); ++i) {
        System system;
        QString why;
        if (fromJson(list.at(i), &system, &why, &bases)) {
            const QString key = comparable(system.name);
            if (names.contains(key))
                why = QStringLiteral("имя уже занято");
            names.insert(key);
        }
        if (!why.isEmpty()) {
            const QString entry = system.name.isEmpty()
                ? QStringLiteral("запись %1").arg(i + 1)
                : QStringLiteral("запись %1 «%2»").arg(i + 1).arg(shownName(system.name));
            return fail(QStringLiteral("строка %1, %2: %3").arg(lines.value(i, 1)).arg(entry, why));
        }
        result.append(system);
    }
    *systems = result;
    return true;
}

bool apply(const QString &path, const QVector<Change> &changes, Systems *result, QString *error)
{
    const auto fail = [&](const QString &why) {
        *error = QStringLiteral("«%1» не записан: %2, прежний файл не изменён")
                     .arg(shownPath(path), why);
        return false;
    };
    QLockFile lock(path + QStringLiteral(".lock"));
    const QString locked = take(&lock, path);
    if (!locked.isEmpty())
        return fail(locked);
    // Read again under the lock: another writer may have changed it.
    Systems systems;
    if (!read(path, &systems, error))
        return false;
    for (const Change &change : changes) {
        const int replaced = change.replaces.isEmpty() ? -1 : indexOf(systems, change.replaces);
        if (change.remove) {
            if (replaced >= 0)
                systems.remove(replaced);
            continue;
        }
        const QString why = problem(change.system);
        if (!why.isEmpty())
            return fail(QStringLiteral("«%1»: %2").arg(shownName(change.system.name), why));
        const int taken = indexOf(systems, change.system.name);
        if (taken >= 0 && taken != replaced)
            return fail(QStringLiteral("система «%1» уже есть").arg(shownName(change.system.name)));
        if (replaced >= 0)
            systems[replaced] = change.system;
        else
            systems.append(change.system);
    }
    if (!writeLocked(path, systems, error))
        return false;
    if (result)
        *result = systems;
    return true;
}

bool write(const QString &path, const Systems &systems, QString *error)
{
    QLockFile lock(path + QStringLiteral(".lock"));
    const QString locked = take(&lock, path);
    if (!locked.isEmpty()) {
        *error = QStringLiteral("«%1» не записан: %2, прежний файл не изменён")
                     .arg(shownPath(path), locked);
        return false;
    }
    return writeLocked(path, systems, error);
}

bool save(const QString &path, const System &system, QString *error, const QString &replaces,
    Systems *result)
{
    Change change;
    change.replaces = replaces;
    change.system = system;
    return apply(path, {change}, result, error);
}

bool remove(const QString &path, const QString &name, QString *error, Systems *result)
{
    Change change;
    change.replaces = name;
    change.remove = true;
    return apply(path, {change}, result, error);
}

QVector<Change> changes(const Systems &before, const Systems &after)
{
    // By hash, not by find: the editor may hold a list of any length.
    QHash<QString, int> was;
    QHash<QString, int> is;
    for (int i = 0; i < before.size(); ++i)
        was.insert(comparable(before.at(i).name), i);
    for (int i = 0; i < after.size(); ++i)
        is.insert(comparable(after.at(i).name), i);
    QVector<Change> list;
    for (const System &old : before) {
        if (!is.contains(comparable(old.name))) {
            Change change;
            change.replaces = old.name;
            change.remove = true;
            list.append(change);
        }
    }
    for (const System &now : after) {
        const int i = was.value(comparable(now.name), -1);
        if (i >= 0 && same(before.at(i), now))
            continue;
        Change change;
        change.replaces = i >= 0 ? before.at(i).name : QString();
        change.system = now;
        list.append(change);
    }
    return list;
}

const System *find(const Systems &systems, const QString &name)
{
    const int i = indexOf(systems, name);
    return i >= 0 ? &systems.at(i) : nullptr;
}

} // namespace LocalSystems
