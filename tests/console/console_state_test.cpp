#include "console/function_key_cell.h"
#include "console_fixture.h"
#include "eventually.h"
#include "keying/diagnostics.h"
#include "preferences/preferences_controller.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QFontDialog>
#include <QLabel>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QWheelEvent>

#include <cerrno>
#include <cstring>

namespace {

class ConsoleStateTest : public ConsoleFixture
{
protected:
    QLabel *label(const QString &name) const { return widget<QLabel>(name); }
    QString badge() const { return label(QStringLiteral("sendingIndicator"))->text(); }
    QString error() const { return label(QStringLiteral("statusError"))->text(); }
    QString information() const { return label(QStringLiteral("statusInformation"))->text(); }
};

struct BadgeCase
{
    const char *name;
    int sending;
    bool armed;
    int pauseLeft;
    const char *text;
};

void PrintTo(const BadgeCase &row, std::ostream *out)
{
    *out << row.name;
}

class BadgeTest : public ConsoleStateTest, public ::testing::WithParamInterface<BadgeCase>
{
};

TEST_P(BadgeTest, TellsWhatTheKeyerDoes)
{
    recorder->sending = GetParam().sending;
    recorder->armed = GetParam().armed;
    recorder->pauseLeft = GetParam().pauseLeft;
    EXPECT_EVENTUALLY_EQ(badge(), QLatin1String(GetParam().text));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(States, BadgeTest, ::testing::Values(
    BadgeCase{"Idle",        0, false, 0, "IDLE"},
    BadgeCase{"Sending",     1, false, 0, "SENDING"},
    BadgeCase{"BeaconKeys",  1, true,  0, "BEACON"},
    BadgeCase{"BeaconPause", 1, true,  7, "BEACON 7 s"},
    BadgeCase{"Armed",       0, true,  0, "BEACON ARMED"}),
    [](const ::testing::TestParamInfo<BadgeCase> &info) { return info.param.name; });
// clang-format on

TEST_F(ConsoleStateTest, BeaconOnAnEmptyLineSaysItIsArmedAndStopTakesItBack)
{
    click(QStringLiteral("beaconButton"));
    EXPECT_EQ(badge(), QStringLiteral("BEACON ARMED"));
    EXPECT_EVENTUALLY(information().contains(QStringLiteral("Beacon armed")));
    QTest::keyClick(lineIn(), Qt::Key_Escape);
    EXPECT_FALSE(recorder->armed);
    EXPECT_EQ(badge(), QStringLiteral("IDLE"));
}

struct RefusalCase
{
    const char *name;
    int error;
    const char *device; // nullptr: no port chosen
    const char *hint;
};

void PrintTo(const RefusalCase &row, std::ostream *out)
{
    *out << row.name;
}

class RefusedOpenTest : public ConsoleStateTest, public ::testing::WithParamInterface<RefusalCase>
{
};

// Lines as the keying engine writes them for an open refused at a transmission.
TEST_P(RefusedOpenTest, ShowsTheReasonAndAHintUntilATransmissionKeys)
{
    const RefusalCase &row = GetParam();
    if (row.device)
        store->setValue(KLKSerialDeviceKey, QString::fromLatin1(row.device));
    Diagnostics::systemError(QStringLiteral("*** Keylark : Serial device "), row.error);
    Diagnostics::out(QStringLiteral("*** Keylark : Serial open error. Please set serial device."),
                     Diagnostic::Failure::SerialOpen);
    EXPECT_EVENTUALLY(!error().isEmpty());
    EXPECT_TRUE(
        error().startsWith(QStringLiteral("*** Keylark : Serial open error. Please set serial device. (") +
                           QString::fromLocal8Bit(std::strerror(row.error)) + u')'))
        << error().toStdString();
    EXPECT_TRUE(error().contains(QLatin1String(row.hint))) << error().toStdString();

    Diagnostics::out(QStringLiteral("#.. Keylark : something else"));
    EXPECT_EVENTUALLY_EQ(information(), QStringLiteral("#.. Keylark : something else"));
    EXPECT_FALSE(error().isEmpty());

    console->logRelay().appendPrompt(QStringLiteral("12:00:00  ")); // the next transmission opened the port
    EXPECT_TRUE(label(QStringLiteral("statusError"))->isHidden());
    EXPECT_EQ(information(), QStringLiteral("#.. Keylark : something else"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Reasons, RefusedOpenTest, ::testing::Values(
    RefusalCase{"PermissionDenied", EACCES, "/dev/ttyUSB0", "dialout group"},
    RefusalCase{"Busy",             EBUSY,  "/dev/ttyUSB0", "Another program holds"},
    RefusalCase{"Unplugged",        ENOENT, "/dev/ttyUSB0", "plug in"},
    RefusalCase{"NoPortChosen",     ENOENT, nullptr,        "No serial port is chosen"}),
    [](const ::testing::TestParamInfo<RefusalCase> &info) { return info.param.name; });
// clang-format on

TEST_F(ConsoleStateTest, NetworkPortInUseSaysWhatToDo)
{
    Diagnostics::out(
        QStringLiteral("*** Keylark : Network keying cannot listen on 127.0.0.1 port 6789 (another "
                       "program uses it); Keylark goes on without network keying."),
        Diagnostic::Failure::NetworkListen);
    EXPECT_EVENTUALLY(!error().isEmpty());
    EXPECT_TRUE(error().contains(QStringLiteral("choose another port in Preferences, Network")))
        << error().toStdString();
}

TEST_F(ConsoleStateTest, FirstStartSaysWhatToSetAndWhere)
{
    QWidget *hint = widget(QStringLiteral("setupHint"));
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(label(QStringLiteral("setupHintText"))->text().contains(QStringLiteral("serial port")));
    click(QStringLiteral("setupHintButton"));
    PreferencesController *preferences = delegate->preferencesController();
    ASSERT_NE(preferences, nullptr);
    EXPECT_TRUE(preferences->isVisible());
    auto *panes = preferences->findChild<QTabWidget *>(QStringLiteral("preferencesTab"));
    EXPECT_EQ(panes->currentWidget()->objectName(), GeneralIdentifier);

    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(label(QStringLiteral("setupHintText"))->text().contains(QStringLiteral("DTR or RTS")));
    click(QStringLiteral("setupHintButton"));
    EXPECT_EQ(panes->currentWidget()->objectName(), AdvancedIdentifier);

    store->setValue(KLKSerialRTSKey, true);
    EXPECT_FALSE(hint->isVisible());
}

struct SpinCase
{
    const char *name;
    const char *box;
    const char *typed;
    QString key;
    double stored;
};

void PrintTo(const SpinCase &row, std::ostream *out)
{
    *out << row.name;
}

class SpinBoxTest : public ConsoleStateTest, public ::testing::WithParamInterface<SpinCase>
{
};

// Typing "10" into the word gap must not key with a gap of 1 while the second digit is on its way.
TEST_P(SpinBoxTest, StoresOnlyTheCommittedValue)
{
    const SpinCase &row = GetParam();
    console->toggleDrawer();
    auto *box = widget<QAbstractSpinBox>(QString::fromLatin1(row.box));
    QStringList storedKeys;
    QObject::connect(store.get(), &SettingsStore::changed, box,
                     [&](const QString &key) { storedKeys.append(key); });
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    // Typed as the operator would in their own language: "2,75" in German.
    QTest::keyClicks(box, QString::fromLatin1(row.typed).replace(u'.', box->locale().decimalPoint()));
    EXPECT_TRUE(storedKeys.isEmpty());
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(storedKeys, QStringList{row.key});
    EXPECT_DOUBLE_EQ(store->doubleValue(row.key), row.stored);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Boxes, SpinBoxTest, ::testing::Values(
    SpinCase{"Speed",   "speedSpinBox",       "28",   KLKWpmKey,         28},
    SpinCase{"WordGap", "wordRatioSpinBox",   "10",   KLKTimeWordKey,    10},
    SpinCase{"Dah",     "dahRatioSpinBox",    "2.75", KLKTimeDahKey,     2.75},
    SpinCase{"Pause",   "beaconDelaySpinBox", "15",   KLKBeaconDelayKey, 15},
    SpinCase{"Pitch",   "sidetonePitchSpinBox", "650", KLKSidetonePitchKey, 650},
    SpinCase{"Volume",  "sidetoneVolumeSpinBox", "30", KLKSidetoneVolumeKey, 30}),
    [](const ::testing::TestParamInfo<SpinCase> &info) { return info.param.name; });
// clang-format on

TEST_F(ConsoleStateTest, PanelOffersTheRangesOfThePreferencesAndTheSpeedKeys)
{
    store->setValue(KLKTimeDahKey, 2.75);
    delegate->showPreferences();
    for (QWidget *window :
         {static_cast<QWidget *>(console), static_cast<QWidget *>(delegate->preferencesController())}) {
        for (auto *ratio : window->findChildren<QDoubleSpinBox *>()) {
            EXPECT_EQ(ratio->minimum(), KLKRatioRange.minimum) << ratio->objectName().toStdString();
            EXPECT_EQ(ratio->maximum(), KLKRatioRange.maximum) << ratio->objectName().toStdString();
            EXPECT_EQ(ratio->decimals(), 2) << ratio->objectName().toStdString();
        }
    }
    EXPECT_DOUBLE_EQ(widget<QDoubleSpinBox>(QStringLiteral("dahRatioSpinBox"))->value(), 2.75);
    auto *speed = widget<QSpinBox>(QStringLiteral("speedSpinBox"));
    EXPECT_EQ(speed->maximum(), KLKWpmRange.maximum);
    EXPECT_EQ(
        delegate->preferencesController()->findChild<QSpinBox *>(QStringLiteral("wpmSpinBox"))->maximum(),
        KLKWpmRange.maximum);
}

TEST_F(ConsoleStateTest, WheelChangesOnlyTheFocusedBox)
{
    console->toggleDrawer();
    auto *speed = widget<QSpinBox>(QStringLiteral("speedSpinBox"));
    const auto turn = [speed] {
        const QPointF at(speed->width() / 2.0, speed->height() / 2.0);
        QWheelEvent wheel(at, speed->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(speed, &wheel);
    };
    ASSERT_FALSE(speed->hasFocus());
    turn();
    EXPECT_EQ(store->intValue(KLKWpmKey), 12);
    speed->setFocus();
    turn();
    EXPECT_EQ(store->intValue(KLKWpmKey), 13);
}

TEST_F(ConsoleStateTest, FrameIsSavedSoonAfterAMoveOrResize)
{
    const QString before = store->stringValue(ConsoleController::FrameKey);
    console->resize(820, 500);
    EXPECT_EVENTUALLY(store->stringValue(ConsoleController::FrameKey) != before);
    QMainWindow probe;
    ASSERT_TRUE(probe.restoreGeometry(
        QByteArray::fromBase64(store->stringValue(ConsoleController::FrameKey).toLatin1())));
    EXPECT_EQ(probe.size(), QSize(820, 500));
}

TEST_F(ConsoleStateTest, ChosenLogFontIsRemembered)
{
    QFont chosen = log()->font();
    chosen.setPointSize(17);
    QTimer::singleShot(0, [chosen] {
        auto *dialog = qobject_cast<QFontDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setCurrentFont(chosen);
        dialog->accept();
    });
    console->findChild<QAction *>(QStringLiteral("actionLogFont"))->trigger();
    EXPECT_EQ(log()->font().pointSize(), 17);

    delegate.reset();
    delegate = std::make_unique<AppDelegate>(*store, [](SettingsStore &, ConsoleLookup lookup) {
        return std::make_unique<RecordingKeying>(std::move(lookup));
    });
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(delegate->consoleController()
                  ->findChild<QPlainTextEdit *>(QStringLiteral("textViewOutlet"))
                  ->font()
                  .pointSize(),
              17);
}

class LongLabelsTest : public ConsoleStateTest
{
protected:
    void prepareStore() override
    {
        for (int key = 1; key <= FUNCTIONCOUNT; ++key)
            store->setValue(labelKey(QStringLiteral("messageG1"), key),
                            QStringLiteral("Contest exchange with serial number %1").arg(key));
        store->setValue(messageKey(QStringLiteral("messageG1"), 1), QStringLiteral("5nn $C"));
    }
};

TEST_F(LongLabelsTest, ConsoleFitsASmallScreenWithLabelsElided)
{
    console->resize(800, 480);
    EXPECT_EVENTUALLY_EQ(console->size(), QSize(800, 480));
    EXPECT_LE(console->minimumSizeHint().width(), 800);
    EXPECT_LE(console->minimumSizeHint().height(), 480);
    auto *cell = qobject_cast<FunctionKeyCell *>(functionKey(1));
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(cell->isElided());
    EXPECT_TRUE(cell->text().endsWith(QChar(0x2026))) << cell->text().toStdString();
    EXPECT_EQ(cell->toolTip(), QStringLiteral("Contest exchange with serial number 1\n5nn $C"));

    console->toggleDrawer();
    EXPECT_LE(console->minimumSizeHint().width(), 800) << "with the keyer panel open";
    store->setValue(KLKPracticeModeKey, true);
    EXPECT_LE(console->minimumSizeHint().width(), 800) << "in practice mode";
    EXPECT_LE(console->minimumSizeHint().height(), 480) << "in practice mode";
    console->resize(800, 480);
    EXPECT_EVENTUALLY(label(QStringLiteral("clockLabel"))->text().contains(QStringLiteral("UTC")));
}

} // namespace
