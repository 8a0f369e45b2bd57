#pragma once

#include "keying/keying_output.h"
#include "keying/output_listener.h"
#include "winkeyer/winkeyer_listener.h"
#include "winkeyer/winkeyer_service.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

class ElementTimeline;
class SettingsStore;

// Keys the transmission's text with a WinKeyer on a serial port ("winKeyerPort"). Each piece goes to the
// keyer's buffer under its flow control, and the keyer's echo of each sign is the transmission's progress:
// what the log, the record and the replies report is what the keyer sent. A stop clears the keyer's buffer
// at once. The keyer is opened at start, never in practice, and again by the next send after a failure.
// The operator's paddle sending and break-ins go to the output's listener, the keyer's KEYDOWN bit to the
// element timeline, and its speed knob to the "wpm" setting when "winKeyerFollowsKnob" is on.
class WinKeyerOutput : public KeyingOutput, private WinkeyerListener
{
public:
    // timing: how long the keyer is waited for; tests shorten it. timeline: where the keyer's key-down and
    // key-up go (the console's key lamp), or nullptr.
    explicit WinKeyerOutput(SettingsStore &store, WinkeyerTiming timing = {},
                            ElementTimeline *timeline = nullptr);
    ~WinKeyerOutput() override;

    WinKeyerOutput(const WinKeyerOutput &) = delete;
    WinKeyerOutput &operator=(const WinKeyerOutput &) = delete;

    Abilities abilities() const override { return {.stopsMidPiece = true, .tunes = true, .weights = true}; }
    bool startUp(bool practising) override;
    bool begin() override;
    bool keyPiece(const KeyingPiece &piece, KeyingProgress &progress) override;
    void pausing(int) override {}
    void end() override { weigh(0); }
    void stop() override;
    void settingChanged(const QString &key, bool transmitting) override;
    void shutDown() override;
    void setOutputListener(OutputListener *listener) override { operator_ = listener; }

    // The keyer's items for Keylark's characters: a joined pair of letters ("%AR%") as one merged sign,
    // a character without a sign as a space. echoes holds, by an item's tag, what the log shows once the
    // keyer echoes it; leftOut what the keyer cannot key.
    struct KeyerText
    {
        std::vector<WinkeyerItem> items;
        std::vector<QByteArray> echoes;
        QByteArray leftOut;
    };
    static KeyerText keyerText(const QByteArray &characters);

private:
    struct Heard
    {
        int ended; // texts that had ended before this was heard
        int tag;   // of a sign keyed; 0 when the text ended
        End end;
    };

    void keyerOpened(int firmware) override;
    void keyerFailed(const QString &reason) override;
    void signKeyed(const WinkeyerItem &item) override;
    void paddleKeyed(char character) override;
    void statusChanged(WinkeyerStatus status) override;
    void knobMoved(int wpm) override;
    void textEnded(End end) override;

    WinkeyerSettings settings() const;
    void weigh(int weighting);
    bool keyText(KeyerText text, KeyingProgress &progress);
    bool tune(int seconds);
    void hear(const Heard &event);
    void showKey(bool down);

    SettingsStore &store_;
    const WinkeyerTiming timing_;
    QString port_;
    std::atomic<int> speedStep_{0};
    std::atomic<int> weighting_{0}; // the piece's, in percent of a dit moved from the gap to the element
    ElementTimeline *timeline_;
    std::atomic<OutputListener *> operator_{nullptr};
    bool keyDown_ = false; // as last published; on the service's thread

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Heard> heard_;
    int sent_ = 0;  // texts handed to the keyer
    int ended_ = 0; // texts the keyer ended

    WinkeyerService service_; // last: its thread, which calls back into this output, ends first
};
