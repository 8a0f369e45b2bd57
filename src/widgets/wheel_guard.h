#pragma once

#include <QObject>

class QWidget;

// Keeps a control from changing under a stray turn of the mouse wheel, as when the operator scrolls a pane
// past it: the wheel moves the control only while the control has the keyboard focus, which it takes from
// a click or Tab but never from the wheel. Without the focus the wheel goes on to whatever holds it.
class WheelGuard : public QObject
{
    Q_OBJECT

public:
    // Guards control for its lifetime.
    static void guard(QWidget *control);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WheelGuard(QWidget *control);
};
