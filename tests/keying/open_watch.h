#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Watches files through inotify and reports every open of one of them, by anyone, through any link.
class OpenWatch
{
public:
    explicit OpenWatch(const QStringList &files);
    ~OpenWatch();
    OpenWatch(const OpenWatch &) = delete;
    OpenWatch &operator=(const OpenWatch &) = delete;

    // True when every file is watched.
    bool isValid() const { return fd_ >= 0 && watched_.size() == files_; }
    // The files opened since the previous call, once per open.
    QStringList opened();

private:
    int fd_ = -1;
    qsizetype files_ = 0;
    QHash<int, QString> watched_;
};
