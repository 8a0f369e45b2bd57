#include "preferences_fixture.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPixmap>

namespace {

// The window with the device pop-up's list drawn open over it, as the operator sees it when choosing.
QPixmap withPopUpOpen(QWidget &window)
{
    auto *popUp = window.findChild<QComboBox *>(QStringLiteral("devicePopUpButton"));
    popUp->showPopup();
    QWidget *list = popUp->view()->window();
    QPixmap shot = window.grab();
    QPainter painter(&shot);
    painter.drawPixmap(window.mapFromGlobal(list->mapToGlobal(QPoint(0, 0))), list->grab());
    painter.end();
    popUp->hidePopup();
    return shot;
}

// Not a check: renders the five panes for the documentation when asked, e.g.
// KEYLARK_SCREENSHOTS=docs preferences_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
TEST_F(PreferencesTest, DISABLED_Screenshots)
{
    const QString target = qEnvironmentVariable("KEYLARK_SCREENSHOTS");
    if (target.isEmpty())
        GTEST_SKIP() << "KEYLARK_SCREENSHOTS names no folder";
    devices.addUart(QStringLiteral("ttyS0"), 4, QStringLiteral("pnp0/00:04"));
    devices.addUsbAdapter(FtdiAdapter);
    devices.addUsbAdapter(ArduinoBoard);
    store->setValue(KLKSerialDeviceKey, QStringLiteral("/dev/serial/by-id/") + FtdiAdapter.byId);
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

    open();
    preferences->showWindow();
    ASSERT_TRUE(QDir().mkpath(target));
    const QStringList names = {"general", "keyer", "message", "macro", "advanced"};
    for (int index = 0; index < names.size(); ++index) {
        toolbar()->actions().at(index)->trigger();
        preferences->adjustSize();
        const QString file = QDir(target).filePath(QStringLiteral("preferences-%1.png").arg(names.at(index)));
        const QPixmap shot = index == 0 ? withPopUpOpen(*preferences) : preferences->grab();
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
    }
}

} // namespace
