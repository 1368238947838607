#include "WindowSize.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMainWindow>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>

namespace WindowSize {

namespace {

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
    const QSize wanted(
        qMax(window->sizeHint().width(), minimum.width()), minimum.height() + lacking);
    return wanted.boundedTo(available.size() - frame);
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

} // namespace WindowSize
