#pragma once

#include "keying/text_source.h"

#include <QByteArray>

#include <vector>

// One datagram of the cwdaemon protocol, as Keylark understands it.
struct NetworkRequest
{
    enum class Kind {
        Empty,     // nothing to do: an empty datagram, or one that starts with a zero byte
        Text,      // steps to key; replyWanted when the text ended in "^"
        Reset,     // ESC "0"
        Speed,     // ESC "2", value in wpm
        Abort,     // ESC "4"
        Exit,      // ESC "5", refused: only the operator quits Keylark
        Weighting, // ESC "7", value -50 to 50
        Device,    // ESC "8", refused: only the operator chooses the port
        Tune,      // ESC "c", value in seconds, 0 to 10
        Ptt,       // ESC "a", value 1 on, 0 off
        PttDelay,  // ESC "d", value the PTT lead-in in ms, 0 to 50
        Reply,     // ESC "h": text is what goes back, after an "h", once the next text has been keyed
        Ignored,   // a request that has no meaning for Keylark (tone, PTT, sound and the like)
        Malformed, // a known request whose value is missing, not a whole number or out of its range
        Unknown,   // an ESC followed by an unknown letter, or by nothing (letter 0)
    };

    Kind kind = Kind::Empty;
    char letter = 0; // the escape request's letter
    int value = 0;
    // Text: as received, up to a "^" or a zero byte; Reply: the text after "h"; Malformed: the value.
    QByteArray text;
    bool replyWanted = false;
    std::vector<KeyingStep> steps; // Text
    int skipped = 0;               // Text: characters without a Morse sign, left out
};

// Reads one datagram. Pure: it keeps no state and touches nothing.
class RequestParser
{
public:
    static constexpr int speedStep = 2;   // wpm of each "+" and "-"
    static constexpr int lowestSpeed = 4; // the speeds a client may ask for
    static constexpr int highestSpeed = 60;
    static constexpr int longestPttDelay = 50; // ms

    static NetworkRequest parse(const QByteArray &datagram);
    // The steps that key a text: prosign characters as joined signs, "+", "-" and "~" as their steps,
    // small letters as capitals, line ends dropped; other characters without a Morse sign are left out and
    // counted.
    static std::vector<KeyingStep> steps(const QByteArray &text, int *skipped = nullptr);

private:
    static NetworkRequest escapeRequest(const QByteArray &body);
};
