#include "console/console_narration.h"

#include "widgets/announcer.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

// A diagnostic line as it is spoken: without the marks and the program's name that begin it in a log.
QString spoken(const QString &line)
{
    static const QRegularExpression marker(QStringLiteral("^[*#.]+\\s*Keylark\\s*:\\s*"));
    return QString(line).remove(marker);
}

} // namespace

ConsoleNarration::ConsoleNarration(Announcer &announcer, QObject *parent)
    : QObject(parent), announcer_(announcer)
{
}

void ConsoleNarration::requested(const QString &text)
{
    requested_ = text.simplified().toUpper();
}

void ConsoleNarration::passStarted(bool beacon)
{
    if (state_ == State::Sending || state_ == State::BeaconRunning)
        return;
    const QString text = std::exchange(requested_, QString());
    echo_.clear();
    stopped_ = false;
    if (beacon) {
        state_ = State::BeaconRunning;
        announcer_.announce(text.isEmpty() ? tr("Beacon running") : tr("Beacon running: %1").arg(text));
    } else {
        state_ = State::Sending;
        announcer_.announce(text.isEmpty() ? tr("Sending") : tr("Sending %1").arg(text));
    }
}

void ConsoleNarration::echoed(const QString &text)
{
    if (state_ == State::Sending)
        echo_ += text;
}

void ConsoleNarration::stopRequested()
{
    if (state_ == State::Sending)
        stopped_ = true;
}

// The worker writes the last characters of a transmission to the log before it reports itself idle, but
// those writes may still wait in the event queue when the poll sees it idle: finish after them.
void ConsoleNarration::keyerState(bool sending, bool beaconArmed)
{
    if (!sending && (state_ == State::Sending || state_ == State::BeaconRunning)) {
        if (!finishing_) {
            finishing_ = true;
            QTimer::singleShot(0, this, [this, beaconArmed] { finishTransmission(beaconArmed); });
        }
        return;
    }
    if (sending || finishing_)
        return;
    if (beaconArmed && state_ == State::Idle) {
        state_ = State::BeaconArmed;
        announcer_.announce(tr("Beacon armed"));
    } else if (!beaconArmed && state_ == State::BeaconArmed) {
        state_ = State::Idle;
        announcer_.announce(tr("Beacon disarmed"));
    }
}

void ConsoleNarration::finishTransmission(bool beaconArmed)
{
    finishing_ = false;
    const QString sent = echo_.simplified();
    if (state_ == State::BeaconRunning)
        announcer_.announce(tr("Beacon stopped"));
    else if (stopped_)
        announcer_.announce(sent.isEmpty() ? tr("Stopped") : tr("Stopped after %1").arg(sent));
    else
        announcer_.announce(sent.isEmpty() ? tr("Sent") : tr("Sent %1").arg(sent));
    state_ = State::Idle;
    echo_.clear();
    stopped_ = false;
    keyerState(false, beaconArmed);
}

void ConsoleNarration::speedSet(int wpm)
{
    announcer_.announce(tr("Speed %1 words per minute").arg(wpm));
}

void ConsoleNarration::keyboardSwitched(bool on)
{
    announcer_.announce(on ? tr("Keyboard mode: each character is keyed as you type")
                           : tr("Keyboard mode off: Return sends the line"));
}

// Only what is new is told: an error that holds is not told again when the information beside it changes.
void ConsoleNarration::statusShown(const QString &error, const QString &information)
{
    if (error != error_ && !error.isEmpty())
        announcer_.announce(spoken(error), Announcer::Urgency::Assertive);
    if (information != information_ && !information.isEmpty())
        announcer_.announce(spoken(information));
    error_ = error;
    information_ = information;
}
