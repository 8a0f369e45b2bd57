/* A stand-in serial device for Keylark's end-to-end test, loaded with LD_PRELOAD.
 *
 * Opening the path named by KEYLARK_FAKE_SERIAL_PATH yields a descriptor on /dev/null; modem-control
 * requests on that descriptor are answered here and every change of the line bits is appended to the
 * file named by KEYLARK_FAKE_SERIAL_LOG as "<CLOCK_MONOTONIC ns> <bits>". Its termios (tcgetattr and
 * tcsetattr, which the C library issues as system calls of its own) is kept here too. All other paths and
 * descriptors go to the C library unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#define MAX_FAKE_FDS 16

static int fake_fds[MAX_FAKE_FDS];
static int fake_fd_count;
static int line_bits;
static struct termios attributes = {.c_cflag = B9600 | CS8 | CREAD | HUPCL | CLOCAL};

static int (*real_open_fn(void))(const char *, int, ...)
{
    static int (*fn)(const char *, int, ...);
    if (!fn)
        fn = (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, "open");
    return fn;
}

static int is_fake_path(const char *path)
{
    const char *fake = getenv("KEYLARK_FAKE_SERIAL_PATH");
    return path && fake && *fake && strcmp(path, fake) == 0;
}

static int is_fake_fd(int fd)
{
    for (int i = 0; i < fake_fd_count; ++i)
        if (fake_fds[i] == fd)
            return 1;
    return 0;
}

static int open_fake(int flags)
{
    int fd = real_open_fn()("/dev/null", (flags & O_CLOEXEC) | O_RDWR);
    if (fd >= 0 && fake_fd_count < MAX_FAKE_FDS)
        fake_fds[fake_fd_count++] = fd;
    return fd;
}

static void record_bits(int bits)
{
    const char *log = getenv("KEYLARK_FAKE_SERIAL_LOG");
    struct timespec now;
    char line[64];
    int fd, length;
    line_bits = bits;
    if (!log)
        return;
    clock_gettime(CLOCK_MONOTONIC, &now);
    length =
        snprintf(line, sizeof line, "%lld %d\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec, bits);
    fd = real_open_fn()(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (write(fd, line, (size_t)length) < 0)
        perror("fake_serial");
    close(fd);
}

static mode_t mode_argument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
}

int open(const char *path, int flags, ...)
{
    va_list args;
    mode_t mode;
    va_start(args, flags);
    mode = mode_argument(flags, args);
    va_end(args);
    if (is_fake_path(path))
        return open_fake(flags);
    return real_open_fn()(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list args;
    mode_t mode;
    va_start(args, flags);
    mode = mode_argument(flags, args);
    va_end(args);
    if (is_fake_path(path))
        return open_fake(flags);
    return real_open_fn()(path, flags | O_LARGEFILE, mode);
}

int __open_2(const char *path, int flags)
{
    return open(path, flags);
}

int __open64_2(const char *path, int flags)
{
    return open64(path, flags);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    static int (*real_openat)(int, const char *, int, ...);
    va_list args;
    mode_t mode;
    va_start(args, flags);
    mode = mode_argument(flags, args);
    va_end(args);
    if (is_fake_path(path))
        return open_fake(flags);
    if (!real_openat)
        real_openat = (int (*)(int, const char *, int, ...))dlsym(RTLD_NEXT, "openat");
    return real_openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list args;
    mode_t mode;
    va_start(args, flags);
    mode = mode_argument(flags, args);
    va_end(args);
    return openat(dirfd, path, flags | O_LARGEFILE, mode);
}

int __openat_2(int dirfd, const char *path, int flags)
{
    return openat(dirfd, path, flags);
}

int close(int fd)
{
    static int (*real_close)(int);
    for (int i = 0; i < fake_fd_count; ++i) {
        if (fake_fds[i] == fd) {
            fake_fds[i] = fake_fds[--fake_fd_count];
            break;
        }
    }
    if (!real_close)
        real_close = (int (*)(int))dlsym(RTLD_NEXT, "close");
    return real_close(fd);
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real_ioctl)(int, unsigned long, ...);
    va_list args;
    void *argument;
    va_start(args, request);
    argument = va_arg(args, void *);
    va_end(args);
    if (is_fake_fd(fd)) {
        int *bits = (int *)argument;
        switch (request) {
        case TIOCMSET:
            record_bits(*bits);
            return 0;
        case TIOCMBIS:
            record_bits(line_bits | *bits);
            return 0;
        case TIOCMBIC:
            record_bits(line_bits & ~*bits);
            return 0;
        case TIOCMGET:
            *bits = line_bits;
            return 0;
        default:
            errno = ENOTTY;
            return -1;
        }
    }
    if (!real_ioctl)
        real_ioctl = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    return real_ioctl(fd, request, argument);
}

int tcgetattr(int fd, struct termios *termios_p)
{
    static int (*real_tcgetattr)(int, struct termios *);
    if (is_fake_fd(fd)) {
        *termios_p = attributes;
        return 0;
    }
    if (!real_tcgetattr)
        real_tcgetattr = (int (*)(int, struct termios *))dlsym(RTLD_NEXT, "tcgetattr");
    return real_tcgetattr(fd, termios_p);
}

int tcsetattr(int fd, int optional_actions, const struct termios *termios_p)
{
    static int (*real_tcsetattr)(int, int, const struct termios *);
    if (is_fake_fd(fd)) {
        attributes = *termios_p;
        return 0;
    }
    if (!real_tcsetattr)
        real_tcsetattr = (int (*)(int, int, const struct termios *))dlsym(RTLD_NEXT, "tcsetattr");
    return real_tcsetattr(fd, optional_actions, termios_p);
}
