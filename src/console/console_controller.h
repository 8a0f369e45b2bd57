#pragma once

#include "keying/console_log.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class Console;
}

class Announcer;
class ConsoleHost;
class ConsoleNarration;
class FunctionKeyCell;
class FunctionKeyRow;
class KeyLamp;
class Keyer;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QWidget;
class SettingBinding;
class StatusReport;
class SettingsStore;

// Repeat suppression of the function keys, shared by every console of the process.
extern int G_KLKFunctionKeyDown;     // 1 while a function key's repeat-suppression window is open
extern int G_KLKFunctionKeyPrevious; // the key (1 to 12) that opened it; 0 for none

// The operator's window: the log, the input line, the commands, the twelve function keys of the selected
// message group and the keyer panel. The transmission worker writes to the log through ConsoleLog from its
// own thread; those calls are queued onto the interface thread in the order they were made. Return sends
// only from the input line; typing always reaches the input line.
class ConsoleController : public QMainWindow, public ConsoleLog
{
    Q_OBJECT
    Q_PROPERTY(QDateTime dateJST READ dateJST WRITE setDateJST NOTIFY dateJSTChanged)

public:
    ConsoleController(SettingsStore &store, ConsoleHost &host, QWidget *parent = nullptr);
    ~ConsoleController() override;

    void showWindow();
    Keyer *keyer() const { return keyer_; }

    // The log interface of the transmission worker; callable from any thread.
    void appendText(const QString &text) override;
    void appendPrompt(const QString &text) override;
    void lineInClear() override;
    void appendTextWithColor(const QString &text);

    void dateUpdate();
    void functionKeyClear();
    QDateTime dateJST() const { return dateJST_; }
    void setDateJST(const QDateTime &date);

    QString sendText() const { return sendText_; }
    void setSendText(const QString &text) { sendText_ = text; }
    void updateTextView();
    // The keying engine is about to go: the console stops following what it keys.
    void stopFollowingKeying();

    // Commands.
    void sendAction();
    void clearAction();
    // Writes the log as shown to the file at path; false, and said in the status bar, when it could not.
    bool saveLog(const QString &path);
    void cancelAction();
    void beacon();
    void wpmUp();
    void wpmDown();
    void messageGroupChange(QObject *sender);
    void toggleDrawer();
    void setTransmitKeyEquiv(bool flag);
    void functionAction(QObject *sender);
    void pressFunctionKey(int key);

    // Message groups.
    void tabViewDidSelectTabViewItem(int index);
    void setFunctionTitle(const QString &identifier);
    void setSelectedMessageGroup(const QString &identifier);
    QString selectedMessageGroup() const;

    // The system alert; tests replace it to observe it.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    // Where the console's position and size are kept.
    static inline const QString FrameKey = QStringLiteral("ConsoleWindowFrame");

signals:
    void dateJSTChanged(const QDateTime &date);
    void closed();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template <typename Function> void onInterfaceThread(Function function);
    void awakeFromNib();
    void connectCommands();
    void bindDrawer();
    void bindCallAndReport();
    void installKeyShortcuts();
    void nameControls();
    void orderTabs();
    void styleBadge();
    void fitBadge();
    void followPalette();
    void followFont();
    FunctionKeyCell *functionKeyCell(int key) const;
    void buildStatusBar();
    void buildSetupHint();
    void showStatus();
    void showSetupHint();
    void openSetupPane();
    void returnPressed();
    void insertAtEnd(const QString &text, bool prompt);
    void clearInputLine();
    void applyScrollBack();
    void showClock();
    void updateSendingIndicator();
    void updateSpeedLabel();
    void bindPractice();
    void showPractice();
    void refreshMessagePages();
    void refreshMessagePage(int group);
    void chooseLogFont();
    void saveLogAs();
    void restoreLogFont();
    void saveGeometrySetting();
    void settingChanged(const QString &key);

    std::unique_ptr<Ui::Console> ui_;
    SettingsStore &store_;
    ConsoleHost &host_;
    StatusReport &status_;
    Keyer *keyer_;
    QString sendText_;
    QDateTime dateJST_;
    std::function<void()> beep_;
    enum class Badge { Idle, OnAir, Pause, Armed };
    Badge badge_ = Badge::Idle;
    int badgeWidth_ = 0;
    Announcer *announcer_ = nullptr;
    ConsoleNarration *narration_ = nullptr;
    KeyLamp *keyLamp_ = nullptr;
    QTimer sendingPoll_;
    QTimer frameSave_;
    bool windowLoaded_ = false;
    bool returnSends_ = false;
    QLabel *statusError_ = nullptr;
    QLabel *statusInformation_ = nullptr;
    QLabel *statusNetwork_ = nullptr;
    QLabel *practiceIndicator_ = nullptr;
    QWidget *setupHint_ = nullptr;
    QLabel *setupHintText_ = nullptr;
    QPushButton *setupHintButton_ = nullptr;
    std::vector<std::unique_ptr<SettingBinding>> titleBindings_;
    std::vector<std::unique_ptr<SettingBinding>> drawerBindings_;
    std::vector<std::unique_ptr<SettingBinding>> noteBindings_;

    // Outlets.
    QPlainTextEdit *textViewOutlet;
    QLineEdit *lineInOutlet;
    QLineEdit *callOutlet;
    QLineEdit *rstOutlet;
    QPushButton *transmitOutlet;
    QPushButton *stopOutlet;
    FunctionKeyRow *f1tof4Outlet;
    FunctionKeyRow *f5tof8Outlet;
    FunctionKeyRow *f9tof12Outlet;
    QLabel *selectedMessageGroupOutlet;
    QWidget *drawerOutlet;
    QTabWidget *messageTabOutlet;
    QWidget *messageViewOutlet;
};
