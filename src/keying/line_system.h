#pragma once

#include <termios.h>

// The system calls that drive the keying line. Keylark uses the real ones; tests put a double in their
// place. Each call behaves like its system call: -1 with errno set on failure.
class LineSystem
{
public:
    virtual ~LineSystem() = default;

    virtual int open(const char *path, int flags) = 0;
    virtual int duplicate(int fd, int lowest) = 0;                    // fcntl(fd, F_DUPFD_CLOEXEC, lowest)
    virtual int getAttributes(int fd, termios *attributes) = 0;       // tcgetattr
    virtual int setAttributes(int fd, const termios *attributes) = 0; // tcsetattr(TCSANOW)
    virtual int setModemLines(int fd, int bits) = 0;                  // ioctl(fd, TIOCMSET, &bits)
    virtual int close(int fd) = 0;

    static LineSystem &system();
};
