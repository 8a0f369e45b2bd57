#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    QString path() const { return dir.filePath(QStringLiteral("Keylark/settings.json")); }

    std::unique_ptr<SettingsStore> open()
    {
        auto store = std::make_unique<SettingsStore>(path());
        store->registerDefaults(registeredDefaults());
        return store;
    }

    void writeFile(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray readFile() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(SettingsStoreTest, EmptyStoreAnswersWithTheRegisteredDefaults)
{
    auto store = open();
    EXPECT_EQ(store->intValue(KLKWpmKey), 12);
    EXPECT_EQ(store->value(KLKWpmKey).metaType().id(), QMetaType::LongLong);
    EXPECT_DOUBLE_EQ(store->doubleValue(KLKTimeDahKey), 3.0);
    EXPECT_DOUBLE_EQ(store->doubleValue(KLKTimeLetterKey), 3.0);
    EXPECT_DOUBLE_EQ(store->doubleValue(KLKTimeWordKey), 7.0);
    EXPECT_EQ(store->value(KLKTimeDahKey).toString(), QStringLiteral("3")); // registered as text
    EXPECT_EQ(store->intValue(KLKBeaconDelayKey), 0);
    EXPECT_EQ(store->stringValue(groupLabelKey(5)), QStringLiteral("G5"));
    EXPECT_EQ(store->value(KLKDayOfGmKey).toDateTime(),
              QDateTime(QDate(2008, 5, 1), QTime(5, 0), Qt::LocalTime));
    for (const QString &key : {KLKRransmitKeyEquivKey, KLKSerialStartUpOpenKey, KLKSerialDTRKey,
                               KLKSerialDTRReverseKey, KLKSerialRTSKey, KLKSerialRTSReverseKey}) {
        EXPECT_FALSE(store->boolValue(key)) << key.toStdString();
        EXPECT_FALSE(store->isTrueByIdentity(key)) << key.toStdString();
    }
    EXPECT_FALSE(store->contains(KLKSerialDeviceKey));
    EXPECT_TRUE(store->stringValue(KLKSerialDeviceKey).isEmpty());
}

TEST_F(SettingsStoreTest, PersistentValueHidesTheDefaultUntilRemoved)
{
    auto store = open();
    store->setValue(KLKWpmKey, 25);
    EXPECT_EQ(store->intValue(KLKWpmKey), 25);
    store->remove(KLKWpmKey);
    EXPECT_EQ(store->intValue(KLKWpmKey), 12);
}

TEST_F(SettingsStoreTest, BooleanByIdentityCountsOnlyAStoredTrue)
{
    auto store = open();
    store->setValue(KLKSerialDTRKey, 1);
    store->setValue(KLKSerialRTSKey, QStringLiteral("1"));
    store->setValue(KLKSerialDTRReverseKey, true);
    store->setValue(KLKSerialRTSReverseKey, false);
    EXPECT_FALSE(store->isTrueByIdentity(KLKSerialDTRKey));
    EXPECT_FALSE(store->isTrueByIdentity(KLKSerialRTSKey));
    EXPECT_TRUE(store->isTrueByIdentity(KLKSerialDTRReverseKey));
    EXPECT_FALSE(store->isTrueByIdentity(KLKSerialRTSReverseKey));
    EXPECT_TRUE(store->boolValue(KLKSerialDTRKey)); // the ordinary boolean rule does count them

    store->registerDefaults({{QStringLiteral("onlyRegistered"), true}});
    EXPECT_FALSE(store->isTrueByIdentity(QStringLiteral("onlyRegistered")));
}

TEST_F(SettingsStoreTest, EveryKindSurvivesARestart)
{
    const QDateTime date(QDate(2008, 5, 1), QTime(5, 0), QTimeZone(9 * 3600));
    {
        auto store = open();
        store->setValue(KLKWpmKey, 13.0);
        store->setValue(KLKBeaconDelayKey, 3);
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
        store->setValue(KLKDayOfGaKey, date);
        ASSERT_TRUE(store->flush());
    }
    EXPECT_TRUE(readFile().contains("\"wpm\": 13.0"));

    auto store = open();
    EXPECT_EQ(store->value(KLKWpmKey).metaType().id(), QMetaType::Double);
    EXPECT_EQ(store->value(KLKBeaconDelayKey).metaType().id(), QMetaType::LongLong);
    EXPECT_EQ(store->value(KLKSerialDTRKey).metaType().id(), QMetaType::Bool);
    EXPECT_TRUE(store->isTrueByIdentity(KLKSerialDTRKey));
    EXPECT_EQ(store->value(KLKSerialDeviceKey), QVariant(QStringLiteral("/dev/ttyUSB0")));
    ASSERT_EQ(store->value(KLKDayOfGaKey).metaType().id(), QMetaType::QDateTime);
    EXPECT_EQ(store->value(KLKDayOfGaKey).toDateTime(), date);
}

TEST_F(SettingsStoreTest, CorruptFileIsKeptAsideAndTheStoreStartsOnDefaults)
{
    writeFile("{\"wpm\": 30, broken");
    testing::internal::CaptureStderr();
    auto store = open();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(store->intValue(KLKWpmKey), 12);
    EXPECT_NE(err.find("could not be read"), std::string::npos) << err;
    const QStringList aside =
        QDir(QFileInfo(path()).absolutePath()).entryList({QStringLiteral("settings.json.corrupt-*")});
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(path()).absolutePath() + u'/' + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{\"wpm\": 30, broken"));

    store->setValue(KLKWpmKey, 20);
    ASSERT_TRUE(store->flush());
    EXPECT_EQ(open()->intValue(KLKWpmKey), 20);
}

