#include "PointTable.h"

#include "CellText.h"
#include "CoordinateDelegate.h"
#include "Dialogs.h"
#include "Plural.h"
#include "PointsFile.h"
#include "Settings.h"
#include "TableClipboard.h"
#include "WaitCursor.h"
#include "WindowSize.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScopedValueRollback>

namespace {

// The table's texts belong to the panel's translation context.
QString panelTr(const char *text)
{
    return QCoreApplication::translate("Panel", text);
}

const QBrush &failedBrush()
{
    static const QBrush brush(QColor(255, 220, 220));
    return brush;
}

// The invalid rows listed by number in a message, ten at the most.
const int listedRows = 10;

} // namespace

PointTable::PointTable(QWidget *parent)
    : QTableWidget(parent)
{
    setItemDelegate(new CoordinateDelegate(this));
    // A paste or a cut is one step of undo, like the commands that replace rows; it fills the
    // cells with the model's signals blocked, so it is told as typing here.
    connect(new TableClipboard(this), &TableClipboard::aboutToChange, this,
        [this](const QString &what) {
            rememberForUndo(what);
            markTyped();
        });
    connect(this, &QTableWidget::itemChanged, this, [this] {
        if (!filling)
            markTyped();
    });
    WindowSize::keepColumnsFitted(this);
}

void PointTable::setRowSide(std::function<Calculation::Side()> side)
{
    rowSide = std::move(side);
}

PointRows PointTable::rows() const
{
    PointRows list(rowCount());
    for (int r = 0; r < list.size(); ++r) {
        PointRow &row = list[r];
        for (int c = 0; c < PointRow::columns; ++c) {
            if (const QTableWidgetItem *cell = item(r, c))
                row.cell(c) = cell->text();
        }
        const QTableWidgetItem *name = item(r, 0);
        if (name && !name->toolTip().isEmpty()) {
            row.outcome = PointRow::Outcome::Failed;
            row.reason = name->toolTip();
        }
    }
    return list;
}

void PointTable::setRows(const PointRows &list)
{
    const QScopedValueRollback<bool> guard(filling, true);
    results = false;
    setRowCount(0);
    if (list.isEmpty()) {
        setRowCount(1);
        return;
    }
    QAbstractItemModel *m = model();
    // One item at a time the model would announce every cell to the view; a
    // list of 100 000 points is filled silently and shown once at the end.
    setUpdatesEnabled(false);
    setRowCount(list.size());
    const bool wasBlocked = m->blockSignals(true);
    for (int r = 0; r < list.size(); ++r) {
        const PointRow &row = list.at(r);
        const bool failed = row.outcome == PointRow::Outcome::Failed;
        for (int c = 0; c < PointRow::columns; ++c) {
            auto *cell = new QTableWidgetItem(row.cell(c));
            if (failed) {
                cell->setBackground(failedBrush());
                if (c == 0)
                    cell->setToolTip(row.reason);
            }
            setItem(r, c, cell);
        }
    }
    m->blockSignals(wasBlocked);
    emit m->dataChanged(m->index(0, 0), m->index(list.size() - 1, PointRow::columns - 1));
    setUpdatesEnabled(true);
}

void PointTable::setResults(const PointRows &list)
{
    setRows(list);
    results = true;
    edited = false; // what was typed here is Ctrl+Z away, not in the table
}

void PointTable::markTyped()
{
    results = false;
    edited = true;
}

void PointTable::clearRows()
{
    results = false;
    setRowCount(0);
    setRowCount(1);
}

bool PointTable::hasUnsavedInput() const
{
    if (!edited)
        return false;
    for (int r = 0; r < rowCount(); ++r) {
        if (!isRowEmpty(r))
            return true;
    }
    return false;
}

bool PointTable::isRowEmpty(int row) const
{
    for (int c = 0; c < PointRow::columns; ++c) {
        const QTableWidgetItem *cell = item(row, c);
        if (cell && !CellText::isBlank(cell->text()))
            return false;
    }
    return true;
}

void PointTable::trimTrailingEmptyRows()
{
    const int row = currentRow();
    const int column = currentColumn();
    const int n = rowCount();
    if (n <= 1)
        return;
    int k = n - 1;
    while (k >= 1 && isRowEmpty(k))
        --k;
    const int kept = k + 1;
    if (kept == n || kept > row)
        return;
    setRowCount(kept);
    setCurrentCell(kept - 1, column);
}

