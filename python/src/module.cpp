// kelvadra for Python: the converter's conversions, local systems and keys on
// numpy arrays. Written forms are read by the converter's own parser and every
// point goes through its checks and its calculation, number by number: a
// script gets the digits the converter prints, and fails where it fails.
// Python's headers first: they name a field "slots", which Qt's headers define as a macro.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Calculation.h"
#include "GeoidFile.h"
#include "KeyFit.h"
#include "KeyFitReport.h"
#include "LocalSystems.h"
#include "NumberText.h"
#include "ProjString.h"
#include "SystemName.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <sys/mman.h>

namespace py = pybind11;
using namespace pybind11::literals;

namespace {

// Worker threads past this are refused: more never helps and may not start.
const int maxThreads = 1024;
// Fewer points than this per thread cost more to start than they save.
const size_t minPointsPerThread = 4096;

std::string utf8(const QString &text)
{
    return text.toStdString();
}

QString qt(const std::string &text)
{
    return QString::fromStdString(text);
}

[[noreturn]] void valueError(const QString &text)
{
    throw py::value_error(utf8(text));
}

// The folder this module was loaded from.
QString moduleFolder()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&moduleFolder), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QFile::decodeName(info.dli_fname)).canonicalPath();
}

// egm96.grd beside the programs: those of this build tree when the module is
// the build's, else those it was installed with.
QString defaultGeoidPath()
{
    const QString folder = moduleFolder();
    const QString built = QFileInfo(QStringLiteral(KELVADRA_BUILD_MODULE_DIR)).canonicalFilePath();
    const QString programs = !built.isEmpty() && folder == built
        ? QStringLiteral(KELVADRA_BUILD_PROGRAM_DIR)
        : folder + QStringLiteral("/" KELVADRA_PROGRAMS_FROM_MODULE);
    return QDir::cleanPath(programs + QStringLiteral("/egm96.grd"));
}

// A geoid grid, loaded once per file and shared: it takes a while to read,
// and every Transformer of a process (a dask worker's too) wants the same one.
struct Grid
{
    geoid grid;
    Grid()
    {
        initialize_null_geoid_data(&grid.grid);
        invalidate_geoid(&grid);
    }
    ~Grid() { invalidate_geoid(&grid); }
    Grid(const Grid &) = delete;
    Grid &operator=(const Grid &) = delete;
};

std::shared_ptr<const Grid> loadGrid(const QString &path)
{
    static std::mutex lock;
    static std::map<QString, std::weak_ptr<const Grid>> loaded;
    const std::lock_guard<std::mutex> guard(lock);
    const QString key = QFileInfo(path).absoluteFilePath();
    if (auto grid = loaded[key].lock())
        return grid;
    auto grid = std::make_shared<Grid>();
    switch (GeoidFile::load(path, &grid->grid)) {
    case GeoidFile::Result::Loaded:
        break;
    case GeoidFile::Result::NotOpened:
        throw py::value_error(utf8(
            QStringLiteral("не удалось открыть сетку геоида «%1» (укажите geoid=)").arg(path)));
    case GeoidFile::Result::Malformed:
        valueError(QStringLiteral("«%1» не является сеткой геоида").arg(path));
    }
    loaded[key] = grid;
    return grid;
}

LocalSystems::Systems readSystems(const QString &path)
{
    LocalSystems::Systems systems;
    QString error;
    if (!LocalSystems::read(path, &systems, &error))
        valueError(QStringLiteral("местные системы не прочитаны: ") + error);
    return systems;
}

QString systemsPath(const py::object &systems)
{
    return systems.is_none() ? LocalSystems::defaultPath()
                             : qt(py::str(py::module_::import("os").attr("fspath")(systems)));
}

bool isLocal(const QString &form)
{
    return form.trimmed().startsWith(QLatin1String("msk:"), Qt::CaseInsensitive);
}