TEST_F(SettingsStoreTest, AFileThatIsNotAnObjectIsAlsoKeptAside)
{
    writeFile("[1, 2, 3]");
    testing::internal::CaptureStderr();
    auto store = open();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(store->intValue(KLKWpmKey), 12);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsStoreTest, EntriesOfUnknownKindAreWrittenBackUnchanged)
{
    writeFile(R"({"wpm": 18, "windowState": [1, 2], "note": null})");
    auto store = open();
    store->setValue(KLKBeaconDelayKey, 2);
    ASSERT_TRUE(store->flush());
    const QByteArray text = readFile();
    EXPECT_TRUE(text.contains("\"windowState\"")) << text.constData();
    EXPECT_TRUE(text.contains("\"note\": null")) << text.constData();
    EXPECT_EQ(open()->intValue(KLKWpmKey), 18);
}

TEST_F(SettingsStoreTest, ChangedIsSignalledOnceForARealChange)
{
    auto store = open();
    QStringList seen;
    QObject::connect(store.get(), &SettingsStore::changed, [&](const QString &key) { seen << key; });
    store->setValue(KLKWpmKey, 20);
    store->setValue(KLKWpmKey, 20);
    store->setValue(KLKWpmKey, 20.0); // another kind is another value
    store->remove(KLKWpmKey);
    store->remove(KLKWpmKey);
    EXPECT_EQ(seen, QStringList({KLKWpmKey, KLKWpmKey, KLKWpmKey}));
}

