#include "app/command_line.h"

#include "settings/settings_file.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

namespace {

const QString programName = QStringLiteral("keylark");

// clang-format off
// The options QGuiApplication and QApplication read from the same command line.
const char *const qtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                      "qwindowgeometry", "qwindowicon", "qwindowtitle", "display",
                                      "geometry", "session", "style", "stylesheet"};
const char *const qtFlagOptions[] = {"reverse", "widgetcount"};
// clang-format on

const QCommandLineOption helpOption({"h", "help"}, "Show this help and exit.");
const QCommandLineOption versionOption({"v", "version"}, "Show the version and exit.");
const QCommandLineOption settingsOption(
    "settings", "Read and save the settings in <file> instead of\n~/.config/Keylark/settings.json.", "file");
const QCommandLineOption
    practiceOption("practice", "Start in practice mode: send without a transmitter,\nopening no port.");

QString optionNames(const QCommandLineOption &option)
{
    QStringList names;
    for (const QString &name : option.names())
        names += (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty())
        text += QStringLiteral(" <%1>").arg(option.valueName());
    return text;
}

QString helpText()
{
    QString text =
        QStringLiteral("Usage: %1 [options]\n"
                       "Keylark sends Morse code by keying a transmitter through a serial port.\n\n"
                       "Options:\n")
            .arg(programName);
    for (const QCommandLineOption &option : {helpOption, versionOption, settingsOption, practiceOption})
        text += QStringLiteral("  %1  %2\n")
                    .arg(optionNames(option).leftJustified(18),
                         option.description().replace(u'\n', QStringLiteral("\n") + QString(22, u' ')));
    text += QStringLiteral("\nQt's standard options, such as -platform and -display, are also accepted.\n"
                           "See keylark(1) for the settings file and access to the serial port.\n");
    return text;
}

QCommandLineOption hidden(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

CommandLine::Result answer(CommandLine::Action action, const QString &text)
{
    CommandLine::Result result;
    result.action = action;
    result.text = text;
    return result;
}

CommandLine::Result failure(const QString &problem)
{
    return answer(
        CommandLine::Action::Fail,
        QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(programName, problem));
}

// An existing file given with --settings must be one Keylark can use: the store sets aside a file it cannot
// read as settings, which is right for its own file but not for some other file named by mistake.
QString existingFileProblem(const QString &path)
{
    QFile file(path);
    if (file.size() > SettingsFile::maxBytes)
        return QStringLiteral("'%1' is too large to be a Keylark settings file.").arg(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the settings file '%1': %2.").arg(path, file.errorString());
    const QByteArray bytes = file.readAll();
    if (bytes.trimmed().isEmpty())
        return {};
    const QString why = SettingsFile::parse(bytes).problem;
    if (why.isEmpty())
        return {};
    return QStringLiteral("'%1' is not a Keylark settings file (%2).").arg(path, why);
}

// A new file is made at the first change, with any missing folders: the nearest existing one above it must
// be a folder Keylark may write in.
QString newFileProblem(const QString &path)
{
    QFileInfo above(QFileInfo(path).absolutePath());
    while (!above.exists())
        above = QFileInfo(above.absolutePath());
    if (!above.isDir())
        return QStringLiteral("cannot create the settings file '%1': '%2' is not a folder.")
            .arg(path, above.absoluteFilePath());
    if (!above.isWritable())
        return QStringLiteral("cannot create the settings file '%1': the folder '%2' is not writable.")
            .arg(path, above.absoluteFilePath());
    return {};
}

QString settingsFileProblem(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("--settings needs a file name.");
    const QFileInfo file(path);
    if (file.isDir())
        return QStringLiteral("the settings file '%1' is a folder; --settings needs a file.").arg(path);
    if (file.exists() && !file.isFile())
        return QStringLiteral("the settings file '%1' is not a regular file.").arg(path);
    return file.exists() ? existingFileProblem(path) : newFileProblem(path);
}

} // namespace

CommandLine::CommandLine(QString version) : version_(std::move(version)) {}

CommandLine::Result CommandLine::parse(const QStringList &arguments) const
{
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform), so a single-dash word is one long option here.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({helpOption, versionOption, settingsOption, practiceOption});
    for (const char *name : qtValueOptions)
        parser.addOption(hidden(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value"))));
    for (const char *name : qtFlagOptions)
        parser.addOption(hidden(QCommandLineOption(QString::fromLatin1(name))));

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(helpOption))
        return answer(Action::ShowHelp, helpText());
    if (parser.isSet(versionOption))
        return answer(Action::ShowVersion, QStringLiteral("Keylark %1\n").arg(version_));
    if (!parser.positionalArguments().isEmpty())
        return failure(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));

    Result result;
    result.platformGiven = parser.isSet(QStringLiteral("platform"));
    result.practice = parser.isSet(practiceOption);
    if (parser.isSet(settingsOption)) {
        const QString path = parser.value(settingsOption);
        const QString problem = settingsFileProblem(path);
        if (!problem.isEmpty())
            return failure(problem);
        result.settingsPath = QFileInfo(path).absoluteFilePath();
    }
    return result;
}