// The written form of `choices` as an input side: output-only options (decimal
// degrees, 0 to 360) dropped, as they change no number but the longitude range.
QString asInput(SystemName::Choices choices)
{
    choices.decimalDegrees = false;
    choices.unsignedLongitude = false;
    return SystemName::format(choices);
}

// A numpy array of numbers from any array-like; strings, objects and None
// are refused by name.
py::array numbers(const py::handle &value, const char *name)
{
    if (value.is_none())
        throw py::type_error(std::string(name) + ": ожидается массив чисел, а не None");
    py::array array = py::array::ensure(value);
    if (!array)
        throw py::type_error(std::string(name) + ": ожидается массив чисел");
    const char kind = array.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        throw py::type_error(std::string(name) + ": ожидается массив чисел, а не dtype "
            + std::string(py::str(array.dtype())));
    return array;
}

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

// Contiguous float64 numbers, aligned: numpy lets a buffer (one unpickled from
// another process, a view at an odd offset) hold doubles at any address.
Doubles contiguous(const py::handle &array)
{
    Doubles column = Doubles::ensure(array);
    if (!column)
        throw py::error_already_set();
    if (reinterpret_cast<std::uintptr_t>(column.data()) % alignof(double) != 0) {
        Doubles copy(std::vector<py::ssize_t>(column.shape(), column.shape() + column.ndim()));
        std::memcpy(copy.mutable_data(), column.data(), size_t(column.nbytes()));
        column = copy;
    }
    return column;
}

struct Points
{
    std::vector<py::ssize_t> shape;
    Doubles columns[3];
    bool heights = false; // the third column was given
    size_t size = 0;
};

// The coordinates broadcast against each other, each as contiguous float64.
Points points(const py::handle &a, const py::handle &b, const py::handle &c)
{
    std::vector<py::array> given {numbers(a, "a"), numbers(b, "b")};
    if (!c.is_none())
        given.push_back(numbers(c, "c"));
    bool same = true;
    for (const py::array &array : given) {
        same = same && array.ndim() == given[0].ndim()
            && std::equal(array.shape(), array.shape() + array.ndim(), given[0].shape());
    }
    if (!same) {
        py::list list;
        for (const py::array &array : given)
            list.append(array);
        const py::tuple broadcast = py::module_::import("numpy").attr("broadcast_arrays")(*list);
        for (size_t i = 0; i < given.size(); ++i)
            given[i] = broadcast[i].cast<py::array>();
    }
    Points p;
    p.shape.assign(given[0].shape(), given[0].shape() + given[0].ndim());
    p.size = size_t(given[0].size());
    p.heights = given.size() == 3;
    for (size_t i = 0; i < given.size(); ++i)
        p.columns[i] = contiguous(given[i]);
    return p;
}

// The buffers of large results, kept for the next call of the same size once
// their arrays are gone: a script converts chunk after chunk of one size, and
// fresh pages cost more to fault in and clear than the points on them take to
// convert (a third of a call between two geodetic systems). A few are kept,
// within a bound, the oldest freed first.
class ResultBuffers
{
public:
    static const size_t smallest = size_t(1) << 20; // below this numpy's own
    static const size_t keptBytes = size_t(64) << 20;
    static const size_t keptBuffers = 6; // two calls' columns

    // A float64 array of `shape` (`count` numbers), in a kept buffer of its
    // size when there is one.
    static py::array_t<double> column(const std::vector<py::ssize_t> &shape, size_t count)
    {
        const size_t bytes = count * sizeof(double);
        if (bytes < smallest)
            return py::array_t<double>(shape);
        std::unique_ptr<Buffer> buffer(new Buffer {instance().take(bytes), bytes});
        if (!buffer->data)
            throw std::bad_alloc();
        const py::capsule owner(buffer.get(), [](void *p) { delete static_cast<Buffer *>(p); });
        double *data = static_cast<double *>(buffer.release()->data);
        return py::array_t<double>(shape, data, owner);
    }

private:
    // A buffer goes back when the last array or view on it is gone.
    struct Buffer
    {
        void *data;
        size_t bytes;
        ~Buffer()
        {
            if (data)
                instance().give(data, bytes);
        }
    };

