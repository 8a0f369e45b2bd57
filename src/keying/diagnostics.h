#pragma once

#include <QString>

#include <functional>

// Keylark's diagnostic lines. Information and error lines of its own go to standard output, failures of
// system calls to standard error in the form perror() gives; each line is flushed at once. An observer
// (the status bar) may follow them; it is called on the thread that wrote the line, with the errno of a
// failed system call or 0.
class Diagnostics
{
public:
    using Observer = std::function<void(const QString &line, int error)>;

    static void out(const QString &line);                    // line + "\n" to standard output
    static void systemError(const QString &prefix, int err); // "prefix: strerror(err)\n" to standard error
    // Replaces the observer; the number returned names it for removeObserver().
    static int setObserver(Observer observer);
    // Removes the observer only if it is still the one that setObserver() numbered so.
    static void removeObserver(int number);
};
