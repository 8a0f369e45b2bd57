#include "preferences_fixture.h"
#include "window_fit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

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

// The window at the size that shows the whole of its pane, without scrolling.
QPixmap wholePane(QWidget &window)
{
    QTest::qWait(50);
    window.resize(window.sizeHint());
    QTest::qWait(50);
    return window.grab();
}

class PreferencesScreenshots : public PreferencesTest
{
protected:
    // The General pane as the settings stand, in a window made again for them.
    void saveGeneralPane(const QString &name)
    {
        preferences.reset();
        open();
        preferences->showWindow();
        showPane(0);
        wholePane(*preferences);
        // The window's own size hint leaves this pane a little narrow: widen it until nothing scrolls
        // sideways.
        auto *area = qobject_cast<QScrollArea *>(control<QTabWidget>(QStringLiteral("preferencesTab"))
                                                     ->currentWidget()
                                                     ->findChild<QScrollArea *>());
        if (area && area->horizontalScrollBar()->maximum() > 0)
            preferences->resize(preferences->width() + area->horizontalScrollBar()->maximum(),
                                preferences->height());
        QTest::qWait(50);
        save(preferences->grab(), name);
    }
    void SetUp() override
    {
        PreferencesTest::SetUp();
        target = qEnvironmentVariable("KEYLARK_SCREENSHOTS");
        if (target.isEmpty())
            GTEST_SKIP() << "KEYLARK_SCREENSHOTS names no folder";
        ASSERT_TRUE(QDir().mkpath(target));
        fillShowcase();
        open();
        preferences->showWindow();
    }
    void fillShowcase();
    void save(const QPixmap &shot, const QString &name) const
    {
        const QString file = QDir(target).filePath(name);
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
    }
    void showPane(int index) const { toolbar()->actions().at(index)->trigger(); }

    QString target;
};

void PreferencesScreenshots::fillShowcase()
{
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
}

// Not a check: renders the five panes for the documentation when asked, e.g.
// KEYLARK_SCREENSHOTS=docs preferences_tests --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'
TEST_F(PreferencesScreenshots, DISABLED_Panes)
{
    const QStringList names = {"general", "keyer", "message", "macro", "advanced"};
    for (int index = 0; index < names.size(); ++index) {
        showPane(index);
        const QPixmap whole = wholePane(*preferences);
        save(index == 0 ? withPopUpOpen(*preferences) : whole,
             QStringLiteral("preferences-%1.png").arg(names.at(index)));
    }
}

// The Message pane, the fullest, at twice the desktop's font size; the General pane in a high-contrast theme.
TEST_F(PreferencesScreenshots, DISABLED_LargeTextAndHighContrast)
{
    {
        WindowFit::DesktopLook look;
        look.doubleFont();
        showPane(2);
        save(wholePane(*preferences), QStringLiteral("preferences-large-text.png"));
    }
    WindowFit::DesktopLook look;
    look.highContrast();
    showPane(0);
    save(wholePane(*preferences), QStringLiteral("preferences-high-contrast.png"));
}

// The General pane with the radio's keyer chosen: an IC-7300 on its own USB cable.
TEST_F(PreferencesScreenshots, DISABLED_RadioKeyer)
{
    const FakeUsbAdapter radio{
        "ttyUSB1",
        "1-4",
        "Silicon Labs",
        "CP2102 USB to UART Bridge Controller",
        "IC-7300 03001234",
        "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_IC-7300_03001234-if00-port0"};
    devices.addUsbAdapter(radio);
    store->setValue(KLKKeyingOutputKey, KLKRadioKeyerOutput);
    store->setValue(KLKRadioModelKey, qint64(3073));
    store->setValue(KLKRadioPortKey, QStringLiteral("/dev/serial/by-id/") + radio.byId);
    store->setValue(KLKRadioSerialSpeedKey, qint64(115200));
    saveGeneralPane(QStringLiteral("preferences-general-radio.png"));
}

// The General pane with a WinKeyer chosen on its USB cable.
TEST_F(PreferencesScreenshots, DISABLED_WinKeyer)
{
    const FakeUsbAdapter keyer{"ttyUSB1",  "1-4",
                               "FTDI",     "FT230X Basic UART",
                               "DK0ABCDE", "usb-FTDI_FT230X_Basic_UART_DK0ABCDE-if00-port0"};
    devices.addUsbAdapter(keyer);
    store->setValue(KLKKeyingOutputKey, KLKWinKeyerOutput);
    store->setValue(KLKWinKeyerPortKey, QStringLiteral("/dev/serial/by-id/") + keyer.byId);
    saveGeneralPane(QStringLiteral("preferences-general-winkeyer.png"));
}

} // namespace
