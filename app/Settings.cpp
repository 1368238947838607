#include "Settings.h"

#include "Calculation.h"
#include "MainWindow.h"
#include "Panel.h"
#include "WindowSize.h"

#include <QFileInfo>
#include <QSettings>

namespace Settings {

namespace {

const QString systemKey = QStringLiteral("system");
// A type stored control by control is one of the first four of the type list:
// geodetic, Gauss-Krüger, UTM, geocentric.
const int storedTypes = 4;

QString panelGroup(const Panel *panel, const MainWindow *window)
{
    return panel == window->inputPanel() ? QStringLiteral("leftPanel")
                                         : QStringLiteral("rightPanel");
}

// The choices stored control by control (a panel group without the `system`
// key), over the panel's own; keys missing or out of range leave the panel's
// choice.
SystemName::Choices storedControls(
    const QSettings &settings, const QString &group, SystemName::Choices c)
{
    const auto value = [&](const char *key) {
        return settings.value(group + QLatin1Char('/') + QLatin1String(key));
    };
    const int typeIndex = value("type").toInt();
    if (value("type").isValid() && typeIndex >= 0 && typeIndex < storedTypes)
        c.kind = Panel::kindAt(typeIndex);
    if (SystemName::datumsFor(c.kind).contains(value("datum").toInt()))
        c.datum = value("datum").toInt();
    const int zone = value("zone").toInt();
    if (zone >= 1 && zone <= 60)
        c.zone = zone;
    c.geoid = value("geoid").isValid() ? value("geoid").toInt() == 1 : c.geoid;
    c.autoZone = value("autoZone").isValid() ? value("autoZone").toBool() : c.autoZone;
    c.autoHemisphere
        = value("autoHemisphere").isValid() ? value("autoHemisphere").toBool() : c.autoHemisphere;
    c.northern = value("southern").isValid() ? !value("southern").toBool() : c.northern;
    c.decimalDegrees
        = value("decimalDegrees").isValid() ? value("decimalDegrees").toBool() : c.decimalDegrees;
    c.unsignedLongitude = value("unsignedLongitude").isValid() ? value("unsignedLongitude").toBool()
                                                               : c.unsignedLongitude;
    return c;
}

} // namespace

void restoreWindow(MainWindow *window)
{
    QSettings settings;
    for (Panel *panel : {window->inputPanel(), window->outputPanel()}) {
        const QString group = panelGroup(panel, window);
        const QVariant name = settings.value(group + QLatin1Char('/') + systemKey);
        SystemName::Choices choices;
        QString error;
        if (!name.isValid())
            panel->setChoices(storedControls(settings, group, panel->choices()));
        else if (SystemName::parse(name.toString(), panel->isInputOnly(), &choices, &error))
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
