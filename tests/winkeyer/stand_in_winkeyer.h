#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <string>
#include <vector>

// A WinKeyer of the tests' own on a pseudo-terminal. It answers as a keyer in host mode, keys its buffer
// at the speed set on a virtual clock that waitFor() and keySigns() move, echoes each sign once it is
// sent, raises XOFF above two thirds of its buffer, drops what overflows it, and tells every status
// change. It runs on the caller's thread: it reads and answers only inside waitFor() and serve().
class StandInWinkeyer
{
public:
    enum class Answer { Keyer, Silent, WrongEcho };

    // link: where the link to the pseudo-terminal goes; empty for a folder of its own.
    explicit StandInWinkeyer(const QString &link = {});
    ~StandInWinkeyer();

    // A link to the pseudo-terminal, as /dev/serial/by-id has; unplug() takes it away.
    QString path() const { return link_; }

    // Reads what the host wrote and, while keying, keys stepMs of virtual time a round, until done() holds
    // or 10 s have passed; returns done().
    bool waitFor(const std::function<bool()> &done, int stepMs = 250);
    // Keys in real time while more() holds.
    void serve(const std::function<bool()> &more);
    // Keys the next count signs of the buffer at once.
    void keySigns(int count);
    // Breaks in with the paddles: the buffer is dropped, text is sent and echoed, and the paddles let go.
    void paddle(const std::string &text);
    void turnKnob(int value);
    void unplug();
    void setXoffAbove(int entries);
    int buffered() const { return int(buffer_.size()); }

    Answer answer = Answer::Keyer;
    bool keying = true;
    int capacity = 128;

    // Told of each byte from the host ("host") and each sign keyed ("keyed"), as they come.
    std::function<void(const char *what, const QByteArray &bytes)> log;

    std::string keyed; // the host's signs as keyed, merged ones in <>
    std::vector<int> keyedWpm;
    QByteArray received; // every byte from the host
    std::string written; // the host's text as it came, merged signs in <>, commands left out
    int lost = 0;
    int clears = 0;
    bool xoffRaised = false;
    bool hostOpen = false;
    bool keyDown = false;
    int mode = 0, wpm = 0, weighting = 0, ratio = 0, knobLowest = 0, knobRange = 0;

private:
    void pump();
    void take(std::uint8_t byte);
    void run(const QByteArray &command);
    void reply(const QByteArray &bytes);
    void advance(double ms);
    bool keyOne(double *budget);
    void tellStatus();

    int master_ = -1;
    QTemporaryDir folder_;
    QString link_;
    int xoffAbove_ = 85;
    QByteArray command_;
    std::deque<QByteArray> buffer_;
    double signLeft_ = 0; // ms of the sign at the front of the buffer still to key
    int speed_ = 20;      // wpm, with any buffered change
    bool breakIn_ = false;
    int lastStatus_ = -1;
};
