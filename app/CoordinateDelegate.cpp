#include "CoordinateDelegate.h"

#include "CellText.h"

#include <QLineEdit>

#include <algorithm>

CellTextValidator::CellTextValidator(bool coordinate, QObject *parent)
    : QValidator(parent)
    , coordinate(coordinate)
{
}

QValidator::State CellTextValidator::validate(QString &input, int &pos) const
{
    // A cell holds one line: pasted line breaks, tabs and other control
    // characters become blanks (typed ones never reach here).
    if (std::any_of(input.cbegin(), input.cend(), CellText::isControl)) {
        input = CellText::singleLine(input);
        pos = std::min(pos, int(input.size()));
    }
    // A refused character refuses the whole edit, a pasted "55;30" included:
    // dropping the ";" would silently make 5530 of it.
    if (input.contains(QLatin1Char(';')))
        return Invalid;
    if (coordinate)
        CellText::makeDecimalPoints(&input);
    return Acceptable;
}

CoordinateDelegate::CoordinateDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QWidget *CoordinateDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *lineEdit = qobject_cast<QLineEdit *>(editor))
        lineEdit->setValidator(new CellTextValidator(index.column() != 0, lineEdit));
    return editor;
}
