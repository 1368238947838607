// Sizes that make the window show the work: the first-start window size,
// kept on the screen, and table columns that fit what they hold.
#ifndef WINDOWSIZE_H
#define WINDOWSIZE_H

#include <QRect>
#include <QSize>

class QGridLayout;
class QGroupBox;
class QMainWindow;
class QTableWidget;
class QWidget;

namespace WindowSize {

// Rows of each table the first-start window shows.
const int kVisibleRows = 15;

// The window size that shows every panel whole and kVisibleRows rows of
// `tables`, shrunk to fit `available` (a screen's available geometry)
// together with a window frame of `frame` (the width and height the title
// bar and borders add).
QSize firstStartSize(QMainWindow *window, const QList<QTableWidget *> &tables,
    const QRect &available, const QSize &frame);
// Resizes the window to firstStartSize on its screen and gives each panel of
// its splitter the width it asks for.
void setFirstStartSize(QMainWindow *window, const QList<QTableWidget *> &tables);
// The available geometry of the screen the window opens on, and the frame an
// ordinary desktop draws around it.
QRect availableGeometry(const QMainWindow *window);
QSize typicalFrame(const QMainWindow *window);

// True when a good part of `geometry` (a title bar's worth) lies on a screen.
bool onSomeScreen(const QRect &geometry);

// Rows as high as the font needs, and the columns fitted to their texts
// whenever the cells change (a load, a calculation, an edit, a paste); the
// last column takes the rest of the width.
void keepColumnsFitted(QTableWidget *table);
void fitColumns(QTableWidget *table);

// Lets a panel's system box be narrower than its groups side by side: below
// that width, `grid` holds `groups` (common, angular unit, hemisphere,
// longitude range, zone) in two columns, hemisphere and zone under the others,
// and the box grows in height. Nothing changes when that is no narrower.
void wrapWhenNarrow(QGroupBox *box, QGridLayout *grid, const QList<QWidget *> &groups);

} // namespace WindowSize

#endif // WINDOWSIZE_H
