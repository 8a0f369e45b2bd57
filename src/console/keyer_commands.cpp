#include "console/keyer_commands.h"

#include "compose/keyer.h"
#include "keying/diagnostics.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

namespace {

const int wpmMaximum = int(KLKWpmRange.maximum);
const int wpmMinimum = int(KLKWpmRange.minimum);

} // namespace

KeyerCommands::KeyerCommands(Keyer &keyer, SettingsStore &store, QObject *parent)
    : QObject(parent), keyer_(keyer), store_(store)
{
}

void KeyerCommands::send(const QString &text, const QString &group)
{
    keyer_.sendStop();
    if (text.isEmpty())
        return;
    emit sendRequested(text);
    keyer_.sendMessage(text, group);
}

void KeyerCommands::cancel()
{
    emit stopRequested();
    keyer_.sendStop();
    keyer_.beaconDisarm();
    emit stopped();
    emit stateChanged();
}

void KeyerCommands::beacon(const QString &text, const QString &group)
{
    keyer_.beaconSend();
    if (text.isEmpty())
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Beacon armed: the next text sent repeats until Stop (Esc)."));
    send(text, group);
    emit stateChanged();
}

// Compared before the step, so that a stored speed at the limits of int cannot overflow.
void KeyerCommands::wpmUp()
{
    const int wpm = store_.intValue(KLKWpmKey);
    storeSpeed(wpm >= wpmMaximum ? wpmMaximum : wpm + 1);
}

void KeyerCommands::wpmDown()
{
    const int wpm = store_.intValue(KLKWpmKey);
    storeSpeed(wpm <= wpmMinimum ? wpmMinimum : wpm - 1);
}

void KeyerCommands::storeSpeed(int wpm)
{
    store_.setValue(KLKWpmKey, double(wpm));
    emit speedSet(store_.intValue(KLKWpmKey));
}
