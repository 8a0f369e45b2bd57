#include "open_watch.h"

#include <QFile>

#include <sys/inotify.h>
#include <unistd.h>

OpenWatch::OpenWatch(const QStringList &files)
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), files_(files.size())
{
    for (const QString &file : files) {
        const int watch = fd_ < 0 ? -1 : inotify_add_watch(fd_, QFile::encodeName(file).constData(), IN_OPEN);
        if (watch >= 0)
            watched_.insert(watch, file);
    }
}

OpenWatch::~OpenWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QStringList OpenWatch::opened()
{
    QStringList files;
    alignas(inotify_event) char buffer[4096];
    ssize_t length;
    while ((length = ::read(fd_, buffer, sizeof buffer)) > 0) {
        for (char *at = buffer; at < buffer + length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            if (event->mask & IN_OPEN)
                files.append(watched_.value(event->wd));
            at += sizeof(inotify_event) + event->len;
        }
    }
    return files;
}