    static ResultBuffers &instance()
    {
        static ResultBuffers *buffers = new ResultBuffers; // outlives the interpreter's arrays
        return *buffers;
    }

    void *take(size_t bytes)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            for (auto kept = buffers.begin(); kept != buffers.end(); ++kept) {
                if (kept->bytes == bytes) {
                    void *data = kept->data;
                    total -= bytes;
                    buffers.erase(kept);
                    return data;
                }
            }
        }
        void *data = std::malloc(bytes);
        if (data) {
            // As numpy asks for its own large arrays: faulting 2 MiB at a time
            // is the quicker first touch.
            const std::uintptr_t huge = std::uintptr_t(1) << 21;
            const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(data);
            const std::uintptr_t begin = (at + huge - 1) & ~(huge - 1);
            const std::uintptr_t end = (at + bytes) & ~(huge - 1);
            if (end > begin)
                madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE); // a hint
        }
        return data;
    }

    void give(void *data, size_t bytes)
    {
        std::vector<void *> freed;
        {
            const std::lock_guard<std::mutex> guard(lock);
            if (bytes > keptBytes) {
                freed.push_back(data);
            } else {
                buffers.push_back({data, bytes});
                total += bytes;
            }
            while (buffers.size() > keptBuffers || total > keptBytes) {
                freed.push_back(buffers.front().data);
                total -= buffers.front().bytes;
                buffers.erase(buffers.begin());
            }
        }
        for (void *p : freed)
            std::free(p);
    }

    struct Kept
    {
        void *data;
        size_t bytes;
    };
    std::mutex lock;
    std::vector<Kept> buffers; // oldest first
    size_t total = 0;
};

struct PointFailure
{
    Calculation::Failure failure = Calculation::Failure::None;
    int zone = 0;
};

class Transformer
{
public:
    Transformer(const std::string &source, const std::string &target, const py::object &geoid,
        const py::object &systems)
        : sourceForm(qt(source))
        , targetForm(qt(target))
        , geoidArgument(geoid)
        , systemsArgument(systems)
    {
        SystemName::Choices choices[2];
        QString error;
        if (!SystemName::parse(sourceForm, true, &choices[0], &error)
            || !SystemName::parse(targetForm, false, &choices[1], &error))
            valueError(error);
        inverseSource = asInput(choices[1]);
        LocalSystems::Systems local;
        const QString path = systemsPath(systems);
        if (!systems.is_none() || isLocal(sourceForm) || isLocal(targetForm))
            local = readSystems(path);
        Calculation::Side *sides[2] = {&from, &to};
        for (int i = 0; i < 2; ++i) {
            if (!SystemName::side(choices[i], i == 0, sides[i], &local))
                valueError(QStringLiteral("местной системы «%1» нет в «%2»")
                               .arg(choices[i].localName, path));
        }
        if (Calculation::usesGeoid(from) || Calculation::usesGeoid(to))
            grid = loadGrid(geoid.is_none()
                    ? defaultGeoidPath()
                    : qt(py::str(py::module_::import("os").attr("fspath")(geoid))));
        calculator
            = std::make_unique<Calculation::Calculator>(from, to, grid ? &grid->grid : nullptr);
        if (calculator->setUpFailure() != Calculation::SetUpFailure::None)
            valueError(QStringLiteral("пересчёт из «%1» в «%2» не удалось подготовить")
                           .arg(sourceForm, targetForm));
    }

    std::string source() const { return utf8(sourceForm); }
    std::string target() const { return utf8(targetForm); }

    Transformer inverse() const
    {
        return Transformer(utf8(inverseSource), source(), geoidArgument, systemsArgument);
    }

    std::string repr() const
    {
        return "kelvadra.Transformer(" + std::string(py::repr(py::str(source()))) + ", "
            + std::string(py::repr(py::str(target()))) + ")";
    }

