// The window's keys, active wherever the focus is: F9 and Ctrl+Enter
// calculate; Ctrl+O loads and Ctrl+S saves the focused panel's table where
// that panel has the button, else the left one's; Ctrl+Shift+U swaps the two
// panels' systems together with their lists, so a conversion is reversed in
// one step (Ctrl+U in a table still swaps the lists only). commands() is the
// table of every key the window and its point tables answer: the window's
// shortcuts are made from it and the About box lists it.
#ifndef WINDOWKEYS_H
#define WINDOWKEYS_H

#include <QString>
#include <QVector>

class MainWindow;
class Panel;

namespace WindowKeys {

// One line of the key table: the keys as the user presses them ("F9, Ctrl+Enter")
// and what they do, both in Russian.
struct Command
{
    QString keys;
    QString action;
};
QVector<Command> commands();
// The key table as rich text, its keys in one aligned column.
QString commandTable();

void install(MainWindow *window);
// The panel that holds the keyboard focus, the left one when neither does.
Panel *focusedPanel(const MainWindow *window);
void swapSystems(MainWindow *window);

} // namespace WindowKeys

#endif // WINDOWKEYS_H
