#include "WindowKeys.h"

#include "MainWindow.h"
#include "Panel.h"
#include "PointTable.h"

#include <QApplication>
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
    window->inputPanel()->setChoices(right);
    window->outputPanel()->setChoices(left);
    window->slotSwap();
}

void install(MainWindow *window)
{
    const auto calculate = [window] { pressButton(window, "pushButtonCalculate"); };
    add(window, Qt::Key_F9, calculate);
    add(window, Qt::CTRL + Qt::Key_Return, calculate);
    add(window, Qt::CTRL + Qt::Key_Enter, calculate);
    add(window, QKeySequence::Open, [window] { pressButton(window, "pushButtonLoad"); });
    add(window, QKeySequence::Save, [window] { pressButton(window, "pushButtonSave"); });
    add(window, Qt::CTRL + Qt::SHIFT + Qt::Key_U, [window] {
        commitOpenEditor(window);
        swapSystems(window);
    });
}

} // namespace WindowKeys
