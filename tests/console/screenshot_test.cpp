#include "console/console_fixture.h"
#include "keying/diagnostics.h"
#include "window_fit.h"

#include <QAction>
#include <QDir>

#include <thread>

namespace {

// Not a check: renders the console for the documentation when asked, e.g.
// KEYLARK_SCREENSHOTS=docs console_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
class ConsoleScreenshots : public ConsoleFixture
{
protected:
    void prepareStore() override
    {
        const QStringList labels = {"CQ", "QRZ", "5NN", "TU", "AGN", "Exchange", "", "", "", "", "", "73"};
        for (int key = 1; key <= labels.size(); ++key) {
            if (!labels.at(key - 1).isEmpty())
                store->setValue(labelKey(QStringLiteral("messageG1"), key), labels.at(key - 1));
        }
        store->setValue(messageKey(QStringLiteral("messageG1"), 1), QStringLiteral("cq test $M $M test"));
        store->setValue(messageKey(QStringLiteral("messageG1"), 3), QStringLiteral("$C 5nn $P"));
        store->setValue(messageKey(QStringLiteral("messageG1"), 4), QStringLiteral("tu $M test"));
        store->setValue(groupLabelKey(QStringLiteral("messageG1")), QStringLiteral("Contest"));
        store->setValue(globalMacroKey(u'M'), QStringLiteral("ab1cd"));
        store->setValue(globalMacroKey(u'C'), QStringLiteral("dl1abc"));
        store->setValue(globalMacroKey(u'R'), QStringLiteral("599"));
        store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/ttyUSB0"));
        store->setValue(KLKSerialDTRKey, true);
        store->setValue(KLKWpmKey, qint64(24));
    }
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        target = qEnvironmentVariable("KEYLARK_SCREENSHOTS");
        if (target.isEmpty())
            GTEST_SKIP() << "KEYLARK_SCREENSHOTS names no folder";
        ASSERT_TRUE(QDir().mkpath(target));
        console->findChild<QAction *>(QStringLiteral("actionToggleDrawer"))->trigger();
        console->logRelay().appendPrompt(QStringLiteral("21:04:10  "));
        console->logRelay().appendText(QStringLiteral("CQ TEST AB1CD AB1CD TEST\n"));
        console->logRelay().appendPrompt(QStringLiteral("21:04:31  "));
        console->logRelay().appendText(QStringLiteral("DL1ABC 5NN 13"));
        std::thread([] {
            Diagnostics::out(QStringLiteral("#.. Keylark : Serial found path: /dev/ttyUSB0"));
        }).join();
        recorder->sending = 1;
    }
    // The console as large as it would like to be, as on a desktop with room for it.
    void shoot(const QString &name)
    {
        QTest::qWait(100);
        console->resize(console->sizeHint().expandedTo(console->size()));
        QTest::qWait(300);
        const QString file = QDir(target).filePath(name);
        EXPECT_TRUE(console->grab().save(file)) << file.toStdString();
    }

    QString target;
};

TEST_F(ConsoleScreenshots, DISABLED_LargeText)
{
    WindowFit::DesktopLook look;
    look.doubleFont();
    shoot(QStringLiteral("console-large-text.png"));
}

// Practice mode while sending, the key lamp lit by a key-down of the timeline.
TEST_F(ConsoleScreenshots, DISABLED_Practice)
{
    store->setValue(KLKPracticeModeKey, true);
    recorder->timeline.publish({KeyEvent::Edge::Down, 0, 180'000'000});
    QTest::qWait(200);
    shoot(QStringLiteral("console-practice.png"));
}

TEST_F(ConsoleScreenshots, DISABLED_HighContrast)
{
    WindowFit::DesktopLook look;
    look.highContrast();
    shoot(QStringLiteral("console-high-contrast.png"));
}

} // namespace
