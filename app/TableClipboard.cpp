#include "TableClipboard.h"

#include "CellText.h"
#include "PointRow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QSet>
#include <QTableWidget>

#include <algorithm>

namespace {

const int kColumns = PointRow::columns;

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

QVector<int> selectedRows(const QTableWidget *table)
{
    QSet<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    QVector<int> sorted(rows.cbegin(), rows.cend());
    std::sort(sorted.begin(), sorted.end());
    if (sorted.isEmpty() && table->currentRow() >= 0)
        sorted.append(table->currentRow());
    return sorted;
}

// One number with a decimal comma, as a spreadsheet cell in a Russian
// locale copies it: "55,5" is one value, not two cells.
bool isDecimalComma(const QString &line)
{
    double value = 0;
    return line.count(QLatin1Char(',')) == 1 && !line.contains(QLatin1Char(';'))
        && CellText::parseNumber(CellText::decimalPoints(line), &value);
}

} // namespace

TableClipboard::TableClipboard(QTableWidget *table)
    : QObject(table)
    , table(table)
{
    table->installEventFilter(this);
}

QString TableClipboard::copyText(const QTableWidget *table)
{
    QString text;
    for (int row : selectedRows(table)) {
        QStringList cells;
        for (int c = 0; c < kColumns; ++c)
            cells << CellText::singleLine(cellText(table, row, c));
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QVector<QStringList> TableClipboard::parse(const QString &text, int firstColumn)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = normalized.split(QLatin1Char('\n'));
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast(); // the line end after the last line
    const bool tabs = normalized.contains(QLatin1Char('\t'));

    QVector<QStringList> block;
    for (const QString &line : lines) {
        QStringList fields;
        if (tabs) {
            fields = line.split(QLatin1Char('\t'));
        } else if (lines.size() == 1 && firstColumn > 0 && isDecimalComma(line)) {
            fields = QStringList {line};
        } else {
            // A line as a points file holds it.
            int count = 0;
            const PointRow row = PointRow::fromLine(line, &count);
            for (int c = 0; c < std::min(count, kColumns); ++c)
                fields.append(row.cell(c));
        }
        for (int i = 0; i < fields.size(); ++i) {
            fields[i] = CellText::singleLine(fields.at(i));
            if (firstColumn + i > 0)
                CellText::makeDecimalPoints(&fields[i]);
            else
                fields[i].replace(QLatin1Char(';'), QLatin1Char(' ')); // a name never holds one
        }
        block.append(fields);
    }
    return block;
}

void TableClipboard::copy() const
{
    QGuiApplication::clipboard()->setText(copyText(table));
}

void TableClipboard::cut()
{
    const QVector<int> rows = selectedRows(table);
    if (rows.isEmpty())
        return;
    copy();
    emit aboutToChange(QCoreApplication::translate("Panel", "вырезание"));
    for (int row : rows) {
        for (int c = 0; c < kColumns; ++c) {
            if (QTableWidgetItem *item = table->item(row, c))
                item->setText(QString());
        }
    }
}

void TableClipboard::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    const int firstRow = std::max(table->currentRow(), 0);
    int firstColumn = std::max(table->currentColumn(), 0);
    QVector<QStringList> block = parse(text, firstColumn);
    int width = 0;
    for (const QStringList &fields : block)
        width = std::max(width, int(fields.size()));
    // A block as wide as a row starts in the name column wherever the cursor is.
    if (firstColumn + width > kColumns) {
        firstColumn = 0;
        block = parse(text, 0);
    }
    const int lastColumn = std::min(firstColumn + width, kColumns) - 1;
    const int lastRow = firstRow + block.size() - 1;

    emit aboutToChange(QCoreApplication::translate("Panel", "вставка"));
    if (table->rowCount() <= lastRow)
        table->setRowCount(lastRow + 1);
    // Filled silently and announced once, as a list of thousands of rows
    // would otherwise repaint and refit the columns at every cell.
    QAbstractItemModel *model = table->model();
    const bool wasBlocked = model->blockSignals(true);
    for (int i = 0; i < block.size(); ++i) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const QString value = block.at(i).value(c - firstColumn);
            if (QTableWidgetItem *item = table->item(firstRow + i, c))
                item->setText(value);
            else
                table->setItem(firstRow + i, c, new QTableWidgetItem(value));
        }
    }
    model->blockSignals(wasBlocked);
    emit model->dataChanged(model->index(firstRow, firstColumn), model->index(lastRow, lastColumn));

    table->setCurrentCell(firstRow, firstColumn, QItemSelectionModel::NoUpdate);
    table->selectionModel()->select(
        QItemSelection(model->index(firstRow, firstColumn), model->index(lastRow, lastColumn)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TableClipboard::leaveTable(bool forward)
{
    QWidget *w = table;
    for (;;) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == table)
            return;
        if (table->isAncestorOf(w) || w->window() != table->window())
            continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

bool TableClipboard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != table || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    // Exactly these keys: Ctrl+Insert, a copy key on some desktops, inserts a row.
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    const bool ctrl = modifiers == Qt::ControlModifier;
    if (ctrl && key->key() == Qt::Key_C)
        copy();
    else if (ctrl && key->key() == Qt::Key_X)
        cut();
    else if (ctrl && key->key() == Qt::Key_V)
        paste();
    else if (ctrl && key->key() == Qt::Key_A)
        table->selectAll();
    else if (ctrl && key->key() == Qt::Key_Tab)
        leaveTable(true);
    else if (key->key() == Qt::Key_Backtab
        && modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        leaveTable(false);
    else
        return false;
    return true;
}
