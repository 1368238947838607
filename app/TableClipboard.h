// Spreadsheet copy and paste on a point table, and the keys that leave it.
// Ctrl+C copies the selected rows as tab-separated lines (name and three
// coordinates, trimmed); Ctrl+X copies them and blanks their cells; Ctrl+V
// writes lines from the current row down, adding rows as needed; Ctrl+A
// selects every row; Ctrl+Tab and Ctrl+Shift+Tab move the focus to the next
// or previous control, since Tab alone moves between the cells. An open cell
// editor keeps its own copy and paste.
#ifndef TABLECLIPBOARD_H
#define TABLECLIPBOARD_H

#include <QObject>
#include <QStringList>
#include <QVector>

class QTableWidget;

class TableClipboard : public QObject
{
    Q_OBJECT

public:
    // Watches `table`'s keys and lives as long as it.
    explicit TableClipboard(QTableWidget *table);

    // The selected rows (the current one when none is selected), one
    // "name\tc1\tc2\tc3\n" line each.
    static QString copyText(const QTableWidget *table);
    // Clipboard text as a block of cell texts, one list per line. A block
    // holding a tab is split on tabs only, whatever its width, and a decimal
    // comma in a coordinate field is read as in a cell (CellText::decimalPoints); other
    // lines are split as a points file's (PointRow::fromLine). Every cell is
    // made one line, and a name holds no ";".
    // `firstColumn` is the table column the block starts in.
    static QVector<QStringList> parse(const QString &text, int firstColumn);

    void copy() const;
    void cut();
    void paste();

signals:
    // Before a paste or a cut changes the table, so the change can be undone.
    void aboutToChange(const QString &what);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void leaveTable(bool forward);

    QTableWidget *table;
};

#endif // TABLECLIPBOARD_H
