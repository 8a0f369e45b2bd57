#pragma once

#include <QString>

class Keyer;
class StatusReport;

// What the console asks of the application around it: the keyer, the status report, the function keys'
// repeat-suppression timer, and the windows it opens. The application shell implements it.
class ConsoleHost
{
public:
    virtual ~ConsoleHost() = default;

    virtual Keyer *keyer() const = 0;
    virtual StatusReport &statusReport() = 0;
    virtual void keyTimerStart() = 0;
    virtual void keyTimerCancel() = 0;
    virtual void openConsole() = 0;
    virtual void showPreferences() = 0;
    // Shows the preferences at the pane where the setting is made, with its control focused.
    virtual void showPreferencesFor(const QString &key) = 0;
};
