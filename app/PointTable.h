// The table of points of one panel: its rows as values, the marks of rows
// that failed, one level of undo, and the keyboard commands on the list
// (insert and delete a row, count, find and delete invalid or empty rows,
// swap the lists, append a row with Down). Copy and paste are TableClipboard's.
#ifndef POINTTABLE_H
#define POINTTABLE_H

#include "Calculation.h"
#include "PointRow.h"

#include <QTableWidget>

#include <functional>

class PointTable : public QTableWidget
{
    Q_OBJECT

public:
    explicit PointTable(QWidget *parent = nullptr);

    // The side the rows are in, asked for at each command: a row is invalid
    // exactly when a calculation from that side fails it for its written
    // form (Calculation::read). Without one, rows are three plain numbers.
    void setRowSide(std::function<Calculation::Side()> side);

    // Every row, its cell texts as they stand; a row marked failed keeps its
    // reason.
    PointRows rows() const;
    // Replaces every row; no rows leave one empty row. Failed rows are marked
    // light red, their reason the name cell's tooltip.
    void setRows(const PointRows &rows);
    // The rows a calculation gave: results until the user types or pastes into them.
    void setResults(const PointRows &rows);
    bool holdsResults() const { return results; }
    // One empty row.
    void clearRows();
    // Points typed or pasted since the last load or save (markSaved).
    bool hasUnsavedInput() const;
    void markSaved() { edited = false; }
    // Drops the empty rows at the end when the cursor is among them, and puts
    // it on the last row left: the user just left them there.
    void trimTrailingEmptyRows();

    // The name filters of the points files' dialogs, to open and to save.
    static QString fileFilter();
    // "Загрузить точки": a points file chosen and loaded into the table as
    // one step of undo; its status line is told by signalStatus, and what was
    // seen in the file (extra fields, blank separators) by a warning.
    void loadFile();

    // One level of undo for the commands that replace or remove rows: the
    // rows as they are now, `what` naming the command; `restore`, when given,
    // runs at the undo before the rows come back (the system of the results),
    // and false from it keeps them away.
    void rememberForUndo(const QString &what, std::function<bool()> restore = {});
    void undo();

    // The list command of a key press, if it is one (see the top); false
    // for any other key.
    bool runCommand(QKeyEvent *event);

signals:
    // Ctrl+U: the two lists are to be exchanged.
    void signalSwap();
    // What a command did, for the status bar.
    void signalStatus(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Tab after a row's last cell goes to the next row's name, a new row at the end.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    struct Scan
    {
        QVector<int> empty;
        QVector<int> invalid;
    };
    Scan scan() const;
    bool isRowEmpty(int row) const;
    void countRows();
    void findInvalidRows();
    void deleteInvalidRows();
    void deleteEmptyRows();
    void markTyped();
    bool atRowEnd() const;
    // The name cell of the row below, added when the cursor is in the last.
    QModelIndex nextRowName();

    std::function<Calculation::Side()> rowSide;
    bool canUndo = false;
    PointRows undoRows;
    QString undoWhat;
    bool undoResults = false;
    bool undoEdited = false;
    std::function<bool()> undoRestore;
    bool results = false; // the rows are a calculation's, untouched since
    bool edited = false;  // typed or pasted since the last load or save
    bool filling = false; // setRows at work: its cell changes are no typing
};

#endif // POINTTABLE_H
