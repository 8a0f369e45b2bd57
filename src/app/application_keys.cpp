#include "app/application_keys.h"

#include "console/console_controller.h"
#include "console/keyer_commands.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

// A key event climbs from the focus widget to its window while no one takes it; it counts once, where it
// starts.
bool isFirstReceiver(const QWidget *widget)
{
    const QWidget *focus = widget->window()->focusWidget();
    return widget == (focus ? focus : widget->window());
}

} // namespace

ApplicationKeys::ApplicationKeys(KeyerCommands &commands, ConsoleLookup console, QObject *parent)
    : QObject(parent), commands_(commands), console_(std::move(console))
{
}

bool ApplicationKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    ConsoleController *console = console_();
    if (!console || widget->window() == console || !isFirstReceiver(widget))
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    if (key->key() == Qt::Key_Escape) {
        commands_.cancel();
        return false; // a dialog still closes
    }
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    if (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12) {
        if (!key->isAutoRepeat())
            console->pressFunctionKey(key->key() - Qt::Key_F1 + 1);
        return true;
    }
    if (key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) {
        key->key() == Qt::Key_PageUp ? commands_.wpmUp() : commands_.wpmDown();
        return true;
    }
    return false;
}
