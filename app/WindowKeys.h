// The window's keys, active wherever the focus is: F9 and Ctrl+Enter
// calculate; Ctrl+O loads and Ctrl+S saves the focused panel's table where
// that panel has the button, else the left one's; Ctrl+Shift+U swaps the two
// panels' systems together with their lists, so a conversion is reversed in
// one step (Ctrl+U in a table still swaps the lists only).
#ifndef WINDOWKEYS_H
#define WINDOWKEYS_H

class MainWindow;
class Panel;

namespace WindowKeys {

void install(MainWindow *window);
// The panel that holds the keyboard focus, the left one when neither does.
Panel *focusedPanel(const MainWindow *window);
void swapSystems(MainWindow *window);

} // namespace WindowKeys

#endif // WINDOWKEYS_H
