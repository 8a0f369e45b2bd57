#include "keying/line_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

class SystemLine : public LineSystem
{
public:
    int open(const char *path, int flags) override { return ::open(path, flags); }
    int setModemLines(int fd, int bits) override { return ::ioctl(fd, TIOCMSET, &bits); }
    int close(int fd) override { return ::close(fd); }
};

} // namespace

LineSystem &LineSystem::system()
{
    static SystemLine line;
    return line;
}
