#pragma once

#include "keying/console_log.h"
#include "keying/element_timeline.h"
#include "keying/keyboard_text.h"
#include "keying/keying_controller.h"
#include "keying/queued_keying.h"

#include <QStringList>

#include <atomic>
#include <functional>

// Stands in for the serial controller: records every request and reports "sending" as the test says. With
// queued on, it offers keyboard mode; the test takes the typed characters as the worker would.
class RecordingKeying : public KeyingController, public QueuedKeying
{
public:
    explicit RecordingKeying(ConsoleLookup console) : console(std::move(console)) {}
    ~RecordingKeying() override
    {
        if (onDestroy)
            onDestroy();
    }

    int cwSendString(const QString &text) override
    {
        sent.append(text);
        if (sendingAfterSend)
            sending = 1;
        return 0;
    }
    int cwIsSending() const override { return sending; }
    void cwSendStop() override { ++stops; }
    void cwSendClear() override { ++clears; }
    void cwBeaconTransmission() override
    {
        ++beacons;
        armed = true;
    }
    bool cwBeaconArmed() const override { return armed; }
    int cwBeaconPauseLeft() const override { return pauseLeft; }
    void cwBeaconDisarm() override { armed = false; }
    ElementTimeline *elementTimeline() override { return &timeline; }
    QueuedKeying *queuedKeying() override { return queued ? this : nullptr; }
    void setTextSource(TextSource *) override {}
    KeyboardText &keyboardText() override { return keyboard; }
    int cwSendQueued() override
    {
        ++queuedSends;
        return queuedResult;
    }
    void cwStopQueued() override {}
    void cwHoldPtt(bool) override {}

    ConsoleLookup console;
    ElementTimeline timeline; // the test publishes what the engine would key
    QStringList sent;
    std::atomic<int> sending = 0;
    std::atomic<bool> armed = false;
    std::atomic<int> pauseLeft = 0;
    bool sendingAfterSend = false;
    int stops = 0;
    int clears = 0;
    int beacons = 0;
    std::function<void()> onDestroy;
    bool queued = false;
    KeyboardText keyboard;
    int queuedSends = 0;
    int queuedResult = 1;
};
