#include "app/command_line.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Action = CommandLine::Action;

struct Case
{
    const char *name;
    QStringList arguments; // after the program name; {tmp} stands for a scratch folder
    Action action;
    const char *text; // a part of the help, version or error text; "" when nothing is printed
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class CommandLineTest : public ::testing::TestWithParam<Case>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        ASSERT_TRUE(QDir(tmp.path()).mkdir(QStringLiteral("folder")));
        write("file", "");
        write("settings.json", "{\"wpm\": 20}\n");
        write("notes.txt", "CQ CQ de AB1CD\n");
        write("list.json", "[20, 25]\n");
        write("deep.json", "{\"a\": " + QByteArray(100, '[') + QByteArray(100, ']') + "}\n");
    }

    void write(const char *name, const QByteArray &contents)
    {
        QFile file(tmp.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(contents), contents.size());
    }

    CommandLine::Result parse(QStringList arguments) const
    {
        arguments.replaceInStrings(QStringLiteral("{tmp}"), tmp.path());
        arguments.prepend(QStringLiteral("keylark"));
        return CommandLine(QStringLiteral("9.8.7")).parse(arguments);
    }

    QTemporaryDir tmp;
};

TEST_P(CommandLineTest, ActsAndSaysWhy)
{
    const Case &c = GetParam();
    const CommandLine::Result result = parse(c.arguments);
    EXPECT_EQ(result.action, c.action);
    if (*c.text == '\0') {
        EXPECT_TRUE(result.text.isEmpty()) << result.text.toStdString();
    } else {
        EXPECT_TRUE(result.text.contains(QString::fromUtf8(c.text))) << result.text.toStdString();
    }
    if (c.action == Action::Fail) {
        EXPECT_TRUE(result.text.startsWith(QStringLiteral("keylark: "))) << result.text.toStdString();
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineTest, ::testing::Values(
    Case{"None", {}, Action::Run, ""},
    Case{"LongHelp", {"--help"}, Action::ShowHelp, "--settings <file>"},
    Case{"ShortHelp", {"-h"}, Action::ShowHelp, "Usage: keylark [options]"},
    Case{"HelpWinsOverABadSettingsPath", {"--settings", "{tmp}/folder", "--help"}, Action::ShowHelp, "Usage:"},
    Case{"LongVersion", {"--version"}, Action::ShowVersion, "Keylark 9.8.7\n"},
    Case{"ShortVersion", {"-v"}, Action::ShowVersion, "Keylark 9.8.7\n"},
    Case{"HelpNamesPractice", {"--help"}, Action::ShowHelp, "--practice "},
    Case{"Practice", {"--practice", "--settings={tmp}/settings.json"}, Action::Run, ""},
    Case{"PracticeTakesNoValue", {"--practice=yes"}, Action::Fail, "Unexpected value after '--practice'"},
    Case{"UnknownOption", {"--practise"}, Action::Fail, "Unknown option 'practise'"},
    Case{"UnknownShortOption", {"-x"}, Action::Fail, "Unknown option 'x'"},
    Case{"StrayArgument", {"settings.json"}, Action::Fail, "unexpected argument 'settings.json'"},
    Case{"SettingsWithoutValue", {"--settings"}, Action::Fail, "Missing value after '--settings'"},
    Case{"EmptySettingsValue", {"--settings="}, Action::Fail, "--settings needs a file name"},
    Case{"SettingsIsAFolder", {"--settings", "{tmp}/folder"}, Action::Fail, "is a folder"},
    Case{"SettingsIsADevice", {"--settings", "/dev/null"}, Action::Fail, "'/dev/null' is not a regular file"},
    Case{"SettingsBelowAFile", {"--settings", "{tmp}/file/sub/settings.json"}, Action::Fail,
         "file' is not a folder"},
    Case{"SettingsInNewFolders", {"--settings", "{tmp}/new/sub/settings.json"}, Action::Run, ""},
    Case{"ExistingSettingsFile", {"--settings={tmp}/settings.json"}, Action::Run, ""},
    Case{"EmptyExistingFile", {"--settings={tmp}/file"}, Action::Run, ""},
    Case{"SomeOtherTextFile", {"--settings", "{tmp}/notes.txt"}, Action::Fail, "is not a Keylark settings file"},
    Case{"JsonThatIsNotAnObject", {"--settings", "{tmp}/list.json"}, Action::Fail, "(not a JSON object)"},
    Case{"NestedBeyondTheStoresLimit", {"--settings", "{tmp}/deep.json"}, Action::Fail, "(nested deeper than"},
    Case{"QtPlatformOption", {"-platform", "offscreen", "-style=Fusion", "-reverse"}, Action::Run, ""},
    Case{"QtOptionWithoutValue", {"-display"}, Action::Fail, "Missing value after '-display'"}),
    [](const ::testing::TestParamInfo<Case> &info) { return std::string(info.param.name); });
// clang-format on

TEST_F(CommandLineTest, SettingsPathIsMadeAbsoluteAndNothingIsCreatedYet)
{
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tmp.path()));
    const CommandLine::Result result =
        parse({QStringLiteral("--settings"), QStringLiteral("new/settings.json")});
    QDir::setCurrent(previous);
    EXPECT_EQ(result.action, Action::Run);
    EXPECT_EQ(result.settingsPath, tmp.filePath(QStringLiteral("new/settings.json")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath(QStringLiteral("new"))));
}

TEST_F(CommandLineTest, DefaultSettingsFileWhenNoneIsGiven)
{
    EXPECT_TRUE(parse({}).settingsPath.isEmpty());
}

TEST_F(CommandLineTest, PracticeOnlyWhenAsked)
{
    EXPECT_FALSE(parse({}).practice);
    EXPECT_TRUE(parse({QStringLiteral("--practice")}).practice);
}

TEST_F(CommandLineTest, PlatformOptionCountsAsADisplay)
{
    EXPECT_TRUE(parse({QStringLiteral("-platform"), QStringLiteral("offscreen")}).platformGiven);
    EXPECT_FALSE(parse({QStringLiteral("-style"), QStringLiteral("Fusion")}).platformGiven);
}

} // namespace
