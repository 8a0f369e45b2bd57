#include "app/termination_watcher.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSockets[2] = {-1, -1};
constexpr int watchedSignals[] = {SIGINT, SIGTERM, SIGHUP};

void forwardSignal(int signalNumber)
{
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(signalSockets[1], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationWatcher::readSignal);
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : watchedSignals)
        ::sigaction(signalNumber, &action, nullptr);
}

TerminationWatcher::~TerminationWatcher()
{
    if (!notifier_)
        return;
    for (int signalNumber : watchedSignals)
        ::signal(signalNumber, SIG_DFL);
    notifier_.reset();
    ::close(signalSockets[0]);
    ::close(signalSockets[1]);
    signalSockets[0] = signalSockets[1] = -1;
}

void TerminationWatcher::readSignal()
{
    char byte = 0;
    if (::read(signalSockets[1], &byte, 1) == 1)
        emit terminationRequested(int(byte));
}