void PointTable::rememberForUndo(const QString &what, std::function<bool()> restore)
{
    undoRows = rows();
    undoWhat = what;
    undoResults = results;
    undoEdited = edited;
    undoRestore = std::move(restore);
    canUndo = true;
}

void PointTable::undo()
{
    if (!canUndo) {
        emit signalStatus(panelTr("Отменять нечего"));
        return;
    }
    canUndo = false;
    results = false;
    const std::function<bool()> restore = std::move(undoRestore);
    undoRestore = {};
    if (restore && !restore()) {
        undoRows.clear();
        emit signalStatus(panelTr("Не отменено: системы этих результатов больше нет"));
        return;
    }
    setRows(undoRows);
    results = undoResults;
    edited = undoEdited;
    undoRows.clear();
    emit signalStatus(panelTr("Отменено: %1").arg(undoWhat));
}

QString PointTable::fileFilter()
{
    // What spreadsheets and other tools save too.
    return panelTr("Файлы точек (*.txt *.csv);;Все файлы (*)");
}

void PointTable::loadFile()
{
    const QString path = Dialogs::openFileName(this, panelTr("Загрузить точки"), fileFilter(),
        Settings::lastFolder(QStringLiteral("load")));
    if (path.isEmpty())
        return;
    Settings::rememberFolder(QStringLiteral("load"), path);
    WaitCursor wait;
    PointRows list;
    PointsFile::ReadInfo info;
    if (!PointsFile::read(path, &list, &info)) {
        wait.release();
        emit signalStatus(panelTr("Точки не загружены"));
        Dialogs::warning(
            panelTr("Предупреждение"), panelTr("Ошибка при загрузке точек из файла:\n") + path);
        return;
    }
    rememberForUndo(panelTr("загрузка"));
    setRows(list);
    edited = false;
    wait.release();
    QString status = panelTr("Загружено строк: %1").arg(list.size())
        + (info.windows1251 ? panelTr(" (кодировка Windows-1251)") : QString());
    if (info.header)
        status += panelTr("; первая строка — заголовок, пропущена");
    if (info.noCoordinates.count > 0)
        status += panelTr("; без координат: %1 (%2)")
                      .arg(info.noCoordinates.count)
                      .arg(Plural::rows(info.noCoordinates.firstRows, info.noCoordinates.count));
    emit signalStatus(status);
    if (info.blankSeparated)
        Dialogs::warning(panelTr("Предупреждение"), PointsFile::BlankSeparation::note());
    if (info.extraFields.count > 0)
        Dialogs::warning(panelTr("Предупреждение"), info.extraFields.warning());
}

// ---- keyboard commands

PointTable::Scan PointTable::scan() const
{
    Scan result;
    const Calculation::Side side = rowSide ? rowSide() : Calculation::Side();
    const PointRows list = rows();
    for (int r = 0; r < list.size(); ++r) {
        if (list.at(r).isEmpty()) {
            result.empty.append(r);
            continue;
        }
        // A name alone is no point: invalid, not empty.
        const Calculation::Reading reading = Calculation::read(side, list.at(r));
        if (reading.blank || reading.failure != Calculation::Failure::None)
            result.invalid.append(r);
    }
    return result;
}

void PointTable::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && atRowEnd()
        && state() != EditingState) {
        setCurrentIndex(nextRowName());
        return;
    }
    if (!runCommand(event))
        QTableWidget::keyPressEvent(event);
}

bool PointTable::atRowEnd() const
{
    return currentIndex().isValid() && currentColumn() == columnCount() - 1;
}

QModelIndex PointTable::nextRowName()
{
    const int row = currentRow() + 1;
    if (row == rowCount())
        setRowCount(row + 1);
    return model()->index(row, 0);
}

QModelIndex PointTable::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    // The typing goes on in a new row rather than wrapping onto the filled ones.
    if (action == MoveNext && atRowEnd())
        return nextRowName();
    return QTableWidget::moveCursor(action, modifiers);
}

void PointTable::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // Enter typed in a row's last cell: the next row's name, like Tab.
    const bool enterAtEnd = hint == QAbstractItemDelegate::SubmitModelCache && atRowEnd();
    QTableWidget::closeEditor(editor, hint);
    if (enterAtEnd)
        setCurrentIndex(nextRowName());
}