    py::tuple state() const
    {
        return py::make_tuple(source(), target(), geoidArgument, systemsArgument);
    }

    py::tuple transform(const py::object &a, const py::object &b, const py::object &c,
        const std::string &errors, int threads) const
    {
        if (errors != "nan" && errors != "raise")
            throw py::value_error("errors: ожидается \"nan\" или \"raise\"");
        Points p = prepare(a, b, c, threads);
        py::array_t<double> out[3];
        for (auto &column : out)
            column = ResultBuffers::column(p.shape, p.size);
        double *results[3] = {out[0].mutable_data(), out[1].mutable_data(), out[2].mutable_data()};
        size_t first = p.size;
        PointFailure why;
        {
            py::gil_scoped_release release;
            run(p, threads, results, nullptr, &first, &why);
        }
        if (errors == "raise" && first < p.size)
            raise(p, first, why);
        return py::make_tuple(out[0], out[1], out[2]);
    }

    py::array reasons(const py::object &a, const py::object &b, const py::object &c) const
    {
        Points p = prepare(a, b, c, 1);
        std::vector<PointFailure> failures(p.size);
        std::vector<double> scratch(p.size * 3);
        double *results[3] = {scratch.data(), scratch.data() + p.size, scratch.data() + 2 * p.size};
        size_t first = p.size;
        PointFailure why;
        {
            py::gil_scoped_release release;
            run(p, 1, results, failures.data(), &first, &why);
        }
        py::list texts;
        for (const PointFailure &f : failures)
            texts.append(utf8(Calculation::reasonText(f.failure, f.zone)));
        py::object array = py::module_::import("numpy").attr("array")(texts, "dtype"_a = "object");
        return array.attr("reshape")(py::tuple(py::cast(p.shape))).cast<py::array>();
    }

private:
    Points prepare(const py::object &a, const py::object &b, const py::object &c, int threads) const
    {
        if (threads < 1 || threads > maxThreads)
            throw py::value_error("threads: ожидается от 1 до " + std::to_string(maxThreads));
        // A geocentric source has Z, not a height: no default for it.
        if (c.is_none() && from.kind == SystemKind::Geocentric)
            throw py::value_error("c: в геоцентрической системе нужна координата Z");
        return points(a, b, c);
    }

    // Points [begin, end): results, and each failure when `failures` is given;
    // *first is the first failed index of the range.
    void runRange(const Points &p, size_t begin, size_t end, double *const out[3],
        PointFailure *failures, size_t *first, PointFailure *firstWhy) const
    {
        const double *a = p.columns[0].data();
        const double *b = p.columns[1].data();
        const double *c = p.heights ? p.columns[2].data() : nullptr;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        // A block at a time, checked, then through the calculator's many-point
        // call; the library takes and gives interleaved triples.
        constexpr size_t block = 512;
        double in[3 * block], result[3 * block];
        Calculation::Failure checked[block], converted[block];
        int checkedZones[block], zones[block];
        for (size_t start = begin; start < end; start += block) {
            const size_t count = std::min(block, end - start);
            for (size_t k = 0; k < count; ++k) {
                const size_t i = start + k;
                in[3 * k] = a[i];
                in[3 * k + 1] = b[i];
                in[3 * k + 2] = c ? c[i] : 0.0;
            }
            std::fill(checkedZones, checkedZones + count, 0);
            std::fill(zones, zones + count, 0);
            Calculation::checkPoints(from, in, count, checked, checkedZones);
            calculator->convertPoints(in, count, result, converted, zones);
            for (size_t k = 0; k < count; ++k) {
                const size_t i = start + k;
                const bool checkedOk = checked[k] == Calculation::Failure::None;
                const Calculation::Failure failure = checkedOk ? converted[k] : checked[k];
                const bool failed = failure != Calculation::Failure::None;
                out[0][i] = failed ? nan : result[3 * k];
                out[1][i] = failed ? nan : result[3 * k + 1];
                out[2][i] = failed ? nan : result[3 * k + 2];
                if (failed && *first == p.size) {
                    *first = i;
                    *firstWhy = {failure, checkedOk ? zones[k] : checkedZones[k]};
                }
                if (failures)
                    failures[i] = {failure, checkedOk ? zones[k] : checkedZones[k]};
            }
        }
    }

