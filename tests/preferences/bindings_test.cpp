#include "eventually.h"
#include "local_zone.h"
#include "preferences_fixture.h"
#include "record/sent_record.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>

namespace {

// Replaces the field's text as the operator would, also with characters beyond ASCII such as the digits
// of an Arabic locale.
void retype(QWidget *field, const QString &text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (const QChar character : text) {
        if (character.unicode() < 0x80)
            QTest::keyClick(field, char(character.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
}

struct TextFieldCase
{
    const char *field;
    const char *key;
};

class TextFieldTest : public PreferencesTest, public testing::WithParamInterface<TextFieldCase>
{
};

TEST_P(TextFieldTest, EditsReachTheStoreAndChangesElsewhereShow)
{
    open();
    auto *field = control<QLineEdit>(GetParam().field);
    const QString key = GetParam().key;

    retype(field, QStringLiteral("cq test de $M"));
    EXPECT_EQ(store->persistentValue(key), QVariant(QStringLiteral("cq test de $M")));

    store->setValue(key, QStringLiteral("JA1ZZZ"));
    EXPECT_EQ(field->text(), "JA1ZZZ");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fields, TextFieldTest, testing::Values(
    TextFieldCase{"messageEditF1",   "messageG1F1"},
    TextFieldCase{"messageEditF12",  "messageG1F12"},
    TextFieldCase{"labelEditF7",     "messageG1LabelF7"},
    TextFieldCase{"groupLabelEdit",  "messageG1Label"},
    TextFieldCase{"macroEditM",      "macroM"},
    TextFieldCase{"macroEditO",      "macroO"},
    TextFieldCase{"macroEditH",      "macroH"},
    TextFieldCase{"macroEditJ",      "macroJ"},
    TextFieldCase{"macroEditC",      "macroC"},
    TextFieldCase{"macroEditR",      "macroR"},
    TextFieldCase{"groupMacroEditP", "messageG1MacroP"},
    TextFieldCase{"groupMacroEditN", "messageG1MacroN"},
    TextFieldCase{"groupMacroEditT", "messageG1MacroT"},
    TextFieldCase{"groupMacroEditY", "messageG1MacroY"}),
    [](const testing::TestParamInfo<TextFieldCase> &info) { return std::string(info.param.field); });
// clang-format on

TEST_F(PreferencesTest, EmptiedLabelOrMessageGivesItsKeyBack)
{
    store->setValue(labelKey(QStringLiteral("messageG1"), 3), QStringLiteral("CQ"));
    store->setValue(messageKey(QStringLiteral("messageG1"), 3), QStringLiteral("CQ CQ DE $M"));
    open();
    retype(control<QLineEdit>(QStringLiteral("labelEditF3")), QString());
    retype(control<QLineEdit>(QStringLiteral("messageEditF3")), QString());
    EXPECT_FALSE(store->contains(QStringLiteral("messageG1LabelF3")));
    EXPECT_FALSE(store->contains(QStringLiteral("messageG1F3")));
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("labelEditF3"))->placeholderText(), "F3");
}

TEST_F(PreferencesTest, EmptiedGroupLabelIsStoredEmpty)
{
    open();
    retype(control<QLineEdit>(QStringLiteral("groupLabelEdit")), QString());
    EXPECT_EQ(store->persistentValue(QStringLiteral("messageG1Label")), QVariant(QString()));
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("groupLabelEdit"))->text(), "");
}

