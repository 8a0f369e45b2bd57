#include "status/status_report.h"

#include "keying/diagnostics.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <cerrno>

StatusReport::StatusReport(SettingsStore &store, QObject *parent) : QObject(parent), store_(store)
{
    observerNumber_ = Diagnostics::setObserver([this](const Diagnostic &diagnostic) {
        QMetaObject::invokeMethod(
            this, [this, diagnostic] { report(diagnostic); }, Qt::QueuedConnection);
    });
}

StatusReport::~StatusReport()
{
    Diagnostics::removeObserver(observerNumber_);
}

void StatusReport::report(const Diagnostic &diagnostic)
{
    using Failure = Diagnostic::Failure;
    if (diagnostic.failure == Failure::SystemCall && diagnostic.errorNumber != 0) {
        summary_ = diagnostic.call;
        reason_ = diagnostic.reason;
        failure_ = Failure::SystemCall;
        errno_ = diagnostic.errorNumber;
        reasonPending_ = true;
        startupFailure_ = false;
    } else if (diagnostic.isError()) {
        // Once the start-up failed nothing can send; what to do about it matters more than each refusal.
        if (diagnostic.failure == Failure::SerialInitialize && startupFailure_)
            return;
        if (!reasonPending_) {
            reason_.clear();
            errno_ = 0;
        }
        summary_ = diagnostic.line;
        failure_ = diagnostic.failure;
        reasonPending_ = false;
        startupFailure_ = diagnostic.failure == Failure::SerialOpenAtStart;
    } else {
        information_ = diagnostic.line;
    }
    emit changed();
}

void StatusReport::transmissionStarted()
{
    if (summary_.isEmpty() || startupFailure_)
        return;
    summary_.clear();
    reason_.clear();
    failure_ = Diagnostic::Failure::None;
    errno_ = 0;
    reasonPending_ = false;
    emit changed();
}

QString StatusReport::error() const
{
    return reason_.isEmpty() ? summary_ : tr("%1 (%2)").arg(summary_, reason_);
}

QString StatusReport::information() const
{
    return information_;
}

void StatusReport::setNetworkState(const QString &state)
{
    if (state == networkState_)
        return;
    networkState_ = state;
    emit changed();
}

QString StatusReport::hint() const
{
    if (failure_ == Diagnostic::Failure::NetworkListen)
        return tr("Close the program that uses the port (cwdaemon?), or choose another port in Preferences, "
                  "Network.");
    const bool openFailed =
        failure_ == Diagnostic::Failure::SerialOpen || failure_ == Diagnostic::Failure::SerialOpenAtStart;
    if (!openFailed)
        return {};
    if (store_.stringValue(KLKSerialDeviceKey).isEmpty())
        return tr("No serial port is chosen: choose one in Preferences, General.");
    switch (errno_) {
    case EACCES:
        return tr("You may not use the port: add yourself to the dialout group (sudo adduser $USER dialout), "
                  "then log out and in again.");
    case EBUSY:
        return tr(
            "Another program holds the port: close it, or choose another port in Preferences, General.");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return tr("The port is not there: plug in the interface, or choose another port in Preferences, "
                  "General.");
    default:
        return {};
    }
}
