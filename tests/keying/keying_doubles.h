#pragma once

#include "keying/console_log.h"
#include "keying/line_system.h"
#include "keying/transmission_listener.h"
#include "keying/wait_clock.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <termios.h>
#include <vector>

// A clock that only moves when the worker waits: no test ever sleeps in real time.
class VirtualClock : public WaitClock
{
public:
    static constexpr std::int64_t origin = 1'000'000'000'000; // ns

    std::int64_t now() override { return now_; }
    void sleepUntil(std::int64_t deadline) override
    {
        if (deadline > now_)
            now_.store(deadline);
        ++sleeps_;
        if (onSleep)
            onSleep();
        runDue();
    }
    void sleepSecond() override
    {
        now_ += 1'000'000'000;
        ++seconds_;
        if (onSecond)
            onSecond(seconds_);
    }

    void advance(std::int64_t nanos) { now_ += nanos; }
    // Runs the action once, after the first sleep that ends at or after the given virtual ms.
    void at(double ms, std::function<void()> action)
    {
        std::scoped_lock lock(dueMutex_);
        due_.push_back({ms, std::move(action)});
    }
    // Milliseconds since the clock was made.
    double elapsedMs() const { return double(now_ - origin) / 1e6; }
    int sleeps() const { return sleeps_; }
    int seconds() const { return seconds_; }

    std::function<void()> onSleep;            // runs after every sleepUntil, on the sleeping thread
    std::function<void(int second)> onSecond; // runs after every sleepSecond

private:
    struct Due
    {
        double ms;
        std::function<void()> action;
    };

    void runDue()
    {
        std::vector<std::function<void()>> actions;
        {
            std::scoped_lock lock(dueMutex_);
            for (auto it = due_.begin(); it != due_.end();) {
                if (elapsedMs() < it->ms) {
                    ++it;
                    continue;
                }
                actions.push_back(std::move(it->action));
                it = due_.erase(it);
            }
        }
        for (auto &action : actions)
            action();
    }

    std::mutex dueMutex_;
    std::vector<Due> due_;
    std::atomic<std::int64_t> now_{origin};
    std::atomic<int> sleeps_{0};
    std::atomic<int> seconds_{0};
};

// The attributes of a serial port that nothing has configured yet.
inline termios freshPort()
{
    termios attributes{};
    attributes.c_cflag = B9600 | CS8 | CREAD | HUPCL | CLOCAL;
    cfsetospeed(&attributes, B9600);
    cfsetispeed(&attributes, B9600);
    return attributes;
}

// Records every call on the keying line, stamped with the virtual clock.
class RecordingLine : public LineSystem
{
public:
    struct Call
    {
        char what; // 'o'pen, 'd'uplicate, 'g'et or 't' set attributes, 's'et lines, 'c'lose
        double atMs;
        int fd;
        int bits;
        QString path;
        bool ok = true;
    };

    explicit RecordingLine(VirtualClock *clock = nullptr) : clock_(clock) {}

    int open(const char *path, int flags) override
    {
        record({'o', stamp(), 0, flags, QString::fromUtf8(path)});
        if (openError != 0) {
            errno = openError;
            return -1;
        }
        return descriptor;
    }
    int duplicate(int fd, int lowest) override
    {
        record({'d', stamp(), fd, lowest, {}});
        if (duplicateTo < 0)
            errno = EMFILE;
        return duplicateTo;
    }
    int getAttributes(int fd, termios *attributes) override
    {
        record({'g', stamp(), fd, 0, {}});
        if (attributesError != 0) {
            errno = attributesError;
            return -1;
        }
        *attributes = this->attributes;
        return 0;
    }
    int setAttributes(int fd, const termios *attributes) override
    {
        record({'t', stamp(), fd, int(attributes->c_cflag), {}});
        this->attributes = *attributes;
        return 0;
    }
    int setModemLines(int fd, int bits) override
    {
        if (beforeSet)
            beforeSet(bits);
        const bool fails = setError != 0 && (failSetBits < 0 || failSetBits == bits) && failures != 0;
        record({'s', stamp(), fd, bits, {}, !fails});
        if (!fails)
            return 0;
        if (failures > 0)
            --failures;
        errno = setError;
        return -1;
    }
    int close(int fd) override
    {
        record({'c', stamp(), fd, 0, {}});
        return 0;
    }