TEST_F(SettingsStoreTest, AReadUnderConcurrentWritesSeesOneWholeValue)
{
    auto store = open();
    const QString a = QStringLiteral("alpha-alpha-alpha-alpha");
    const QString b = QStringLiteral("bravo");
    store->setValue(KLKSerialDeviceKey, a);
    std::atomic<bool> done = false;
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i)
            store->setValue(KLKSerialDeviceKey, i % 2 ? a : b);
        done = true;
    });
    int torn = 0;
    while (!done) {
        const QString seen = store->stringValue(KLKSerialDeviceKey);
        torn += seen != a && seen != b;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

TEST(SettingsKeysTest, KeyPatternsFormTheStoredNames)
{
    const QString group = groupIdentifier(3);
    EXPECT_EQ(group, QStringLiteral("messageG3"));
    EXPECT_EQ(groupLabelKey(3), QStringLiteral("messageG3Label"));
    EXPECT_EQ(messageKey(group, 12), QStringLiteral("messageG3F12"));
    EXPECT_EQ(labelKey(group, 12), QStringLiteral("messageG3LabelF12"));
    EXPECT_EQ(groupMacroKey(group, u'P'), QStringLiteral("messageG3MacroP"));
    EXPECT_EQ(globalMacroKey(u'M'), QStringLiteral("macroM"));
}

TEST(SettingsKeysTest, RegistrationHoldsExactlyTheDocumentedDefaults)
{
    const QVariantHash defaults = registeredDefaults();
    // the keyer's, network keying's, practice, keyboard mode and sidetone's, the log's, the sent record's,
    // the radio's, PTT's and the WinKeyer's
    EXPECT_EQ(defaults.size(), 8 + 3 + 5 + 3 + GROUPCOUNT + 6 + 4 + 1);
    EXPECT_EQ(defaults.value(KLKWinKeyerFollowsKnobKey), QVariant(false));
    EXPECT_EQ(defaults.value(KLKKeyingOutputKey), QVariant(KLKSerialLineOutput));
    EXPECT_EQ(defaults.value(KLKRigctldPortKey), QVariant(qint64(4532)));
    EXPECT_EQ(defaults.value(KLKNetworkKeyingKey), QVariant(false));
    EXPECT_EQ(defaults.value(KLKNetworkPortKey), QVariant(qint64(6789)));
    // Practice is off and the sidetone on, at 700 Hz and half volume, until the operator says otherwise.
    EXPECT_EQ(defaults.value(KLKPracticeModeKey), QVariant(false));
    EXPECT_EQ(defaults.value(KLKKeyboardModeKey), QVariant(false));
    EXPECT_EQ(defaults.value(KLKSidetoneKey), QVariant(true));
    EXPECT_EQ(defaults.value(KLKSidetonePitchKey), QVariant(qint64(700)));
    EXPECT_EQ(defaults.value(KLKSidetoneVolumeKey), QVariant(qint64(50)));
    EXPECT_FALSE(defaults.contains(KLKSerialDTRKey));
    // No PTT line until the operator chooses one; its lead-in and tail are ready for when they do.
    EXPECT_EQ(defaults.value(KLKSerialPTTKey), QVariant(QStringLiteral("none")));
    EXPECT_EQ(defaults.value(KLKPTTLeadKey), QVariant(qint64(50)));
    EXPECT_EQ(defaults.value(KLKPTTTailKey), QVariant(qint64(200)));
    EXPECT_EQ(defaults.value(KLKConsoleScrollBackKey), QVariant(qint64(10000)));
    EXPECT_EQ(defaults.value(KLKSentRecordKey), QVariant(true));
    EXPECT_FALSE(defaults.contains(KLKSerialDeviceKey));
    EXPECT_EQ(defaults.value(groupLabelKey(8)), QVariant(QStringLiteral("G8")));
}

// The revision tells a reader that keeps values when to read them again: every change of a value in
// either layer moves it, and a write that changes nothing leaves it.
TEST_F(SettingsStoreTest, RevisionMovesWithEveryChangeAndOnlyThen)
{
    auto store = open();
    struct Step
    {
        const char *what;
        std::function<void()> change;
        bool moves;
    };
    const Step steps[] = {
        {"new value", [&] { store->setValue(KLKWpmKey, 30); }, true},
        {"same value", [&] { store->setValue(KLKWpmKey, 30); }, false},
        {"removed, back to the default", [&] { store->remove(KLKWpmKey); }, true},
        {"removed again", [&] { store->remove(KLKWpmKey); }, false},
        {"defaults registered",
         [&] {
             store->registerDefaults({{KLKTimeDahKey, 4}});
         },
         true},
    };
    for (const Step &step : steps) {
        const std::uint64_t before = store->revision();
        step.change();
        EXPECT_EQ(store->revision() != before, step.moves) << step.what;
    }
}

} // namespace
