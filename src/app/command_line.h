#pragma once

#include <QString>
#include <QStringList>

// Keylark's command line. Reading it needs no application object, so --help and --version answer
// without a display. Qt's own options (-platform, -display, -style...) pass through for QApplication.
class CommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    struct Result
    {
        Action action = Action::Run;
        QString text;         // the help or version for standard output, or what is wrong for standard error
        QString settingsPath; // absolute; empty for the default settings file
        bool platformGiven = false;
        bool practice = false; // switch practice mode on, as the console's check box does
    };

    static constexpr int usageError = 2;

    explicit CommandLine(QString version);

    // The arguments as in argv, the program's own name first.
    Result parse(const QStringList &arguments) const;

private:
    QString version_;
};
