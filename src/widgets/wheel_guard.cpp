#include "widgets/wheel_guard.h"

#include <QEvent>
#include <QWidget>

WheelGuard::WheelGuard(QWidget *control) : QObject(control) {}

void WheelGuard::guard(QWidget *control)
{
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelGuard(control));
}

bool WheelGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || static_cast<QWidget *>(watched)->hasFocus())
        return false;
    event->ignore(); // passed on to the parent, which may scroll
    return true;
}
