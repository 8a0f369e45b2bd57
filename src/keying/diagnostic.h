#pragma once

#include <QString>

// One diagnostic line and what it is: an error or information, and for the failures that the status bar
// explains, which one failed. A failed system call also carries its reason and errno apart from the line.
struct Diagnostic
{
    enum class Kind { Information, Error };
    enum class Failure {
        None,
        SerialOpen,        // a transmission could not open the serial port
        SerialOpenAtStart, // the port to open at start could not be opened: nothing can send
        SerialInitialize,  // a send refused because the start-up failed
        NetworkListen,     // network keying could not listen on its port
        SystemCall,        // a system call failed: call names it, reason and errorNumber say why
    };

    QString line;
    Kind kind = Kind::Information;
    Failure failure = Failure::None;
    QString call;        // for a failed system call: what was called, without the reason
    QString reason;      // for a failed system call: the system's text for error
    int errorNumber = 0; // for a failed system call: its errno

    static Diagnostic informationLine(const QString &line)
    {
        Diagnostic diagnostic;
        diagnostic.line = line;
        return diagnostic;
    }
    static Diagnostic errorLine(const QString &line, Failure failure = Failure::None)
    {
        Diagnostic diagnostic = informationLine(line);
        diagnostic.kind = Kind::Error;
        diagnostic.failure = failure;
        return diagnostic;
    }
    bool isError() const { return kind == Kind::Error; }
};
