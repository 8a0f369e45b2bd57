#pragma once

#include <QString>

#include <functional>

// What the transmission worker writes to the console. The console implements it and applies the calls on
// the interface thread, in the order the worker makes them.
class ConsoleLog
{
public:
    virtual ~ConsoleLog() = default;

    virtual void appendText(const QString &text) = 0;
    virtual void appendPrompt(const QString &text) = 0;
    virtual void lineInClear() = 0;
    // A line of the operator's paddle sending: its prompt (stamp and mark), then its characters, which the
    // console does not narrate as Keylark's sending.
    virtual void appendPaddlePrompt(const QString &text) = 0;
    virtual void appendPaddleText(const QString &text) = 0;
    // The paddles broke into Keylark's text and stopped the transmission.
    virtual void brokenIn() = 0;
};

// Finds the console at the moment of a log call; yields nullptr while no console exists.
using ConsoleLookup = std::function<ConsoleLog *()>;
