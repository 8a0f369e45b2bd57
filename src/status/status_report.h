#pragma once

#include "keying/diagnostic.h"

#include <QObject>
#include <QString>

class SettingsStore;

// What the status bar says: the diagnostic that matters now. It follows Keylark's diagnostic lines from
// the moment it is made, so that lines written while Keylark starts are not lost, and takes them on its
// own thread in the order they were written. An error holds until a later transmission starts keying or a
// newer error replaces it; an information line shows beside it, never in its place. A failed system call
// gives its reason, shown beside the error that follows it, and a hint where one helps.
class StatusReport : public QObject
{
    Q_OBJECT

public:
    explicit StatusReport(SettingsStore &store, QObject *parent = nullptr);
    ~StatusReport() override;

    QString error() const;       // the error that holds, with its reason; empty when none
    QString hint() const;        // how to put the error right; empty when there is nothing to say
    QString information() const; // the latest information line
    bool hasError() const { return !summary_.isEmpty(); }
    // Where network keying listens, or why it does not; empty while it is off.
    QString networkState() const { return networkState_; }
    void setNetworkState(const QString &state);

    void report(const Diagnostic &diagnostic);
    // A transmission has opened the port and keys: an error from before it no longer holds.
    void transmissionStarted();

signals:
    void changed();

private:
    SettingsStore &store_;
    int observerNumber_ = 0;
    QString summary_;
    QString reason_;
    Diagnostic::Failure failure_ = Diagnostic::Failure::None; // what failed, as the summary says
    int errno_ = 0;
    bool reasonPending_ = false; // a failed call's line waits for the error line that explains it
    bool startupFailure_ = false;
    QString information_;
    QString networkState_;
};
