#include "WindowSize.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>

namespace WindowSize {

namespace {

class GroupWrapper : public QObject
{
public:
    GroupWrapper(QGroupBox *box, QGridLayout *grid, const QList<QWidget *> &groups)
        : QObject(box)
        , box(box)
        , grid(grid)
        , groups(groups)
    {
    }

    // Measures both arrangements; false when two columns gain nothing.
    bool measure()
    {
        wideWidth = minimumWidth();
        wideHeight = box->height();
        arrange(true);
        narrowWidth = minimumWidth();
        narrowHeight = box->sizeHint().height();
        arrange(false);
        return narrowWidth < wideWidth;
    }

    void arrange(bool twoColumns)
    {
        for (QWidget *group : groups)
            grid->removeWidget(group);
        // common, angular unit, hemisphere, longitude range, zone
        const int wide[5][4]
            = {{0, 0, 3, 1}, {0, 1, 1, 1}, {0, 2, 1, 1}, {1, 1, 2, 1}, {1, 2, 2, 1}};
        const int narrow[5][4]
            = {{0, 0, 2, 1}, {0, 1, 1, 1}, {2, 0, 1, 1}, {1, 1, 1, 1}, {2, 1, 1, 1}};
        for (int i = 0; i < groups.size() && i < 5; ++i) {
            const int *cell = twoColumns ? narrow[i] : wide[i];
            grid->addWidget(groups.at(i), cell[0], cell[1], cell[2], cell[3]);
        }
        narrow_ = twoColumns;
        if (narrowHeight > 0)
            box->setFixedHeight(twoColumns ? narrowHeight : wideHeight);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == box
            && (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
            // A group shown since (a local system's list and buttons) may need
            // more than the row was measured with.
            const int need = grid->totalMinimumSize().width();
            if (!narrow_) {
                wideWidth = qMax(wideWidth, need);
            } else if (need > narrowWidth) {
                narrowWidth = need;
                box->setMinimumWidth(narrowWidth);
            }
            const bool twoColumns = box->width() < wideWidth;
            if (twoColumns != narrow_)
                arrange(twoColumns);
        }
        return false;
    }

    int narrowWidth = 0;

private:
    int minimumWidth() const
    {
        grid->invalidate();
        return grid->totalMinimumSize().width();
    }

    QGroupBox *box;
    QGridLayout *grid;
    QList<QWidget *> groups;
    bool narrow_ = false;
    int wideWidth = 0;
    int wideHeight = 0;
    int narrowHeight = 0;
};

// With room for a horizontal scroll bar, which a long name brings.
int rowsHeight(const QTableWidget *table, int rows)
{
    return table->horizontalHeader()->sizeHint().height()
        + table->horizontalScrollBar()->sizeHint().height()
        + rows * table->verticalHeader()->defaultSectionSize() + 2 * table->frameWidth();
}

} // namespace

QSize firstStartSize(QMainWindow *window, const QList<QTableWidget *> &tables,
    const QRect &available, const QSize &frame)
{
    // Widgets hidden before the window was ever shown leave the layouts'
    // cached sizes as they were: compute them afresh.
    for (QLayout *layout : window->findChildren<QLayout *>())
        layout->invalidate();
    // The layouts give the tables their minimum height; the window grows by
    // what the tallest table lacks for kVisibleRows rows.
    int lacking = 0;
    for (const QTableWidget *table : tables)
        lacking
            = qMax(lacking, rowsHeight(table, kVisibleRows) - table->minimumSizeHint().height());
    const QSize minimum = window->minimumSizeHint();
    // Each panel of the splitter as wide as it asks, the rest of the window
    // as its layout wants.
    int width = window->sizeHint().width();
    if (const auto *splitter = window->findChild<QSplitter *>()) {
        width -= splitter->sizeHint().width();
        for (int i = 0; i < splitter->count(); ++i)
            width += splitter->widget(i)->sizeHint().width() + (i ? splitter->handleWidth() : 0);
    }
    const QSize wanted(qMax(width, minimum.width()), minimum.height() + lacking);
    return wanted.boundedTo(available.size() - frame);
}

void setFirstStartSize(QMainWindow *window, const QList<QTableWidget *> &tables)
{
    window->resize(firstStartSize(window, tables, availableGeometry(window), typicalFrame(window)));
    if (auto *splitter = window->findChild<QSplitter *>()) {
        QList<int> widths;
        for (int i = 0; i < splitter->count(); ++i)
            widths << splitter->widget(i)->sizeHint().width();
        splitter->setSizes(widths);
    }
}

QRect availableGeometry(const QMainWindow *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
}

QSize typicalFrame(const QMainWindow *window)
{
    // A title bar of about two lines of text and thin borders; the real frame
    // is known only once a window manager has drawn it.
    const int line = window->fontMetrics().height();
    return QSize(line / 2, 2 * line + line / 2);
}

bool onSomeScreen(const QRect &geometry)
{
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect part = screen->availableGeometry().intersected(geometry);
        if (part.width() >= qMin(100, geometry.width())
            && part.height() >= qMin(50, geometry.height()))
            return true;
    }
    return false;
}

void keepColumnsFitted(QTableWidget *table)
{
    // The style's default rows are twice the text's height; a list is read
    // more rows at a time.
    QHeaderView *rows = table->verticalHeader();
    const int height = table->fontMetrics().height() + 2;
    rows->setMinimumSectionSize(qMin(rows->minimumSectionSize(), height));
    rows->setDefaultSectionSize(height);
    QObject::connect(
        table->model(), &QAbstractItemModel::dataChanged, table, [table] { fitColumns(table); });
    QObject::connect(table->model(), &QAbstractItemModel::headerDataChanged, table,
        [table] { fitColumns(table); });
    fitColumns(table);
}

void fitColumns(QTableWidget *table)
{
    for (int c = 0; c + 1 < table->columnCount(); ++c)
        table->resizeColumnToContents(c);
}

void wrapWhenNarrow(QGroupBox *box, QGridLayout *grid, const QList<QWidget *> &groups)
{
    auto *wrapper = new GroupWrapper(box, grid, groups);
    if (!wrapper->measure()) {
        delete wrapper;
        return;
    }
    // Below the width of one row of groups the box rearranges itself.
    box->setMinimumWidth(wrapper->narrowWidth);
    box->installEventFilter(wrapper);
}

} // namespace WindowSize
