#pragma once

#include <QObject>

#include <functional>

class ConsoleController;
class KeyerCommands;

// The keys that act from every Keylark window, not only the console: Esc stops the transmission from any
// window or dialog, and still closes the dialog as usual; F1-F12, Page Up and Page Down act from the
// preferences window as they do in the console (not in a dialog or an open list, which use them). The
// console's own shortcuts serve it; this filter, set on the application, serves the other windows.
class ApplicationKeys : public QObject
{
    Q_OBJECT

public:
    using ConsoleLookup = std::function<ConsoleController *()>;

    ApplicationKeys(KeyerCommands &commands, ConsoleLookup console, QObject *parent = nullptr);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    KeyerCommands &commands_;
    ConsoleLookup console_;
};
