// What the program remembers between sessions (QSettings of the application's
// organisation and name): each panel's system in its written form
// ("gk:sk42:7"), the last folder of each file dialog and the window geometry.
// A stored value that no longer fits (a system that does not read, a geoid
// that is gone, a screen that is gone) is skipped: the panel keeps its
// default or shows no geoid.
#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>

class MainWindow;

namespace Settings {

// Both panels and the window geometry.
void restoreWindow(MainWindow *window);
void saveWindow(const MainWindow *window);

// The folder of the file last chosen in the dialog named `dialog`; empty when
// none was stored or it is gone.
QString lastFolder(const QString &dialog);
void rememberFolder(const QString &dialog, const QString &filePath);

} // namespace Settings

#endif // SETTINGS_H
