#include "WaitCursor.h"

#include <QCursor>
#include <QGuiApplication>

WaitCursor::WaitCursor()
    : active(true)
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor()
{
    release();
}

void WaitCursor::release()
{
    if (!active)
        return;
    active = false;
    QGuiApplication::restoreOverrideCursor();
}
