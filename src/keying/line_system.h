#pragma once

// The three system calls that drive the keying line. Keylark uses the real ones; tests put a recorder in
// their place. Each call behaves like its system call: -1 with errno set on failure.
class LineSystem
{
public:
    virtual ~LineSystem() = default;

    virtual int open(const char *path, int flags) = 0;
    virtual int setModemLines(int fd, int bits) = 0; // ioctl(fd, TIOCMSET, &bits)
    virtual int close(int fd) = 0;

    static LineSystem &system();
};
