#include "preferences_fixture.h"

#include <QAction>
#include <QDir>
#include <QPixmap>

namespace {

// Not a check: renders the five panes for the documentation when asked, e.g.
// KEYLARK_SCREENSHOTS=docs preferences_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
TEST_F(PreferencesTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("KEYLARK_SCREENSHOTS");
    if (target.isEmpty())
        GTEST_SKIP() << "KEYLARK_SCREENSHOTS names no folder";
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
    store->setValue(KLKSerialDTRKey, true);
    store->setValue(KLKSerialRTSReverseKey, true);
    store->setValue(KLKRransmitKeyEquivKey, true);
    store->setValue(KLKBeaconDelayKey, qint64(10));
    store->setValue(QStringLiteral("macroM"), QStringLiteral("JA1ZLO"));
    store->setValue(QStringLiteral("macroO"), QStringLiteral("KEN"));
    store->setValue(QStringLiteral("macroH"), QStringLiteral("TOKYO"));
    store->setValue(QStringLiteral("macroR"), QStringLiteral("599"));
    store->setValue(QStringLiteral("messageG1MacroP"), QStringLiteral("13M"));
    store->setValue(QStringLiteral("messageG1MacroT"), QStringLiteral("TEST"));
    const QStringList labels = {"CQ", "QRZ", "5NN", "TU", "AGN", "", "", "", "", "", "", "73"};
    const QStringList messages = {"CQ CQ CQ DE $M $M $M K",
                                  "QRZ? DE $M K",
                                  "$C 5NN $P",
                                  "TU $M TEST",
                                  "AGN AGN",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "$C DE $M TNX FB QSO 73 $G TU E E"};
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        if (!labels.at(key - 1).isEmpty())
            store->setValue(labelKey(QStringLiteral("messageG1"), key), labels.at(key - 1));
        if (!messages.at(key - 1).isEmpty())
            store->setValue(messageKey(QStringLiteral("messageG1"), key), messages.at(key - 1));
    }
    store->setValue(QStringLiteral("messageG1Label"), QStringLiteral("Contest"));

    open({"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1"});
    preferences->showWindow();
    ASSERT_TRUE(QDir().mkpath(target));
    const QStringList names = {"general", "keyer", "message", "macro", "advanced"};
    for (int index = 0; index < names.size(); ++index) {
        toolbar()->actions().at(index)->trigger();
        preferences->adjustSize();
        const QString file = QDir(target).filePath(QStringLiteral("preferences-%1.png").arg(names.at(index)));
        EXPECT_TRUE(preferences->grab().save(file)) << file.toStdString();
    }
}

} // namespace
