#include "status/status_report.h"

#include "keying/diagnostics.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <cerrno>

namespace {

const QString startupOpenError =
    QStringLiteral("*** Keylark : Serial open error. Please set serial device and restart this program.");
const QString initializeError =
    QStringLiteral("*** Keylark : Serial initialize error. Please restart this program.");
const QString openError = QStringLiteral("*** Keylark : Serial open error. Please set serial device.");
const QString listenError = QStringLiteral("*** Keylark : Network keying cannot listen");

bool isError(const QString &line)
{
    return line.startsWith(QLatin1String("***"));
}

} // namespace

StatusReport::StatusReport(SettingsStore &store, QObject *parent) : QObject(parent), store_(store)
{
    observerNumber_ = Diagnostics::setObserver([this](const QString &line, int error) {
        QMetaObject::invokeMethod(
            this, [this, line, error] { report(line, error); }, Qt::QueuedConnection);
    });
}

StatusReport::~StatusReport()
{
    Diagnostics::removeObserver(observerNumber_);
}

void StatusReport::report(const QString &line, int error)
{
    if (error != 0) {
        const qsizetype colon = line.lastIndexOf(QLatin1String(": "));
        summary_ = line.left(colon).trimmed();
        reason_ = line.mid(colon + 2);
        errno_ = error;
        reasonPending_ = true;
        startupFailure_ = false;
    } else if (isError(line)) {
        // Once the start-up failed nothing can send; what to do about it matters more than each refusal.
        if (line == initializeError && startupFailure_)
            return;
        if (!reasonPending_) {
            reason_.clear();
            errno_ = 0;
        }
        summary_ = line;
        reasonPending_ = false;
        startupFailure_ = line == startupOpenError;
    } else {
        information_ = line;
    }
    emit changed();
}

void StatusReport::transmissionStarted()
{
    if (summary_.isEmpty() || startupFailure_)
        return;
    summary_.clear();
    reason_.clear();
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
    if (summary_.startsWith(listenError))
        return tr("Close the program that uses the port (cwdaemon?), or choose another port in Preferences, "
                  "Network.");
    const bool openFailed = summary_ == openError || summary_ == startupOpenError;
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
