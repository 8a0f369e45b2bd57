#include "keying/line_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

class SystemLine : public LineSystem
{
public:
    int open(const char *path, int flags) override { return ::open(path, flags); }
    int duplicate(int fd, int lowest) override { return ::fcntl(fd, F_DUPFD_CLOEXEC, lowest); }
    int getAttributes(int fd, termios *attributes) override { return ::tcgetattr(fd, attributes); }
    int setAttributes(int fd, const termios *attributes) override
    {
        return ::tcsetattr(fd, TCSANOW, attributes);
    }
    int setModemLines(int fd, int bits) override { return ::ioctl(fd, TIOCMSET, &bits); }
    int close(int fd) override { return ::close(fd); }
};

} // namespace

LineSystem &LineSystem::system()
{
    static SystemLine line;
    return line;
}