TEST_F(PreferencesTest, MessagePaneEditsTheChosenGroupOnly)
{
    store->setValue(QStringLiteral("messageG3F2"), QStringLiteral("TU $N"));
    store->setValue(QStringLiteral("messageG3Label"), QStringLiteral("Contest"));
    open();
    auto *selector = control<QComboBox>(QStringLiteral("messageGroupComboBox"));
    ASSERT_EQ(selector->count(), GROUPCOUNT);
    EXPECT_EQ(selector->itemText(2), QStringLiteral("3 \u00b7 Contest"));

    selector->setCurrentIndex(2);
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("messageEditF2"))->text(), "TU $N");
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("groupLabelEdit"))->text(), "Contest");
    retype(control<QLineEdit>(QStringLiteral("messageEditF1")), QStringLiteral("CQ TEST"));
    EXPECT_EQ(store->stringValue(QStringLiteral("messageG3F1")), "CQ TEST");
    EXPECT_FALSE(store->contains(QStringLiteral("messageG1F1")));

    selector->setCurrentIndex(0);
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("messageEditF1"))->text(), "");
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("messageEditF2"))->text(), "");
    EXPECT_EQ(store->stringValue(QStringLiteral("messageG3F2")), "TU $N");

    retype(control<QLineEdit>(QStringLiteral("groupLabelEdit")), QStringLiteral("DX"));
    EXPECT_EQ(selector->itemText(0), QStringLiteral("1 \u00b7 DX"));
    EXPECT_EQ(control<QComboBox>(QStringLiteral("macroGroupComboBox"))->itemText(0),
              QStringLiteral("1 \u00b7 DX"));
}

TEST_F(PreferencesTest, MacroPaneEditsTheChosenGroupsMacros)
{
    store->setValue(QStringLiteral("messageG5MacroP"), QStringLiteral("13M"));
    open();
    auto *selector = control<QComboBox>(QStringLiteral("macroGroupComboBox"));
    selector->setCurrentIndex(4);
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("groupMacroEditP"))->text(), "13M");
    retype(control<QLineEdit>(QStringLiteral("groupMacroEditN")), QStringLiteral("001"));
    EXPECT_EQ(store->stringValue(QStringLiteral("messageG5MacroN")), "001");
    EXPECT_FALSE(store->contains(QStringLiteral("messageG1MacroN")));
}

TEST_F(PreferencesTest, MessageEditedReachesTheSettingsFile)
{
    open();
    control<QComboBox>(QStringLiteral("messageGroupComboBox"))->setCurrentIndex(1);
    retype(control<QLineEdit>(QStringLiteral("messageEditF4")), QStringLiteral("QRZ? DE $M"));
    ASSERT_TRUE(store->flush());

    QFile file(store->filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(saved.value(QStringLiteral("messageG2F4")).toString(), "QRZ? DE $M");
}

TEST_F(PreferencesTest, SpeedAndRatiosShowAndStoreNumbers)
{
    open();
    auto *speed = control<QSpinBox>(QStringLiteral("wpmSpinBox"));
    auto *dah = control<QDoubleSpinBox>(QStringLiteral("dahRatioSpinBox"));
    EXPECT_EQ(speed->value(), 12);
    EXPECT_DOUBLE_EQ(dah->value(), 3.0);
    EXPECT_DOUBLE_EQ(control<QDoubleSpinBox>(QStringLiteral("wordRatioSpinBox"))->value(), 7.0);

    store->setValue(KLKWpmKey, 13.0); // as the console's speed buttons store it
    EXPECT_EQ(speed->value(), 13);
    store->setValue(KLKTimeLetterKey, QStringLiteral("2.5"));
    EXPECT_DOUBLE_EQ(control<QDoubleSpinBox>(QStringLiteral("letterRatioSpinBox"))->value(), 2.5);

    // A spin box stores what was typed once Return commits it.
    retype(speed, QStringLiteral("25"));
    QTest::keyClick(speed, Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKWpmKey), QVariant(qint64(25)));
    retype(dah, dah->locale().toString(3.5));
    QTest::keyClick(dah, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(store->doubleValue(KLKTimeDahKey), 3.5);
    auto *delay = control<QSpinBox>(QStringLiteral("beaconDelaySpinBox"));
    retype(delay, QStringLiteral("30"));
    QTest::keyClick(delay, Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKBeaconDelayKey), QVariant(qint64(30)));
}

