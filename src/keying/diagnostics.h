#pragma once

#include "keying/diagnostic.h"

#include <QString>

#include <functional>

// Keylark's diagnostic lines. Information and error lines of its own go to standard output, failures of
// system calls to standard error in the form perror() gives; each line is flushed at once. An observer
// (the status bar) may follow them; it is called on the thread that wrote the line.
class Diagnostics
{
public:
    using Observer = std::function<void(const Diagnostic &diagnostic)>;

    // line + "\n" to standard output. An error that the status bar explains says what failed; any other
    // line's kind is its own mark, as Keylark's lines begin: "*** " for an error, "#.. " for information.
    static void out(const QString &line, Diagnostic::Failure failure = Diagnostic::Failure::None);
    // "prefix: strerror(err)\n" to standard error.
    static void systemError(const QString &prefix, int err);
    // Replaces the observer; the number returned names it for removeObserver().
    static int setObserver(Observer observer);
    // Removes the observer only if it is still the one that setObserver() numbered so.
    static void removeObserver(int number);
};
