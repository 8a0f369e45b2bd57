#pragma once

#include "winkeyer/winkeyer_protocol.h"
#include "winkeyer/winkeyer_queue.h"

#include <QString>

// Hears what the WinKeyer service sees. Every call comes on the service's own thread: return at once.
class WinkeyerListener
{
public:
    enum class End : std::uint8_t {
        Keyed,    // the keyer sent every sign and is idle
        Cleared,  // a clear dropped what was left
        BrokenIn, // the paddles took over and the keyer dropped what was left
        Failed,   // the keyer failed; keyerFailed() says why
    };

    virtual ~WinkeyerListener() = default;

    virtual void keyerOpened(int firmware) = 0;
    // The port is closed again; the next text or open tries once more.
    virtual void keyerFailed(const QString &reason) = 0;
    // A sign of the host's text, as the keyer echoed it once sent: the true progress.
    virtual void signKeyed(const WinkeyerItem &item) = 0;
    virtual void paddleKeyed(char character) = 0;
    virtual void statusChanged(WinkeyerStatus status) = 0;
    virtual void knobMoved(int wpm) = 0;
    // The texts handed over so far have ended.
    virtual void textEnded(End end) = 0;
};