TEST_F(PreferencesTest, LogAndRecordControlsShowTheirSettingsAndTheRecordsFolder)
{
    open();
    auto *scrollBack = control<QSpinBox>(QStringLiteral("scrollBackSpinBox"));
    auto *days = control<QSpinBox>(QStringLiteral("sentRecordDaysSpinBox"));
    auto *record = control<QCheckBox>(QStringLiteral("sentRecordCheckBox"));
    EXPECT_EQ(scrollBack->value(), 10000);
    EXPECT_EQ(days->value(), 365);
    EXPECT_TRUE(record->isChecked());
    EXPECT_EQ(control<QLabel>(QStringLiteral("sentRecordFolderLabel"))->text(), SentRecord::defaultFolder());

    retype(scrollBack, QStringLiteral("500"));
    QTest::keyClick(scrollBack, Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKConsoleScrollBackKey), QVariant(qint64(500)));
    retype(days, QStringLiteral("30"));
    QTest::keyClick(days, Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKSentRecordDaysKey), QVariant(qint64(30)));
    record->click();
    EXPECT_EQ(store->persistentValue(KLKSentRecordKey), QVariant(false));
}

// The operator reads and types ratios as the locale writes numbers ("2,50" in Germany); the settings file
// holds plain numbers whatever the locale.
class RatioLocaleTest : public PreferencesTest, public testing::WithParamInterface<const char *>
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QString::fromLatin1(GetParam())));
        PreferencesTest::SetUp();
    }
    void TearDown() override
    {
        PreferencesTest::TearDown();
        QLocale::setDefault(saved);
    }

    const QLocale saved;
};

TEST_P(RatioLocaleTest, RatiosShowTheLocalesNumbersAndStorePlainOnes)
{
    const QLocale locale;
    store->setValue(KLKTimeLetterKey, QStringLiteral("2.5"));
    open();
    EXPECT_EQ(control<QDoubleSpinBox>(QStringLiteral("letterRatioSpinBox"))->cleanText().toStdString(),
              locale.toString(2.5, 'f', 2).toStdString());

    auto *dah = control<QDoubleSpinBox>(QStringLiteral("dahRatioSpinBox"));
    retype(dah, locale.toString(3.5));
    QTest::keyClick(dah, Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKTimeDahKey), QVariant(3.5));
    ASSERT_TRUE(store->flush());
    QFile file(store->filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonValue saved = QJsonDocument::fromJson(file.readAll()).object().value(KLKTimeDahKey);
    EXPECT_TRUE(saved.isDouble()) << saved.toVariant().toString().toStdString();
    EXPECT_EQ(saved.toDouble(), 3.5);
}

INSTANTIATE_TEST_SUITE_P(Locales, RatioLocaleTest, testing::Values("C", "de_DE", "fr_FR", "ar_EG"));

TEST_F(PreferencesTest, GreetingBoundariesShowAndStoreTimesOfDay)
{
    // The registered boundaries are times of the local day; a stored one keeps the zone it was written in.
    const LocalZone zone("UTC");
    store->setValue(KLKDayOfGeKey, QStringLiteral("2008-05-01 18:30:00 +0000"));
    open();
    auto *morning = control<QTimeEdit>(QStringLiteral("greetingMorningEdit"));
    EXPECT_EQ(morning->time(), QTime(5, 0));
    EXPECT_EQ(control<QTimeEdit>(QStringLiteral("greetingAfternoonEdit"))->time(), QTime(12, 0));
    EXPECT_EQ(control<QTimeEdit>(QStringLiteral("greetingEveningEdit"))->time(), QTime(18, 30));

    morning->setFocus();
    morning->setSelectedSection(QDateTimeEdit::HourSection);
    QTest::keyClicks(morning, QStringLiteral("0615"));
    const QVariant stored = store->persistentValue(KLKDayOfGmKey);
    ASSERT_EQ(stored.metaType().id(), QMetaType::QDateTime);
    EXPECT_EQ(stored.toDateTime().toLocalTime().time(), QTime(6, 15));
}