    void run(const Points &p, int threads, double *const out[3], PointFailure *failures,
        size_t *first, PointFailure *why) const
    {
        const size_t n = p.size;
        const size_t parts
            = std::max<size_t>(1, std::min<size_t>(size_t(threads), n / minPointsPerThread));
        if (parts == 1) {
            runRange(p, 0, n, out, failures, first, why);
            return;
        }
        std::vector<size_t> firsts(parts, n);
        std::vector<PointFailure> whys(parts);
        std::vector<std::thread> workers;
        workers.reserve(parts - 1);
        const auto bounds = [n, parts](size_t k) { return n * k / parts; };
        for (size_t k = 1; k < parts; ++k) {
            workers.emplace_back([&, k]() {
                runRange(p, bounds(k), bounds(k + 1), out, failures, &firsts[k], &whys[k]);
            });
        }
        runRange(p, 0, bounds(1), out, failures, &firsts[0], &whys[0]);
        for (std::thread &worker : workers)
            worker.join();
        for (size_t k = 0; k < parts; ++k) {
            if (firsts[k] < n) {
                *first = firsts[k];
                *why = whys[k];
                return;
            }
        }
    }

    [[noreturn]] void raise(const Points &p, size_t index, const PointFailure &why) const
    {
        const QString reason = Calculation::reasonText(why.failure, why.zone);
        py::object where = py::int_(index);
        if (p.shape.size() != 1)
            where = py::module_::import("numpy").attr("unravel_index")(
                index, py::tuple(py::cast(p.shape)));
        if (p.shape.size() != 1)
            where = py::tuple(py::cast(where.cast<std::vector<py::ssize_t>>()));
        const std::string text
            = "точка " + std::string(py::str(where)) + " не пересчитана: " + utf8(reason);
        py::object type = py::module_::import("kelvadra").attr("ConversionError");
        py::object error = type(text);
        error.attr("index") = where;
        error.attr("reason") = utf8(reason);
        PyErr_SetObject(type.ptr(), error.ptr());
        throw py::error_already_set();
    }

    QString sourceForm;
    QString targetForm;
    QString inverseSource;
    py::object geoidArgument;
    py::object systemsArgument;
    Calculation::Side from;
    Calculation::Side to;
    std::shared_ptr<const Grid> grid;
    std::unique_ptr<Calculation::Calculator> calculator;
};

// The definitions file changed as the converter changes it: under its lock,
// a taken name refused, the file written whole or not at all.
void saveSystem(const QString &path, const LocalSystems::System &system)
{
    QString error;
    if (!LocalSystems::save(path, system, &error))
        throw py::value_error(utf8(error));
}

struct Fit
{
    KeyFit::Result result;
    KeyFit::Matched matched;
    QString base;

    py::dict parameters() const
    {
        py::dict p;
        const bool similarity = result.plane == KeyFit::PlaneModel::Similarity;
        const char *const similarityNames[] = {"dX", "dY", "a", "b"};
        const char *const affineNames[] = {"dX", "dY", "a1", "a2", "b1", "b2"};
        for (int i = 0; i < (similarity ? 4 : 6); ++i)
            p[similarity ? similarityNames[i] : affineNames[i]] = result.values[i];
        if (result.height != KeyFit::HeightModel::None)
            p["dh"] = result.dh[0];
        if (result.height == KeyFit::HeightModel::Plane) {
            p["sx"] = result.dh[1];
            p["sy"] = result.dh[2];
        }
        return p;
    }

