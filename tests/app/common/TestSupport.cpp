#include "TestSupport.h"

#include "Panel.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>

namespace {
// Every test program keeps its settings in a folder of its own that goes
// with it, never in the user's.
void isolateSettings()
{
    static QTemporaryDir folder;
    for (auto scope : {QSettings::UserScope, QSettings::SystemScope})
        QSettings::setPath(QSettings::NativeFormat, scope, folder.path());
    QCoreApplication::setOrganizationName(QStringLiteral("kelvadra-tests"));
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(isolateSettings)

DialogLog::DialogLog()
{
    Dialogs::setAnswerer([this](const Dialogs::Request &r) {
        static const char *const kinds[]
            = {"warning", "information", "confirm", "about", "open", "save"};
        shown << QStringLiteral("%1|%2|%3").arg(QLatin1String(kinds[int(r.kind)]), r.title, r.text)
                + (QGuiApplication::overrideCursor() ? QStringLiteral("|busy") : QString());
        if (r.kind == Dialogs::Kind::OpenFile || r.kind == Dialogs::Kind::SaveFile)
            folders << r.directory;
        Dialogs::Answer answer;
        answer.yes = yes;
        answer.fileName = fileName;
        return answer;
    });
}

DialogLog::~DialogLog()
{
    Dialogs::setAnswerer({});
}

CursorLog::CursorLog(QTableWidget *table)
{
    const auto record = [this] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        shapes << (cursor ? int(cursor->shape()) : -1);
    };
    rows = QObject::connect(table->model(), &QAbstractItemModel::rowsInserted, record);
    cells = QObject::connect(table->model(), &QAbstractItemModel::dataChanged, record);
}

CursorLog::~CursorLog()
{
    QObject::disconnect(rows);
    QObject::disconnect(cells);
}

void click(const QObject *parent, const char *button)
{
    QTest::mouseClick(child<QPushButton>(parent, button), Qt::LeftButton);
}

QStringList tableCells(const Panel &panel)
{
    const QTableWidget *t = panel.table();
    QStringList rows;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 4; ++c)
            row << (t->item(r, c) ? t->item(r, c)->text() : QString());
        rows << row.join(QLatin1Char('|'));
    }
    return rows;
}

double number(const QString &text)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok ? value : std::nan("");
}

QString tempPath(const QString &name)
{
    static QTemporaryDir folder;
    return folder.filePath(name);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
