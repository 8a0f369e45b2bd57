#pragma once

#include "winkeyer/winkeyer_listener.h"

#include <mutex>
#include <string>
#include <vector>

// What the service told, kept for the test's thread to read.
struct Heard
{
    int firmware = 0;
    std::vector<QString> failures;
    std::string keyed; // merged signs in <>
    std::string paddle;
    std::vector<int> knob;
    std::vector<WinkeyerListener::End> ends;
    WinkeyerStatus status;
};

class RecordingListener : public WinkeyerListener
{
public:
    Heard heard() const
    {
        std::scoped_lock lock(mutex_);
        return heard_;
    }

    void keyerOpened(int firmware) override
    {
        record([&](Heard &h) { h.firmware = firmware; });
    }
    void keyerFailed(const QString &reason) override
    {
        record([&](Heard &h) { h.failures.push_back(reason); });
    }
    void signKeyed(const WinkeyerItem &item) override
    {
        const QByteArray echoes = item.echoes();
        record([&](Heard &h) {
            h.keyed += echoes.size() > 1 ? "<" + echoes.toStdString() + ">" : echoes.toStdString();
        });
    }
    void paddleKeyed(char character) override
    {
        record([&](Heard &h) { h.paddle += character; });
    }
    void statusChanged(WinkeyerStatus status) override
    {
        record([&](Heard &h) { h.status = status; });
    }
    void knobMoved(int wpm) override
    {
        record([&](Heard &h) { h.knob.push_back(wpm); });
    }
    void textEnded(End end) override
    {
        record([&](Heard &h) { h.ends.push_back(end); });
    }

private:
    template <typename Change> void record(Change change)
    {
        std::scoped_lock lock(mutex_);
        change(heard_);
    }

    mutable std::mutex mutex_;
    Heard heard_;
};
