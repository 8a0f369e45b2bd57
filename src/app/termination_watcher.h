#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGINT, SIGTERM and SIGHUP into a signal on the interface thread, so that an interrupted Keylark
// still stops its transmission, leaves the line key-up and writes its settings before it ends.
class TerminationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    std::unique_ptr<QSocketNotifier> notifier_;
};
