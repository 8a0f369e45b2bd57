#pragma once

#include "settings/settings_file.h"

#include <QObject>
#include <QString>
#include <QTimer>

// Keeps the settings file on disk. It reads the file once, at start; a file it cannot use is set aside
// under a new name (or, when it cannot even be read, left alone and never written), and Keylark starts on
// the defaults. Writing is atomic (the whole new file or the old one) and comes a moment after a change,
// so that a burst of changes is written once.
class SettingsFileKeeper : public QObject
{
    Q_OBJECT

public:
    explicit SettingsFileKeeper(const QString &filePath, QObject *parent = nullptr);

    QString filePath() const { return filePath_; }
    // What the file holds; empty when there is no file or it could not be used.
    SettingsFile load();
    // Why the file found by load() could not be used, or empty. The line went to standard error at once.
    QString loadProblem() const { return loadProblem_; }
    // False when the file on disk could not be read: it is never overwritten.
    bool isWritable() const { return writable_; }

    // Asks for a write in a moment, from any thread: writeDue() follows on the keeper's thread.
    void writeSoon();
    // Writes the file now, making its folder when needed; false, and said on standard error, when not.
    bool write(const SettingsFile &contents);

signals:
    void writeDue();

private:
    void setAside(const QString &reason);
    void reportLoadProblem(const QString &line);

    QString filePath_;
    QString loadProblem_;
    bool writable_ = true;
    QTimer writeTimer_;
};
