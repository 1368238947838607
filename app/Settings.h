// What the program remembers between sessions (QSettings of the application's
// organisation and name): each panel's system choices, the last folder of
// each file dialog and the window geometry. A stored value that no longer
// fits (a geoid that is gone, a zone out of range, a screen that is gone)
// is skipped and the control keeps its default.
#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>
#include <QVariantMap>

class MainWindow;
class Panel;

namespace Settings {

// A panel's system choices by control: "type" (comboBoxType index),
// "datum" (library code), "geoid" (index), "zone", "autoZone", "southern",
// "autoHemisphere", "decimalDegrees", "unsignedLongitude".
QVariantMap panelChoices(const Panel *panel);
// Sets the choices present in `choices` that fit the panel, in the order the
// controls depend on each other (type, datum, then the rest).
void applyPanelChoices(Panel *panel, const QVariantMap &choices);

// Both panels and the window geometry.
void restoreWindow(MainWindow *window);
void saveWindow(const MainWindow *window);

// The folder of the file last chosen in the dialog named `dialog`; empty when
// none was stored or it is gone.
QString lastFolder(const QString &dialog);
void rememberFolder(const QString &dialog, const QString &filePath);

} // namespace Settings

#endif // SETTINGS_H
