#pragma once

#include <cstdint>

// The bytes of the WinKeyer host protocol that Keylark uses. The keyer stays in its WK1-compatible status
// mode, where bit 3 of a status byte is KEYDOWN (WK2 mode would make it the mark of a pushbutton byte).
namespace winkeyer {

inline constexpr std::uint8_t admin = 0x00; // followed by one of the admin bytes below
inline constexpr std::uint8_t adminHostOpen = 0x02;
inline constexpr std::uint8_t adminHostClose = 0x03;
inline constexpr std::uint8_t adminEcho = 0x04;

inline constexpr std::uint8_t setSpeed = 0x02;
inline constexpr std::uint8_t setWeighting = 0x03;
inline constexpr std::uint8_t setKnob = 0x05; // lowest wpm, range in wpm, 0
inline constexpr std::uint8_t clearBuffer = 0x0A;
inline constexpr std::uint8_t keyImmediate = 0x0B;
inline constexpr std::uint8_t setMode = 0x0E;
inline constexpr std::uint8_t nullCommand = 0x13;
inline constexpr std::uint8_t requestStatus = 0x15;
inline constexpr std::uint8_t setRatio = 0x17;
inline constexpr std::uint8_t mergeLetters = 0x1B;
inline constexpr std::uint8_t bufferedSpeed = 0x1C;
inline constexpr std::uint8_t cancelBufferedSpeed = 0x1E;

inline constexpr std::uint8_t modePaddleEcho = 0x40;
inline constexpr std::uint8_t modeSerialEcho = 0x04;

inline constexpr int bufferSize = 128; // characters the keyer holds

// The dots and dashes the keyer sends for a character of its own alphabet; nullptr for a character it does
// not know. ' ' is the word space.
const char *patternOf(char character);

inline char upperCase(char character)
{
    return character >= 'a' && character <= 'z' ? char(character - 'a' + 'A') : character;
}

// The keyer keys a sign for this character; ' ' is its word space, no sign.
inline bool keyerHas(char character)
{
    return character != ' ' && patternOf(character) != nullptr;
}

} // namespace winkeyer

// What a status byte from the keyer says.
struct WinkeyerStatus
{
    bool wait = false;    // an internally timed event runs
    bool keyDown = false; // the key is down now
    bool busy = false;    // sending Morse
    bool breakIn = false; // the paddles have taken over
    bool xoff = false;    // the buffer is more than two thirds full: send no more text

    static bool isStatus(std::uint8_t byte) { return (byte & 0xE0) == 0xC0; }
    static bool isKnob(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }
    static WinkeyerStatus of(std::uint8_t byte);
    std::uint8_t byte() const;

    friend bool operator==(const WinkeyerStatus &, const WinkeyerStatus &) = default;
};
