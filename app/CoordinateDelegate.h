// Editor of the point table's cells. ";" separates the fields of a points
// file's line, so it is refused; in a coordinate cell a decimal comma becomes
// the point (CellText::decimalPoints), in the name it stays. Line breaks, tabs and other control characters
// never enter a cell: pasted ones become blanks.
#ifndef COORDINATEDELEGATE_H
#define COORDINATEDELEGATE_H

#include <QStyledItemDelegate>
#include <QValidator>

// Keeps the line separators out of one cell's text.
class CellTextValidator : public QValidator
{
    Q_OBJECT

public:
    // coordinate: a coordinate cell (columns 1 to 3) rather than the name.
    explicit CellTextValidator(bool coordinate, QObject *parent = nullptr);

    State validate(QString &input, int &pos) const override;

private:
    bool coordinate;
};

class CoordinateDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CoordinateDelegate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
};

#endif // COORDINATEDELEGATE_H
