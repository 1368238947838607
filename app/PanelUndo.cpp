// The panel's marks of failed rows and its one level of undo, kept apart from
// the panel's controls and commands.
#include "Panel.h"

#include <QTableWidget>
#include <QTableWidgetItem>

void Panel::markFailedRows(const QVector<int> &rows, const QStringList &reasons)
{
    QTableWidget *t = table();
    QAbstractItemModel *model = t->model();
    const QBrush failed(QColor(255, 220, 220));
    const bool wasBlocked = model->blockSignals(true);
    for (int i = 0; i < rows.size(); ++i) {
        for (int c = 0; c < 4; ++c) {
            if (QTableWidgetItem *item = t->item(rows.at(i), c)) {
                item->setBackground(failed);
                if (c == 0)
                    item->setToolTip(reasons.value(i));
            }
        }
    }
    model->blockSignals(wasBlocked);
    if (!rows.isEmpty())
        emit model->dataChanged(model->index(rows.first(), 0), model->index(rows.last(), 3));
}

void Panel::rememberForUndo(const QString &what)
{
    const QTableWidget *t = table();
    undoCells.clear();
    undoCells.reserve(4 * t->rowCount());
    for (int r = 0; r < t->rowCount(); ++r) {
        for (int c = 0; c < 4; ++c) {
            const QTableWidgetItem *item = t->item(r, c);
            undoCells.append(item ? item->text() : QString());
        }
    }
    undoWhat = what;
}

void Panel::undo()
{
    if (undoCells.isEmpty()) {
        emit signalStatus(tr("Отменять нечего"));
        return;
    }
    const QStringList cells = undoCells;
    undoCells.clear();
    setCells(cells);
    emit signalStatus(tr("Отменено: %1").arg(undoWhat));
}
