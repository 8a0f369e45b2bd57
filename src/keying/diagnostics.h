#pragma once

#include <QString>

#include <functional>

// Keylark's diagnostic lines. Information and error lines of its own go to standard output, failures of
// system calls to standard error in the form perror() gives; each line is flushed at once. An observer
// (the console's status bar) may follow them; it is called on the thread that wrote the line.
class Diagnostics
{
public:
    using Observer = std::function<void(const QString &line)>;

    static void out(const QString &line);                    // line + "\n" to standard output
    static void systemError(const QString &prefix, int err); // "prefix: strerror(err)\n" to standard error
    static void setObserver(Observer observer);
};