    std::vector<Call> calls() const
    {
        std::scoped_lock lock(mutex_);
        return calls_;
    }
    std::vector<Call> sets() const
    {
        std::vector<Call> result;
        for (const Call &call : calls())
            if (call.what == 's')
                result.push_back(call);
        return result;
    }
    int count(char what) const
    {
        int n = 0;
        for (const Call &call : calls())
            n += call.what == what;
        return n;
    }
    void clear()
    {
        std::scoped_lock lock(mutex_);
        calls_.clear();
    }

    // The calls that open, set the lines and close, without the ones that read and set attributes.
    std::vector<Call> portCalls() const
    {
        std::vector<Call> result;
        for (const Call &call : calls())
            if (call.what != 'g' && call.what != 't')
                result.push_back(call);
        return result;
    }

    int descriptor = 7;
    int duplicateTo = 11;    // -1: fails with EMFILE
    int attributesError = 0; // errno of a failing tcgetattr
    termios attributes = freshPort();
    int openError = 0;    // errno of a failing open
    int setError = 0;     // errno of a failing TIOCMSET
    int failSetBits = -1; // only requests with these bits fail; -1: all
    int failures = -1;    // how many of them fail before they succeed again; -1: all
    std::function<void(int bits)> beforeSet;

protected:
    double stamp() const { return clock_ ? clock_->elapsedMs() : 0.0; }

private:
    void record(Call call)
    {
        std::scoped_lock lock(mutex_);
        calls_.push_back(std::move(call));
    }

    VirtualClock *clock_;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

// Records the worker's console calls in order, as "text:X", "prompt:X" and "clear".
class RecordingConsole : public ConsoleLog
{
public:
    explicit RecordingConsole(VirtualClock *clock = nullptr) : clock_(clock) {}

    void appendText(const QString &text) override { record(QStringLiteral("text:") + text); }
    void appendPrompt(const QString &text) override { record(QStringLiteral("prompt:") + text); }
    void lineInClear() override { record(QStringLiteral("clear")); }
    void appendPaddlePrompt(const QString &text) override { appendPrompt(text); }
    void appendPaddleText(const QString &text) override { appendText(text); }
    void brokenIn() override { record(QStringLiteral("brokenIn")); }

    QStringList calls() const
    {
        std::scoped_lock lock(mutex_);
        return calls_;
    }
    // Virtual time of every echoed character, in ms.
    std::vector<double> echoTimes() const
    {
        std::scoped_lock lock(mutex_);
        return echoTimes_;
    }
    // The appended texts joined, with every timestamp shown as "<T>".
    QString log() const
    {
        QString result;
        for (const QString &call : calls()) {
            if (call.startsWith(QStringLiteral("text:")))
                result += call.mid(5);
            else if (call.startsWith(QStringLiteral("prompt:")))
                result += QStringLiteral("<T>");
        }
        return result;
    }
    void waitFor(const QString &call)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return calls_.contains(call); });
    }

private:
    void record(const QString &call)
    {
        {
            std::scoped_lock lock(mutex_);
            calls_.append(call);
            if (clock_ && call.startsWith(QStringLiteral("text:")) && call != QStringLiteral("text:\n"))
                echoTimes_.push_back(clock_->elapsedMs());
        }
        changed_.notify_all();
    }

    VirtualClock *clock_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    QStringList calls_;
    std::vector<double> echoTimes_;
};

// Keeps every pass the worker reports.
class RecordingListener : public TransmissionListener
{
public:
    void passKeyed(const KeyedPass &pass) override
    {
        std::scoped_lock lock(mutex_);
        passes_.push_back(pass);
    }
    std::vector<KeyedPass> passes() const
    {
        std::scoped_lock lock(mutex_);
        return passes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<KeyedPass> passes_;
};
