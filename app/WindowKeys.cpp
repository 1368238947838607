#include "WindowKeys.h"

#include "MainWindow.h"
#include "Panel.h"
#include "PointTable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>

namespace WindowKeys {

namespace {

// A cell being typed in keeps its text in the editor until the editor loses
// the focus: hand it back to the table so the text is in the cell first.
void commitOpenEditor(const MainWindow *window)
{
    QWidget *focus = QApplication::focusWidget();
    for (const Panel *panel : {window->inputPanel(), window->outputPanel()}) {
        if (focus && panel->table()->isAncestorOf(focus))
            panel->table()->setFocus();
    }
}

void clickIn(const Panel *panel, const char *button)
{
    auto *push = panel->findChild<QPushButton *>(QLatin1String(button));
    if (push && push->isVisibleTo(panel) && push->isEnabled())
        push->click();
}

void pressButton(MainWindow *window, const char *button)
{
    commitOpenEditor(window);
    const Panel *panel = focusedPanel(window);
    const auto *push = panel->findChild<QPushButton *>(QLatin1String(button));
    if (!push || !push->isVisibleTo(panel) || !push->isEnabled())
        panel = window->inputPanel();
    clickIn(panel, button);
}

void add(MainWindow *window, const QKeySequence &keys, const std::function<void()> &action)
{
    auto *shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, window, action);
}

} // namespace

Panel *focusedPanel(const MainWindow *window)
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && window->outputPanel()->isAncestorOf(focus))
        return window->outputPanel();
    return window->inputPanel();
}

void swapSystems(MainWindow *window)
{
    // The angle units and the longitude range belong to the output panel
    // alone (the input reads both forms), so they stay where they are.
    SystemName::Choices left = window->inputPanel()->choices();
    SystemName::Choices right = window->outputPanel()->choices();
    std::swap(left.decimalDegrees, right.decimalDegrees);
    std::swap(left.unsignedLongitude, right.unsignedLongitude);
    // The lists first: a system changed under results would clear them.
    window->slotSwap();
    window->inputPanel()->setChoices(right);
    window->outputPanel()->setChoices(left);
}

namespace {

enum class Action { Table, Calculate, Load, Save, SwapSystems };

struct Entry
{
    const char *keys; // in QKeySequence's portable text, ", " between sequences
    const char *action;
    Action does;
};

// Table keys are the point table's own (PointTable, TableClipboard); the
// window's are made here from the same lines.
const Entry entries[] = {
    {"Ctrl+Insert", QT_TRANSLATE_NOOP("Panel", "вставить строку в список точек"), Action::Table},
    {"Ctrl+Delete", QT_TRANSLATE_NOOP("Panel", "удалить строку из списка точек"), Action::Table},
    {"Down", QT_TRANSLATE_NOOP("Panel", "на последней строке: добавить строку"), Action::Table},
    {"Ctrl+N", QT_TRANSLATE_NOOP("Panel", "подсчет строк в списке точек"), Action::Table},
    {"Ctrl+I", QT_TRANSLATE_NOOP("Panel", "поиск некорректных строк"), Action::Table},
    {"Ctrl+D", QT_TRANSLATE_NOOP("Panel", "удалить некорректные строки"), Action::Table},
    {"Ctrl+E", QT_TRANSLATE_NOOP("Panel", "удалить пустые строки"), Action::Table},
    {"Ctrl+U", QT_TRANSLATE_NOOP("Panel", "поменять списки точек местами"), Action::Table},
    {"Ctrl+Shift+U", QT_TRANSLATE_NOOP("Panel", "поменять местами системы и списки"),
        Action::SwapSystems},
    {"F9, Ctrl+Enter", QT_TRANSLATE_NOOP("Panel", "вычислить"), Action::Calculate},
    {"Ctrl+O", QT_TRANSLATE_NOOP("Panel", "загрузить список точек"), Action::Load},
    {"Ctrl+S", QT_TRANSLATE_NOOP("Panel", "сохранить список точек"), Action::Save},
    {"Ctrl+C, Ctrl+X", QT_TRANSLATE_NOOP("Panel", "копировать, вырезать выделенные строки"),
        Action::Table},
    {"Ctrl+V", QT_TRANSLATE_NOOP("Panel", "вставить строки из буфера обмена"), Action::Table},
    {"Ctrl+A", QT_TRANSLATE_NOOP("Panel", "выделить все строки"), Action::Table},
    {"Ctrl+Z", QT_TRANSLATE_NOOP("Panel", "отменить последнюю замену или удаление строк"),
        Action::Table},
    {"Ctrl+Tab", QT_TRANSLATE_NOOP("Panel", "перейти из таблицы к следующему полю"), Action::Table},
    {"Ctrl+Shift+Tab", QT_TRANSLATE_NOOP("Panel", "перейти из таблицы к предыдущему полю"),
        Action::Table},
};

QString keysText(const char *keys)
{
    // The arrow by its Russian name; the rest reads the same in every language.
    return QString::fromLatin1(keys).replace(
        QLatin1String("Down"), QCoreApplication::translate("Panel", "Стрелка вниз"));
}

} // namespace

QVector<Command> commands()
{
    QVector<Command> lines;
    for (const Entry &e : entries)
        lines.append({keysText(e.keys), QCoreApplication::translate("Panel", e.action)});
    return lines;
}

QString commandTable()
{
    QString rows;
    for (const Command &c : commands())
        rows += QStringLiteral("<tr><td style=\"padding-right:16px\"><nobr>%1</nobr></td>"
                               "<td><nobr>%2</nobr></td></tr>")
                    .arg(c.keys.toHtmlEscaped(), c.action.toHtmlEscaped());
    return QStringLiteral("<table cellspacing=\"2\">%1</table>").arg(rows);
}

void install(MainWindow *window)
{
    for (const Entry &e : entries) {
        std::function<void()> action;
        switch (e.does) {
        case Action::Table:
            continue;
        case Action::Calculate:
            action = [window] { pressButton(window, "pushButtonCalculate"); };
            break;
        case Action::Load:
            action = [window] { pressButton(window, "pushButtonLoad"); };
            break;
        case Action::Save:
            action = [window] { pressButton(window, "pushButtonSave"); };
            break;
        case Action::SwapSystems:
            action = [window] {
                commitOpenEditor(window);
                swapSystems(window);
            };
            break;
        }
        for (const QString &keys : QString::fromLatin1(e.keys).split(QStringLiteral(", "))) {
            add(window, QKeySequence::fromString(keys, QKeySequence::PortableText), action);
            // Ctrl+Enter is the keypad's key to Qt; the main Enter is Return.
            if (keys == QLatin1String("Ctrl+Enter"))
                add(window, Qt::CTRL + Qt::Key_Return, action);
        }
    }
}

} // namespace WindowKeys