    py::array_t<double> residuals() const
    {
        const py::ssize_t n = result.points.size();
        py::array_t<double> v({n, py::ssize_t(3)});
        auto r = v.mutable_unchecked<2>();
        for (py::ssize_t i = 0; i < n; ++i) {
            for (py::ssize_t j = 0; j < 3; ++j)
                r(i, j) = result.points.at(int(i)).v[j];
        }
        return v;
    }

    py::array_t<bool> flagged() const
    {
        py::array_t<bool> flags(py::ssize_t(result.points.size()));
        auto f = flags.mutable_unchecked<1>();
        for (int i = 0; i < result.points.size(); ++i)
            f(i) = result.points.at(i).flagged;
        return flags;
    }

    py::object sigmaHeight() const
    {
        if (result.height == KeyFit::HeightModel::None)
            return py::none();
        return py::float_(result.heightSigma);
    }

    std::string report() const { return utf8(KeyFit::report(result, matched, base)); }

    void save(const std::string &name, const py::object &systems) const
    {
        saveSystem(systemsPath(systems), KeyFit::toSystem(result, base, qt(name)));
    }
};

// (n, 3) numbers as a list of rows, each number written so that it reads
// back as the same double: the converter's matching then reads them.
PointRows rowsOf(const py::object &value, const char *name, const QStringList &names)
{
    const Doubles array = contiguous(numbers(value, name));
    if (array.ndim() != 2 || array.shape(1) != 3)
        throw py::value_error(std::string(name) + ": ожидается массив n × 3");
    if (array.shape(0) != names.size())
        throw py::value_error("names: ожидается по имени на точку");
    auto r = array.unchecked<2>();
    PointRows rows;
    for (py::ssize_t i = 0; i < array.shape(0); ++i) {
        PointRow row;
        row.name = names.at(int(i));
        for (int j = 0; j < 3; ++j)
            row.coordinates[j]
                = std::isfinite(r(i, j)) ? NumberText::shortest(r(i, j)) : QStringLiteral("nan");
        rows.append(row);
    }
    return rows;
}

Fit fitKeys(const py::object &a, const py::object &b, const std::string &model,
    const std::string &height, const std::string &base, const py::object &names)
{
    if (model != "similarity" && model != "affine")
        throw py::value_error("model: ожидается \"similarity\" или \"affine\"");
    if (height != "none" && height != "shift" && height != "plane")
        throw py::value_error("height: ожидается \"none\", \"shift\" или \"plane\"");
    Fit fit;
    fit.base = qt(base).trimmed();
    Calculation::Side side;
    QString error;
    if (!KeyFit::baseSide(fit.base, &side, &error))
        valueError(QStringLiteral("base: ") + error);
    const py::ssize_t n = numbers(a, "a").shape(0);
    QStringList pointNames;
    if (names.is_none()) {
        for (py::ssize_t i = 0; i < n; ++i)
            pointNames << QString::number(i + 1);
    } else {
        for (const py::handle &name : names)
            pointNames << qt(py::str(name));
    }
    const PointRows rowsA = rowsOf(a, "a", pointNames);
    const PointRows rowsB = rowsOf(b, "b", pointNames);
    const KeyFit::PlaneModel plane
        = model == "similarity" ? KeyFit::PlaneModel::Similarity : KeyFit::PlaneModel::Affine;
    const KeyFit::HeightModel heightModel = height == "none" ? KeyFit::HeightModel::None
        : height == "shift"                                  ? KeyFit::HeightModel::Shift
                                                             : KeyFit::HeightModel::Plane;
    {
        py::gil_scoped_release release;
        if (KeyFit::match(
                rowsA, rowsB, side, heightModel != KeyFit::HeightModel::None, &fit.matched, &error)
            && KeyFit::fit(fit.matched.points, plane, heightModel, &fit.result, &error))
            error.clear();
        else if (error.isEmpty())
            error = QStringLiteral("ключи не найдены");
    }
    if (!error.isEmpty())
        valueError(QStringLiteral("ключи не найдены: ") + error);
    return fit;
}

