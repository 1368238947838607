#include "TestSupport.h"

#include "PointTable.h"

#include <QtWidgets>

#include <cmath>

namespace {
// Every test program keeps its settings in a folder of its own, never in the user's.
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
            = {"warning", "information", "confirm", "about", "open", "save", "text", "changes"};
        shown << QStringLiteral("%1|%2|%3").arg(QLatin1String(kinds[int(r.kind)]), r.title, r.text)
                + (QGuiApplication::overrideCursor() ? QStringLiteral("|busy") : QString());
        if (r.kind == Dialogs::Kind::OpenFile || r.kind == Dialogs::Kind::SaveFile)
            folders << r.directory;
        const bool box = r.kind <= Dialogs::Kind::About || r.kind == Dialogs::Kind::SaveChanges;
        return Dialogs::Answer {yes, fileName, filter, no, realBoxes && box};
    });
}

QStringList answerBoxes(DialogLog &log, const QString &answer, const std::function<void()> &step)
{
    QStringList texts;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts << box->text() + (QGuiApplication::overrideCursor() ? "|busy" : "");
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer)
                return QTest::mouseClick(button, Qt::LeftButton);
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
    timer.start(10);
    log.realBoxes = true;
    step();
    log.realBoxes = false;
    return texts;
}

void TestWindow::open(const QString &grid)
{
    window.reset();
    MainWindow::setGeoidFilePath(grid);
    window.emplace();
}

QList<int> cursorsWhile(QTableWidget *table, const std::function<void()> &step)
{
    QList<int> shapes;
    const auto record = [&shapes] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        shapes << (cursor ? int(cursor->shape()) : -1);
    };
    QObject context;
    QObject::connect(table->model(), &QAbstractItemModel::rowsInserted, &context, record);
    QObject::connect(table->model(), &QAbstractItemModel::dataChanged, &context, record);
    step();
    return shapes;
}

void configure(Panel *panel, const QString &system)
{
    SystemName::Choices choices;
    QString error;
    if (!SystemName::parse(system, panel->isInputOnly(), &choices, &error))
        qFatal("%s", qPrintable(error));
    panel->setChoices(choices);
    if (SystemName::format(panel->choices()) != SystemName::format(choices))
        qFatal("the panel does not offer %s", qPrintable(system));
}

void setRows(const Panel &panel, const QStringList &lines)
{
    PointRows rows;
    for (const QString &line : lines)
        rows.append(PointRow::fromLine(line));
    panel.table()->setRows(rows);
}

void click(const QObject *parent, const char *button)
{
    QTest::mouseClick(child<QPushButton>(parent, button), Qt::LeftButton);
}

void typeKeys(QTableWidget *table, int row, int column, const QString &keys)
{
    QApplication::setActiveWindow(table->window()); // the keys go where the focus is
    if (!QTest::qWaitForWindowActive(table->window()))
        qFatal("the table's window is not active");
    const QRect cell = table->visualRect(table->model()->index(row, column));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    for (const QChar ch : keys) {
        QWidget *to = QApplication::focusWidget();
        if (ch == '\t' || ch == '\n')
            QTest::keyClick(to, ch == '\t' ? Qt::Key_Tab : Qt::Key_Return);
        else
            QTest::keyClicks(to, QString(ch));
        QCoreApplication::processEvents(); // Enter closes the editor later
    }
}

QStringList tableCells(const Panel &panel)
{
    const PointTable *t = panel.table();
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
    return name.isEmpty() ? folder.path() : folder.filePath(name);
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

Run runProcess(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
    return run;
}

void chooseItem(QComboBox *combo, const QString &text)
{
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != text; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
    if (combo->currentText() != text)
        qFatal("no item %s", qPrintable(text));
}
