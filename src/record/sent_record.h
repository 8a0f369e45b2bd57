#pragma once

#include "keying/transmission_listener.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QMetaObject>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class SettingsStore;

// The record of what was sent: every pass keyed on the air (not in practice), one line each, appended to a
// plain-text file per UTC day in its folder ("sent-2026-03-04.txt"). A thread of its own writes each pass as
// soon as it ends, with one system call, so that a crash loses at most the pass being keyed; the worker only
// hands the pass over and never waits on the disk. A write that fails is reported once, as an information
// line, and again only after the record has been written in between; the passes wait, as many as maxPending,
// and are written once it can. Files older than the kept number of days are removed at the start, at each new
// day and when that number changes.
class SentRecord : public TransmissionListener
{
public:
    using Clock = std::function<QDateTime()>; // now; the record's days are UTC days

    static constexpr std::size_t maxPending = 10'000;

    explicit SentRecord(SettingsStore &store, const QString &folder = defaultFolder(), Clock clock = {});
    ~SentRecord() override;

    SentRecord(const SentRecord &) = delete;
    SentRecord &operator=(const SentRecord &) = delete;

    // $XDG_DATA_HOME/Keylark, or ~/.local/share/Keylark.
    static QString defaultFolder();
    static QString fileName(QDate day);
    // "2026-03-04T05:06:07.123Z  20 wpm  CQ DE AB1CD\n", and "  [stopped]" after a pass cut short.
    static QByteArray line(const KeyedPass &pass);
    QString folder() const { return folder_; }

    void passKeyed(const KeyedPass &pass) override;
    // Waits until the writer has tried everything asked of it so far.
    void waitUntilTried();

private:
    struct Pass
    {
        QDate day;
        QByteArray line;
    };

    void run();
    void writeTaken(std::deque<Pass> &taken);
    int append(QDate day, const QByteArray &bytes);
    void keepUnwritten(std::deque<Pass> &unwritten);
    void removeOldFiles();
    QDate today() const;

    SettingsStore &store_;
    const QString folder_;
    const Clock clock_;
    QMetaObject::Connection settingsWatch_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable tried_;
    std::deque<Pass> pending_;
    std::uint64_t requested_ = 0; // passes and prunes asked for
    std::uint64_t done_ = 0;      // of those, the ones the writer has tried
    bool pruneWanted_ = true;
    bool newPasses_ = false; // passes handed over since the writer last took them
    bool ending_ = false;
    std::size_t lost_ = 0; // passes dropped while the record could not be written

    // The writer's own.
    bool failing_ = false;
    QDate prunedOn_;
    std::thread writer_;
};