py::list systemsList(const py::object &systems)
{
    py::list list;
    for (const LocalSystems::System &system : readSystems(systemsPath(systems))) {
        py::dict entry;
        entry["name"] = utf8(system.name);
        entry["base"] = utf8(system.base);
        entry["form"] = utf8(QStringLiteral("msk:") + system.name);
        entry["keys"] = system.keys == LocalSystems::System::Keys::Similarity ? "similarity"
            : system.keys == LocalSystems::System::Keys::Affine               ? "affine"
                                                                              : "none";
        list.append(entry);
    }
    return list;
}

// The --show-proj text: a plane system without keys as one PROJ definition.
std::string showProj(const std::string &form, const py::object &systems)
{
    const QString name = qt(form);
    SystemName::Choices choices;
    Calculation::Side side;
    QString error;
    if (!SystemName::parse(name, true, &choices, &error))
        valueError(error);
    const LocalSystems::Systems local = isLocal(name) || !systems.is_none()
        ? readSystems(systemsPath(systems))
        : LocalSystems::Systems();
    if (!SystemName::side(choices, true, &side, &local))
        valueError(QStringLiteral("местной системы «%1» нет").arg(choices.localName));
    const LocalSystems::System *system = LocalSystems::find(local, choices.localName);
    if (choices.kind == SystemKind::Local && system
        && (system->keys != LocalSystems::System::Keys::None || system->dh[0] != 0.0
            || system->dh[1] != 0.0 || system->dh[2] != 0.0))
        valueError(QStringLiteral("у «%1» есть ключи или поправка высоты: одна строка PROJ их не "
                                  "вмещает; строка её основы: show_proj(\"%2\")")
                       .arg(choices.localName, system->base));
    const QString definition = ProjString::write(side.system);
    if (definition.isEmpty())
        valueError(
            QStringLiteral("ожидается плоская система: tm:, gk: с номером зоны, utm: или msk:"));
    return utf8(definition);
}

} // namespace