TEST_F(PreferencesTest, CheckBoxesStoreBooleans)
{
    open();
    const QList<std::pair<QString, QString>> boxes = {
        {"openAtStartCheckBox", KLKSerialStartUpOpenKey},
        {"transmitKeyCheckBox", KLKRransmitKeyEquivKey},
        {"serialDTRCheckBox", KLKSerialDTRKey},
        {"serialDTRReverseCheckBox", KLKSerialDTRReverseKey},
        {"serialRTSCheckBox", KLKSerialRTSKey},
        {"serialRTSReverseCheckBox", KLKSerialRTSReverseKey},
        {"networkKeyingCheckBox", KLKNetworkKeyingKey},
    };
    for (const auto &[name, key] : boxes) {
        auto *box = control<QCheckBox>(name);
        EXPECT_FALSE(box->isChecked()) << name.toStdString();
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(store->persistentValue(key), QVariant(true)) << name.toStdString();
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(store->persistentValue(key), QVariant(false)) << name.toStdString();
    }
}

// Listening on every interface is the second choice of two, and the pane warns while it is chosen.
TEST_F(PreferencesTest, NetworkPaneStoresTheAddressChoiceAndWarnsForAllInterfaces)
{
    store->setValue(KLKNetworkPortKey, qint64(6790));
    open();
    auto *address = control<QComboBox>(QStringLiteral("networkAddressComboBox"));
    auto *warning = control<QLabel>(QStringLiteral("networkWarningLabel"));
    EXPECT_EQ(control<QSpinBox>(QStringLiteral("networkPortSpinBox"))->value(), 6790);
    EXPECT_EQ(address->currentIndex(), 0);
    EXPECT_TRUE(warning->isHidden());
    address->setCurrentIndex(1);
    EXPECT_EQ(store->persistentValue(KLKNetworkAllInterfacesKey), QVariant(true));
    EXPECT_FALSE(warning->isHidden());
    store->setValue(KLKNetworkAllInterfacesKey, false);
    EXPECT_EQ(address->currentIndex(), 0);
    EXPECT_TRUE(warning->isHidden());
}

// The list of other computers that may key is stored as typed, and the pane says who may key.
TEST_F(PreferencesTest, NetworkPaneStoresTheAllowedSendersAndSaysWhoMayKey)
{
    open();
    auto *list = control<QPlainTextEdit>(QStringLiteral("networkAllowedSendersEdit"));
    auto *who = control<QLabel>(QStringLiteral("networkWhoMayKeyLabel"));
    EXPECT_EQ(who->text(), QStringLiteral("Only programs on this computer may key."));
    control<QComboBox>(QStringLiteral("networkAddressComboBox"))->setCurrentIndex(1);
    list->setFocus();
    QTest::keyClicks(list, QStringLiteral("192.0.2.0/24 ::ffff:192.0.2.9 nonsense"));
    EXPECT_EQ(store->persistentValue(KLKNetworkAllowedSendersKey),
              QVariant(QStringLiteral("192.0.2.0/24 ::ffff:192.0.2.9 nonsense")));
    EXPECT_EQ(who->text(),
              QStringLiteral("Programs on this computer and on 192.0.2.0/24, 192.0.2.9 may key. Not "
                             "an address, left out: nonsense."));
}

TEST_F(PreferencesTest, LineBoxesShowOnlyWhatKeysTheLine)
{
    store->setValue(KLKSerialDTRKey, qint64(1)); // the keying lines take only the boolean true
    store->setValue(KLKSerialRTSKey, true);
    open();
    EXPECT_FALSE(control<QCheckBox>(QStringLiteral("serialDTRCheckBox"))->isChecked());
    EXPECT_TRUE(control<QCheckBox>(QStringLiteral("serialRTSCheckBox"))->isChecked());
}

