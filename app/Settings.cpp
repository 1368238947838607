#include "Settings.h"

#include "MainWindow.h"
#include "Panel.h"
#include "WindowSize.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>

namespace Settings {

namespace {

// The panel's controls by their form names, which are fixed.
template <class T> T *control(const Panel *panel, const char *name)
{
    return panel->findChild<T *>(QLatin1String(name));
}

// A control the panel shows in its role and currently lets the user change.
bool usable(const Panel *panel, const QWidget *widget)
{
    return widget && widget->isVisibleTo(panel) && widget->isEnabledTo(panel);
}

void setChecked(Panel *panel, const char *name, const QVariant &value)
{
    auto *button = control<QAbstractButton>(panel, name);
    if (value.isValid() && usable(panel, button))
        button->setChecked(value.toBool());
}

QString panelGroup(const Panel *panel, const MainWindow *window)
{
    return panel == window->inputPanel() ? QStringLiteral("leftPanel")
                                         : QStringLiteral("rightPanel");
}

} // namespace

QVariantMap panelChoices(const Panel *panel)
{
    return {
        {QStringLiteral("type"), control<QComboBox>(panel, "comboBoxType")->currentIndex()},
        {QStringLiteral("datum"), panel->datumCode()},
        {QStringLiteral("geoid"), panel->geoidIndex()},
        {QStringLiteral("zone"), control<QSpinBox>(panel, "spinBoxZone")->value()},
        {QStringLiteral("autoZone"), control<QCheckBox>(panel, "checkBoxAutoZone")->isChecked()},
        {QStringLiteral("southern"),
            control<QRadioButton>(panel, "radioButtonSouthern")->isChecked()},
        {QStringLiteral("autoHemisphere"),
            control<QCheckBox>(panel, "checkBoxAutoHemisphere")->isChecked()},
        {QStringLiteral("decimalDegrees"),
            control<QRadioButton>(panel, "radioButtonDegrees")->isChecked()},
        {QStringLiteral("unsignedLongitude"),
            control<QRadioButton>(panel, "radioButtonUnsignedLongitude")->isChecked()},
    };
}

void applyPanelChoices(Panel *panel, const QVariantMap &choices)
{
    bool ok = false;
    auto *type = control<QComboBox>(panel, "comboBoxType");
    const int typeIndex = choices.value(QStringLiteral("type")).toInt(&ok);
    if (ok && typeIndex >= 0 && typeIndex < type->count())
        type->setCurrentIndex(typeIndex);

    auto *datum = control<QComboBox>(panel, "comboBoxDatum");
    const int datumCode = choices.value(QStringLiteral("datum")).toInt(&ok);
    const int datumIndex = ok ? datum->findText(Panel::datumName(datumCode)) : -1;
    if (datumIndex >= 0 && !Panel::datumName(datumCode).isEmpty())
        datum->setCurrentIndex(datumIndex);

    auto *geoid = control<QComboBox>(panel, "comboBoxGeoid");
    const int geoidIndex = choices.value(QStringLiteral("geoid")).toInt(&ok);
    if (ok && geoidIndex >= 0 && geoidIndex < geoid->count())
        geoid->setCurrentIndex(geoidIndex);

    // The automatic choices first: they enable or disable the manual ones.
    setChecked(panel, "checkBoxAutoZone", choices.value(QStringLiteral("autoZone")));
    setChecked(panel, "checkBoxAutoHemisphere", choices.value(QStringLiteral("autoHemisphere")));
    auto *zone = control<QSpinBox>(panel, "spinBoxZone");
    const int zoneNumber = choices.value(QStringLiteral("zone")).toInt(&ok);
    if (ok && zoneNumber >= zone->minimum() && zoneNumber <= zone->maximum())
        zone->setValue(zoneNumber);
    const QVariant southern = choices.value(QStringLiteral("southern"));
    if (southern.isValid()) {
        control<QRadioButton>(
            panel, southern.toBool() ? "radioButtonSouthern" : "radioButtonNorthern")
            ->setChecked(true);
    }
    // Hidden on the input panel, which always reads both angle forms.
    const QVariant degrees = choices.value(QStringLiteral("decimalDegrees"));
    if (degrees.isValid() && control<QWidget>(panel, "groupBoxAngularUnit")->isVisibleTo(panel)) {
        control<QRadioButton>(panel, degrees.toBool() ? "radioButtonDegrees" : "radioButtonDMS")
            ->setChecked(true);
    }
    const QVariant unsignedRange = choices.value(QStringLiteral("unsignedLongitude"));
    if (unsignedRange.isValid()
        && control<QWidget>(panel, "groupBoxLongitudeRange")->isVisibleTo(panel)) {
        control<QRadioButton>(panel,
            unsignedRange.toBool() ? "radioButtonUnsignedLongitude" : "radioButtonSignedLongitude")
            ->setChecked(true);
    }
}

void restoreWindow(MainWindow *window)
{
    QSettings settings;
    for (Panel *panel : {window->inputPanel(), window->outputPanel()}) {
        settings.beginGroup(panelGroup(panel, window));
        QVariantMap choices;
        for (const QString &key : settings.childKeys())
            choices.insert(key, settings.value(key));
        settings.endGroup();
        applyPanelChoices(panel, choices);
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
        settings.beginGroup(panelGroup(panel, window));
        const QVariantMap choices = panelChoices(panel);
        for (auto it = choices.cbegin(); it != choices.cend(); ++it)
            settings.setValue(it.key(), it.value());
        settings.endGroup();
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
