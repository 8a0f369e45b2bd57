#pragma once

#include "keying/keying_output.h"
#include "radio/radio_connection.h"
#include "radio/radio_keyer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

class ElementTimeline;
class SettingsStore;
class WaitClock;

// Keys the transmission's text with the radio's own keyer over CAT (RadioKeyer). The radio keys on its own,
// so the echo, the pass and the element timeline (the key lamp, the sidetone if it is on) follow Keylark's
// estimate of when each character goes out. The radio is opened at start, never in practice, and again
// by the next transmission after a failure. The settings are read at start.
class RadioOutput : public KeyingOutput
{
public:
    RadioOutput(SettingsStore &store, WaitClock &clock, ElementTimeline &timeline);
    ~RadioOutput() override;

    RadioOutput(const RadioOutput &) = delete;
    RadioOutput &operator=(const RadioOutput &) = delete;

    Abilities abilities() const override;
    bool startUp(bool practising) override;
    bool begin() override;
    bool keyPiece(const KeyingPiece &piece, KeyingProgress &progress) override;
    void pausing(int) override {}
    void end() override { transmitting_ = false; }
    void stop() override;
    void settingChanged(const QString &key, bool transmitting) override;
    void shutDown() override;

    // What the status bar says of the radio: what keys, or why nothing can.
    QString description() const { return description_; }
    RadioKeyer &keyer() { return keyer_; }

    // The radio's text of Keylark's characters: each that its keyer takes, a joined sign ("%AR%") as the
    // one sign of the radio's with its pattern, a character without a Morse sign as a space. echoes holds,
    // for each character of the text, what the log shows when it goes out; leftOut what it cannot key.
    struct RadioText
    {
        QByteArray text;
        std::vector<QByteArray> echoes;
        QByteArray leftOut;
    };
    static RadioText radioText(const QByteArray &characters);

private:
    struct Heard
    {
        quint64 text;
        int index; // -1: the text ended
        bool whole;
    };

    void readConnection();
    bool openRadio();
    void stateChanged(RadioKeyer::State state);
    void heard(const Heard &event);
    void noteCannotStop();
    bool keyText(const RadioText &text, KeyingProgress &progress);
    bool keyEchoes(quint64 id, const RadioText &text, KeyingProgress &progress);
    void lampCharacter(char character, std::int64_t from);
    void publishDueEdges(std::int64_t now, bool all);
    int speed() const;

    SettingsStore &store_;
    WaitClock &clock_;
    ElementTimeline &timeline_;
    std::optional<RadioConnection> connection_; // none: the settings name no radio
    QString radioName_;
    QString description_;
    bool modelStops_ = false;
    bool stopNoticeGiven_ = false;
    std::atomic<int> pieceSpeed_{0};        // the piece's own speed, 0 for the stored one
    std::atomic<int> speedStep_{0};         // of the transmission that runs
    std::atomic<bool> transmitting_{false}; // from a begin() that succeeded to its end()

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Heard> heard_;
    std::optional<RadioKeyer::State> outcome_; // of the open begin() waits for

    // The key lamp's edges of the character going out: instant, key-down length (0 for a key-up).
    std::deque<std::pair<std::int64_t, std::int64_t>> edges_;

    RadioKeyer keyer_; // last: its thread, which calls back into this output, ends first
};
