#include "settings/settings_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray nested(int depth, bool closed = true)
{
    return "{\"a\":" + QByteArray(depth - 1, '[') +
           (closed ? QByteArray(depth - 1, ']') + "}" : QByteArray());
}

QByteArray manyValues(std::size_t count)
{
    QByteArray bytes = "{\"a\":[0";
    for (std::size_t i = 1; i < count; ++i)
        bytes += ",0";
    return bytes + "]}";
}

struct HostileFile
{
    const char *name;
    QByteArray bytes;
    const char *reason;
};

void PrintTo(const HostileFile &file, std::ostream *os)
{
    *os << file.name;
}

class HostileSettingsFile : public ::testing::TestWithParam<HostileFile>
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("settings.json")); }
    QStringList keptAside() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("settings.json.corrupt-*")});
    }

    QTemporaryDir dir;
};

// Each file is kept aside byte for byte, the store starts on the defaults, and the reason is given on
// standard error and kept for the status bar.
TEST_P(HostileSettingsFile, IsKeptAsideWithItsReason)
{
    const HostileFile &hostile = GetParam();
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(hostile.bytes);
    }
    testing::internal::CaptureStderr();
    SettingsStore store(path());
    const std::string err = testing::internal::GetCapturedStderr();
    store.registerDefaults(registeredDefaults());

    EXPECT_EQ(store.intValue(KLKWpmKey), 12);
    EXPECT_TRUE(store.loadProblem().contains(QLatin1String(hostile.reason)))
        << store.loadProblem().toStdString();
    EXPECT_EQ(err, store.loadProblem().toStdString() + "\n");
    const QStringList aside = keptAside();
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(store.loadProblem().contains(aside.first()));
    QFile kept(dir.filePath(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll() == hostile.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileSettingsFile,
    ::testing::Values(
        HostileFile{"Empty", "", "not valid JSON"},
        HostileFile{"Truncated", "{\"wpm\": 30, \"macroM\": \"K1A", "not valid JSON: error at byte"},
        HostileFile{"Binary",
                    QByteArray("\x7f"
                               "ELF\x02\x01\x01\0\0",
                               9),
                    "not valid JSON"},
        HostileFile{"BadUtf8", "{\"macroM\": \"\xc3\x28\"}", "not valid JSON"},
        HostileFile{"LoneSurrogate", R"({"macroM": "\ud800"})", "not valid JSON"},
        HostileFile{"NotAnObject", "[1, 2, 3]", "not a JSON object"},
        HostileFile{"DeepNesting", nested(200'000), "nested deeper than 64 levels"},
        HostileFile{"DeepNestingNeverClosed", nested(200'000, false), "nested deeper than 64"},
        HostileFile{"OneLevelTooDeep", nested(SettingsFile::maxDepth + 1), "nested deeper"},
        HostileFile{"TooManyValues", manyValues(SettingsFile::maxValues), "more than 100000 values"},
        HostileFile{"TooLarge", "{}" + QByteArray(SettingsFile::maxBytes - 1, ' '), "larger than 16 MiB"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SettingsFileLimits, AFileJustWithinThemIsReadAndWrittenBackWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    const QByteArray deep = nested(SettingsFile::maxDepth);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(deep.chopped(1) + ",\"b\":" + manyValues(SettingsFile::maxValues - 100).mid(5));
    }
    {
        SettingsStore store(path);
        EXPECT_TRUE(store.loadProblem().isEmpty()) << store.loadProblem().toStdString();
        store.setValue(KLKWpmKey, 20);
        ASSERT_TRUE(store.flush());
    }
    SettingsStore again(path);
    EXPECT_TRUE(again.loadProblem().isEmpty()) << again.loadProblem().toStdString();
    EXPECT_EQ(again.intValue(KLKWpmKey), 20);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto written = nlohmann::json::parse(file.readAll().toStdString());
    EXPECT_EQ(written["a"].dump(), QByteArray(SettingsFile::maxDepth - 1, '[').toStdString() +
                                       QByteArray(SettingsFile::maxDepth - 1, ']').toStdString());
    EXPECT_EQ(written["b"].size(), SettingsFile::maxValues - 100);
}

TEST(SettingsFileLimits, APipeInPlaceOfTheFileIsKeptAsideWithoutWaiting)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    testing::internal::CaptureStderr();
    SettingsStore store(path);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(store.loadProblem().contains(QLatin1String("not a regular file")));
    EXPECT_FALSE(QFile::exists(path));
}

class UsableText : public ::testing::Test
{
protected:
    UsableText() : store(dir.filePath(QStringLiteral("settings.json")))
    {
        QObject::connect(&store, &SettingsStore::notice, [this](const QString &line) { notices << line; });
    }

    QTemporaryDir dir;
    SettingsStore store;
    QStringList notices;
};

TEST_F(UsableText, ALongTextIsCutForUseButKeptWhole)
{
    const QString message(5'000'000, u'E');
    const QString key = messageKey(groupIdentifier(1), 1);
    store.setValue(key, message);

    EXPECT_EQ(store.usableText(key), message.left(SettingsStore::usableTextLength));
    EXPECT_EQ(store.usableValue(key).toString(), message.left(SettingsStore::usableTextLength));
    EXPECT_EQ(store.value(key).toString().size(), message.size());
    ASSERT_EQ(notices.size(), 1) << "one line per key, however often it is read";
    EXPECT_TRUE(
        notices.first().startsWith(QStringLiteral("#.. Keylark : The text stored under messageG1F1 is "
                                                  "5000000 characters long")));

    store.setValue(key, message + u'X');
    store.usableText(key);
    EXPECT_EQ(notices.size(), 2) << "a new long text is reported again";
}

TEST_F(UsableText, CutsAtAWholeCharacterAndLeavesShortValuesAlone)
{
    const QString pair = QStringLiteral("\U0001F4E1");
    const QString text = QString(SettingsStore::usableTextLength - 1, u'a') + pair + pair;
    store.setValue(KLKSerialDeviceKey, text);
    EXPECT_EQ(store.usableText(KLKSerialDeviceKey), text.left(SettingsStore::usableTextLength - 1));

    const QString fits(SettingsStore::usableTextLength, u'b');
    store.setValue(KLKSerialDeviceKey, fits);
    EXPECT_EQ(store.usableText(KLKSerialDeviceKey), fits);
    store.setValue(KLKWpmKey, 1e300);
    EXPECT_EQ(store.usableValue(KLKWpmKey), QVariant(1e300));
    EXPECT_EQ(notices.size(), 1);
}

} // namespace
