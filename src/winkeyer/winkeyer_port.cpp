#include "winkeyer/winkeyer_port.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A notifier may go while it tells of its descriptor: it is disabled at once and deleted later.
void retire(QSocketNotifier *notifier)
{
    notifier->setEnabled(false);
    notifier->deleteLater();
}

} // namespace

WinkeyerPort::WinkeyerPort(QObject *parent) : QObject(parent) {}

WinkeyerPort::~WinkeyerPort()
{
    close();
}

// O_NONBLOCK: a real UART's open waits for carrier detect, which a keyer never raises; O_NOCTTY: an
// unplugged adapter must not end Keylark with SIGHUP.
QString WinkeyerPort::open(const QString &path)
{
    close();
    path_ = path;
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QStringLiteral("Cannot open %1: %2").arg(path, systemError(errno));
    termios attributes{};
    if (tcgetattr(fd, &attributes) == 0) {
        cfmakeraw(&attributes);
        attributes.c_cflag = (attributes.c_cflag & ~tcflag_t(PARENB | CRTSCTS)) | CSTOPB | CLOCAL | CREAD;
        attributes.c_cc[VMIN] = 1; // with 0, a read finding nothing would return 0, as after a hang-up
        attributes.c_cc[VTIME] = 0;
        cfsetispeed(&attributes, B1200);
        cfsetospeed(&attributes, B1200);
        if (tcsetattr(fd, TCSANOW, &attributes) == 0) {
            fd_ = fd;
            failing_ = false;
            reader_ = {new QSocketNotifier(fd, QSocketNotifier::Read), retire};
            connect(reader_.get(), &QSocketNotifier::activated, this, &WinkeyerPort::readAll);
            writer_ = {new QSocketNotifier(fd, QSocketNotifier::Write), retire};
            writer_->setEnabled(false);
            connect(writer_.get(), &QSocketNotifier::activated, this, [this] {
                writer_->setEnabled(false);
                if (flush())
                    emit written();
            });
            return {};
        }
    }
    const int error = errno;
    ::close(fd);
    return QStringLiteral("Cannot set %1 to 1200 baud, 8N2: %2").arg(path, systemError(error));
}

void WinkeyerPort::close()
{
    reader_.reset();
    writer_.reset();
    outgoing_.clear();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void WinkeyerPort::write(const QByteArray &bytes)
{
    if (fd_ < 0 || failing_)
        return;
    outgoing_ += bytes;
    flush();
}

int WinkeyerPort::backlog() const
{
    int queued = 0;
    return int(outgoing_.size()) + (fd_ >= 0 && ioctl(fd_, TIOCOUTQ, &queued) == 0 ? queued : 0);
}

void WinkeyerPort::dropInput()
{
    tcflush(fd_, TCIFLUSH);
}

// tcdrain() could wait without end on a stuck USB adapter: look at the output queue instead.
void WinkeyerPort::drain(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (fd_ >= 0 && !failing_ && backlog() > 0 && !deadline.hasExpired()) {
        flush();
        QThread::msleep(5);
    }
}

void WinkeyerPort::readAll()
{
    char buffer[64];
    while (fd_ >= 0) {
        const long count = ::read(fd_, buffer, sizeof buffer);
        if (count > 0)
            emit received(QByteArray(buffer, count));
        else if (count == 0)
            fail(QStringLiteral("it hung up"));
        else if (errno != EINTR && errno != EAGAIN)
            fail(systemError(errno));
        else if (errno == EAGAIN)
            return;
    }
}

bool WinkeyerPort::flush()
{
    while (!outgoing_.isEmpty() && !failing_) {
        const long count = ::write(fd_, outgoing_.constData(), size_t(outgoing_.size()));
        if (count > 0) {
            outgoing_.remove(0, count);
        } else if (count < 0 && errno == EAGAIN) {
            writer_->setEnabled(true);
            return false;
        } else if (count == 0 || errno != EINTR) {
            const QString why = systemError(count < 0 ? errno : EIO);
            failing_ = true;
            QTimer::singleShot(0, this, [this, why] {
                if (failing_)
                    fail(why);
            });
        }
    }
    return !failing_;
}

void WinkeyerPort::fail(const QString &why)
{
    if (fd_ < 0)
        return;
    close();
    emit failed(QStringLiteral("The WinKeyer on %1 is gone: %2").arg(path_, why));
}
