#include "Settings.h"

#include "MainWindow.h"
#include "Panel.h"
#include "WindowSize.h"

#include <QFileInfo>
#include <QSettings>

namespace Settings {

namespace {

const QString systemKey = QStringLiteral("system");

QString panelGroup(const Panel *panel, const MainWindow *window)
{
    return panel == window->inputPanel() ? QStringLiteral("leftPanel")
                                         : QStringLiteral("rightPanel");
}

} // namespace

void restoreWindow(MainWindow *window)
{
    QSettings settings;
    for (Panel *panel : {window->inputPanel(), window->outputPanel()}) {
        const QString name = settings.value(panelGroup(panel, window) + '/' + systemKey).toString();
        SystemName::Choices choices;
        QString error;
        if (SystemName::parse(name, panel->isInputOnly(), &choices, &error))
            panel->setChoices(choices);
    }

    const QByteArray geometry = settings.value(QStringLiteral("window/geometry")).toByteArray();
    if (geometry.isEmpty())
        return;
    const QRect firstStart = window->geometry();
    // Qt moves a window from a screen that is gone onto one that is there;
    // what still lies off every screen, or cannot be read, starts afresh.
    if (!window->restoreGeometry(geometry) || !WindowSize::onSomeScreen(window->geometry()))
        window->setGeometry(firstStart);
}

void saveWindow(const MainWindow *window)
{
    QSettings settings;
    for (const Panel *panel : {window->inputPanel(), window->outputPanel()}) {
        settings.setValue(
            panelGroup(panel, window) + '/' + systemKey, SystemName::format(panel->choices()));
    }
    settings.setValue(QStringLiteral("window/geometry"), window->saveGeometry());
}

QString lastFolder(const QString &dialog)
{
    const QString folder = QSettings().value(QStringLiteral("folders/") + dialog).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void rememberFolder(const QString &dialog, const QString &filePath)
{
    QSettings().setValue(QStringLiteral("folders/") + dialog, QFileInfo(filePath).absolutePath());
}

} // namespace Settings