TEST_F(PreferencesTest, LinePictureFollowsTheBoxes)
{
    open();
    auto *picture = control<QLabel>(QStringLiteral("lineStateLabel"));
    EXPECT_EQ(picture->toolTip(), "Key up: DTR low, RTS low / Key down: DTR low, RTS low");
    QTest::mouseClick(control<QCheckBox>(QStringLiteral("serialDTRCheckBox")), Qt::LeftButton);
    EXPECT_EQ(picture->toolTip(), "Key up: DTR low, RTS low / Key down: DTR high, RTS low");
    QTest::mouseClick(control<QCheckBox>(QStringLiteral("serialRTSReverseCheckBox")), Qt::LeftButton);
    EXPECT_EQ(picture->toolTip(), "Key up: DTR low, RTS high / Key down: DTR high, RTS low");
    store->setValue(KLKSerialDTRReverseKey, true);
    EXPECT_EQ(picture->toolTip(), "Key up: DTR high, RTS high / Key down: DTR low, RTS low");
}

// The PTT line's choice stores "none", "DTR" or "RTS"; the chosen line's keying boxes are off limits and
// the picture shows it as PTT: off at key-up, on at key-down, by its polarity.
TEST_F(PreferencesTest, PttControlsRoundTripAndTakeTheirLineFromKeying)
{
    store->setValue(KLKSerialPTTKey, QStringLiteral("RTS"));
    store->setValue(KLKPTTTailKey, qint64(900));
    open();
    auto *ptt = control<QComboBox>(QStringLiteral("pttLineComboBox"));
    auto *picture = control<QLabel>(QStringLiteral("lineStateLabel"));
    EXPECT_EQ(ptt->currentIndex(), 2);
    EXPECT_FALSE(control<QCheckBox>(QStringLiteral("serialRTSReverseCheckBox"))->isEnabled());
    EXPECT_TRUE(control<QCheckBox>(QStringLiteral("serialDTRCheckBox"))->isEnabled());
    EXPECT_EQ(control<QSpinBox>(QStringLiteral("pttTailSpinBox"))->value(), 900);

    ptt->setCurrentIndex(1);
    EXPECT_EQ(store->persistentValue(KLKSerialPTTKey), QVariant(QStringLiteral("DTR")));
    EXPECT_FALSE(control<QCheckBox>(QStringLiteral("serialDTRCheckBox"))->isEnabled());
    EXPECT_EQ(picture->toolTip(), "Key up: DTR low, RTS low / Key down: DTR high, RTS low");
    control<QCheckBox>(QStringLiteral("pttReverseCheckBox"))->click();
    EXPECT_EQ(store->persistentValue(KLKSerialPTTReverseKey), QVariant(true));
    EXPECT_EQ(picture->toolTip(), "Key up: DTR high, RTS low / Key down: DTR low, RTS low");

    auto *lead = control<QSpinBox>(QStringLiteral("pttLeadSpinBox"));
    EXPECT_EQ(lead->maximum(), 500);
    retype(lead, QStringLiteral("120"));
    QTest::keyClick(lead, Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKPTTLeadKey), QVariant(qint64(120)));
    ptt->setCurrentIndex(0);
    EXPECT_EQ(store->persistentValue(KLKSerialPTTKey), QVariant(QStringLiteral("none")));
    EXPECT_TRUE(control<QCheckBox>(QStringLiteral("serialDTRCheckBox"))->isEnabled());
}

TEST_F(PreferencesTest, WindowFrameIsKeptAcrossOpenings)
{
    open();
    preferences->showWindow();
    preferences->resize(preferences->size() + QSize(40, 30));
    const QSize size = preferences->size();
    EXPECT_EVENTUALLY(store->contains(PreferencesController::FrameKey));
    EXPECT_FALSE(PreferencesController::FrameKey.contains(QLatin1Char('.')));
    preferences.reset();

    open();
    preferences->showWindow();
    EXPECT_EQ(preferences->size(), size);
}

} // namespace