PYBIND11_MODULE(kelvadra, m)
{
    // The window's settings folder, where the local systems are kept.
    QCoreApplication::setOrganizationName(QStringLiteral("kelvadra"));
    QCoreApplication::setApplicationName(QStringLiteral("coordconv"));

    m.doc() = "Geodetic conversions of kelvadra-convert on numpy arrays.\n\n"
              "Transformer(source, target) converts arrays of points between the converter's\n"
              "written forms (\"gk:sk42:7\", \"geod:wgs84+egm96\", \"utm:37n\", \"tm:...\",\n"
              "\"msk:NAME\", \"proj:...\"); fit_keys finds the keys of a local system from\n"
              "common points; systems lists the named local systems; show_proj gives a plane\n"
              "system as a PROJ definition.";

    py::object valueErrorType = py::reinterpret_borrow<py::object>(PyExc_ValueError);
    m.attr("ConversionError")
        = py::module_::import("builtins")
              .attr("type")("ConversionError", py::make_tuple(valueErrorType),
                  py::dict("__module__"_a = "kelvadra",
                      "__doc__"_a = "A point did not convert (transform with errors=\"raise\"); "
                                    "`index` is the first failed point's index, `reason` why."));

    py::class_<Transformer>(m, "Transformer",
        "A conversion from one system to another, set up once, for arrays of points.\n\n"
        "source, target: written forms as kelvadra-convert takes them in --from and --to.\n"
        "geoid: the grid file for +egm96 sides (default: egm96.grd beside the programs).\n"
        "systems: the local systems' definitions file (default: the converter's).\n"
        "A form that does not read raises ValueError with the converter's message.")
        .def(py::init<const std::string &, const std::string &, const py::object &,
                 const py::object &>(),
            "source"_a, "target"_a, py::kw_only(), "geoid"_a = py::none(), "systems"_a = py::none())
        .def("transform", &Transformer::transform, "a"_a, "b"_a, "c"_a = py::none(), py::kw_only(),
            "errors"_a = "nan", "threads"_a = 1,
            "transform(a, b, c=None, *, errors=\"nan\", threads=1) -> (A, B, C)\n\n"
            "Converts the points (a[i], b[i], c[i]) in the order of the source's written form\n"
            "(geod: latitude, longitude in decimal degrees, height; gk:, tm: and msk: X\n"
            "northing, Y easting, H; utm: easting, northing, H). Arrays broadcast\n"
            "against each other; the results are float64 arrays of their shape, in the\n"
            "target's order. c=None: heights 0. A point that does not convert is NaN in all\n"
            "three (see reasons); errors=\"raise\" raises ConversionError for the first one.\n"
            "threads splits a large array over that many threads, with the same results.")
        .def("reasons", &Transformer::reasons, "a"_a, "b"_a, "c"_a = py::none(),
            "reasons(a, b, c=None) -> array of str: why each point does not convert, the\n"
            "converter's texts; empty where it converts.")
        .def_property_readonly(
            "inverse", &Transformer::inverse, "The Transformer from the target back to the source.")
        .def_property_readonly("source", &Transformer::source, "The source's written form.")
        .def_property_readonly("target", &Transformer::target, "The target's written form.")
        .def("__repr__", &Transformer::repr)
        .def(py::pickle([](const Transformer &t) { return t.state(); },
            [](const py::tuple &state) {
                if (state.size() != 4)
                    throw py::value_error("Transformer: неверное состояние");
                return Transformer(
                    state[0].cast<std::string>(), state[1].cast<std::string>(), state[2], state[3]);
            }));

    py::class_<Fit>(m, "KeyFit", "The keys of a local system fitted to common points.")
        .def_property_readonly("parameters", &Fit::parameters,
            "The keys as the report names them: dX, dY, a, b (similarity) or a1, a2, b1, b2\n"
            "(affine); dh, and sx, sy of an inclined height plane.")
        .def_property_readonly("residuals", &Fit::residuals,
            "vX, vY, vH of each point (fitted minus given, metres), n x 3.")
        .def_property_readonly(
            "sigma", [](const Fit &f) { return f.result.sigma; },
            "The mean error of a plane coordinate, metres.")
        .def_property_readonly("sigma_h", &Fit::sigmaHeight,
            "The mean error of a height, metres; None without a height model.")
        .def_property_readonly("flagged", &Fit::flagged,
            "Points whose residual from the fit without them is past 3 sqrt(2) sigma.")
        .def("report", &Fit::report, "The report text of kelvadra-convert --fit.")
        .def("save", &Fit::save, "name"_a, "systems"_a = py::none(),
            "save(name, systems=None): adds the fit as local system `name` over the base to\n"
            "the definitions file (whole or not at all); a taken name raises ValueError.");

    m.def("fit_keys", &fitKeys, "a"_a, "b"_a, py::kw_only(), "model"_a = "similarity",
        "height"_a = "none", "base"_a = "gk:sk42:7", "names"_a = py::none(),
        "fit_keys(a, b, *, model=\"similarity\", height=\"none\", base=\"gk:sk42:7\",\n"
        "names=None) -> KeyFit\n\n"
        "a: the common points in the base system (n x 3, in its written form's order);\n"
        "b: the same points in the local system (X, Y, H); names: for the report.\n"
        "model: \"similarity\" or \"affine\"; height: \"none\", \"shift\" or \"plane\".\n"
        "Too few, coinciding or collinear points raise ValueError with the reason.");
    m.def("systems", &systemsList, "systems"_a = py::none(),
        "systems(systems=None) -> list of dict: the named local systems (name, base,\n"
        "form, keys) of the definitions file.");
    m.def("show_proj", &showProj, "form"_a, py::kw_only(), "systems"_a = py::none(),
        "show_proj(form) -> str: a plane system (tm:, gk: with a zone, utm:, msk: without\n"
        "keys) as a PROJ definition, as kelvadra-convert --show-proj prints it.");
}