bool PointTable::runCommand(QKeyEvent *event)
{
    // The commands take exactly Control: Ctrl+Shift+D or a keypad Insert is none.
    if (event->modifiers() != Qt::ControlModifier) {
        if (event->key() != Qt::Key_Down || rowCount() != currentRow() + 1)
            return false;
        const int column = currentColumn();
        setRowCount(rowCount() + 1);
        setCurrentCell(rowCount() - 1, column);
        return true;
    }
    switch (event->key()) {
    case Qt::Key_Insert:
        if (currentRow() >= 0)
            insertRow(currentRow());
        break;
    case Qt::Key_Delete:
        if (currentRow() >= 0) {
            rememberForUndo(panelTr("удаление строки"));
            removeRow(currentRow());
        }
        break;
    case Qt::Key_Z:
        undo();
        break;
    case Qt::Key_U:
        emit signalSwap();
        break;
    case Qt::Key_N:
        countRows();
        break;
    case Qt::Key_I:
        findInvalidRows();
        break;
    case Qt::Key_D:
        deleteInvalidRows();
        break;
    case Qt::Key_E:
        deleteEmptyRows();
        break;
    default:
        return false;
    }
    return true;
}

void PointTable::countRows()
{
    trimTrailingEmptyRows();
    const Scan rows = scan();
    Dialogs::information(panelTr("Подсчет числа строк"),
        panelTr("Всего строк:\t\t%1\nПустых строк:\t\t%2\nНекорректных строк:\t%3")
            .arg(rowCount())
            .arg(rows.empty.size())
            .arg(rows.invalid.size()));
}

void PointTable::findInvalidRows()
{
    trimTrailingEmptyRows();
    const QVector<int> invalid = scan().invalid;
    const int n = invalid.size();
    if (n == 0) {
        Dialogs::information(
            panelTr("Поиск некорректных строк"), panelTr("Некорректных строк не обнаружено"));
        return;
    }
    QString text = panelTr("Обнаружено некорректных строк: %1").arg(n)
        + panelTr("\nНомера некорректных строк:\n")
        + Plural::numbers(Plural::rowNumbers(invalid, listedRows), QStringLiteral("; "));
    if (n > listedRows)
        text += panelTr("\nи еще %1 (не перечислены).").arg(n - listedRows);
    Dialogs::warning(panelTr("Поиск некорректных строк"), text);
}

void PointTable::deleteInvalidRows()
{
    trimTrailingEmptyRows();
    const QVector<int> invalid = scan().invalid;
    const int n = invalid.size();
    if (n == 0) {
        Dialogs::information(
            panelTr("Удаление некорректных строк"), panelTr("Некорректных строк не обнаружено"));
        return;
    }
    if (!Dialogs::confirm(panelTr("Подтвердите удаление"),
            panelTr("Обнаружено некорректных строк: %1.\nУдалить? ").arg(n)))
        return;
    rememberForUndo(panelTr("удаление некорректных строк"));
    const int oldRow = currentRow();
    const int column = currentColumn();
    int row = oldRow;
    for (int i = n - 1; i >= 0; --i) {
        const int v = invalid.at(i);
        if (row >= v && row > 0)
            --row;
        if (rowCount() > 1) {
            removeRow(v);
        } else {
            // The last row stays, emptied: a table never loses its last row here.
            for (int c = 0; c < PointRow::columns; ++c) {
                if (QTableWidgetItem *cell = item(v, c))
                    cell->setText(QString());
            }
        }
    }
    if (row != oldRow)
        setCurrentCell(row, column);
    Dialogs::information(panelTr("Информация"), panelTr("Удалено некорректных строк: %1.").arg(n));
}

void PointTable::deleteEmptyRows()
{
    const QVector<int> empty = scan().empty;
    int n = empty.size();
    if (n == 0) {
        Dialogs::information(
            panelTr("Удаление пустых строк"), panelTr("Пустых строк не обнаружено"));
        return;
    }
    if (!Dialogs::confirm(panelTr("Подтвердите удаление"),
            panelTr("Обнаружено пустых строк: %1.\nУдалить? ").arg(n)))
        return;
    rememberForUndo(panelTr("удаление пустых строк"));
    const int oldRow = currentRow();
    const int column = currentColumn();
    int row = oldRow;
    for (int i = empty.size() - 1; i >= 0; --i) {
        const int v = empty.at(i);
        if (rowCount() > 1)
            removeRow(v);
        else
            --n;
        if (row >= v && row > 0)
            --row;
    }
    if (row != oldRow)
        setCurrentCell(row, column);
    Dialogs::information(panelTr("Информация"), panelTr("Удалено пустых строк: %1.").arg(n));
}
