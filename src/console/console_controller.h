#pragma once

#include <QDateTime>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <vector>

namespace Ui {
class Console;
}

class ConsoleClock;
class ConsoleLogRelay;
class ConsoleLogView;
class ConsoleNarration;
class ConsoleStatusBar;
class FunctionKeyPad;
class FunctionKeyRow;
class KeyLamp;
class KeyboardEntry;
class Keyer;
class KeyerCommands;
class KeyerPanel;
class MessageGroupTabs;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class ScreenFrame;
class SettingBinding;
class SettingsStore;
class StateBadge;
class StatusReport;
class WindowFrameKeeper;

// The operator's window: the log, the input line, the commands, the twelve function keys of the selected
// message group and the keyer panel. It owns its parts and connects them; each part knows the keyer, the
// settings or the status, never another part. The transmission worker writes to the log through the
// console's log relay, from its own thread. Return sends only from the input line; typing always reaches
// the input line.
class ConsoleController : public QMainWindow
{
    Q_OBJECT

public:
    ConsoleController(SettingsStore &store, Keyer &keyer, KeyerCommands &commands, StatusReport &status,
                      QWidget *parent = nullptr);
    ~ConsoleController() override;

    void showWindow();
    Keyer *keyer() const { return &keyer_; }

    // What the transmission worker writes to; callable from any thread.
    ConsoleLogRelay &logRelay() const { return *logRelay_; }

    QString sendText() const { return sendText_; }
    void setSendText(const QString &text) { sendText_ = text; }
    void updateTextView();
    // Writes the log as shown to the file at path; false, and said in the status bar, when it could not.
    bool saveLog(const QString &path);
    // The keying engine is about to go: the console stops following what it keys.
    void stopFollowingKeying();

    void dateUpdate();
    QDateTime dateJST() const;
    void setDateJST(const QDateTime &date);
    ConsoleClock &clock() const { return *clock_; }

    // Commands.
    void sendAction();
    void clearAction();
    void cancelAction();
    void beacon();
    void toggleDrawer();
    void setTransmitKeyEquiv(bool flag);
    void pressFunctionKey(int key);
    FunctionKeyPad &functionKeys() const { return *functionKeys_; }

    // Message groups.
    void messageGroupChange(QObject *sender);
    void tabViewDidSelectTabViewItem(int index);
    void setFunctionTitle(const QString &identifier);
    void setSelectedMessageGroup(const QString &identifier);
    QString selectedMessageGroup() const;

    // The system alert; tests replace it to observe it.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }

    // Where the console's position and size are kept.
    static inline const QString FrameKey = QStringLiteral("ConsoleWindowFrame");

signals:
    void closed();
    // The operator asked for the preferences, at the setting key when it is not empty.
    void preferencesRequested(const QString &key);

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void makeParts();
    void followLogRelay();
    void awakeFromNib();
    void connectCommands();
    void connectParts();
    void bindPractice();
    void bindKeyboard();
    void showKeyboard(bool on);
    void bindCallAndReport();
    void orderTabs();
    void followPalette();
    void followFont();
    void returnPressed();
    void clearInputLine();
    void showPractice();
    void updateSpeedLabel();
    void settingChanged(const QString &key);

    std::unique_ptr<Ui::Console> ui_;
    SettingsStore &store_;
    Keyer &keyer_;
    KeyerCommands &commands_;
    StatusReport &status_;
    QString sendText_;
    std::function<void()> beep_;
    bool windowLoaded_ = false;
    bool returnSends_ = false;
    // The parts go before the form's widgets that they hold.
    std::unique_ptr<WindowFrameKeeper> frame_;
    std::unique_ptr<ConsoleLogRelay> logRelay_;
    std::unique_ptr<ConsoleStatusBar> statusBar_;
    std::unique_ptr<ConsoleNarration> narration_;
    std::unique_ptr<ScreenFrame> screenFrame_;
    std::unique_ptr<ConsoleLogView> log_;
    std::unique_ptr<ConsoleClock> clock_;
    std::unique_ptr<StateBadge> badge_;
    std::unique_ptr<KeyLamp> keyLamp_;
    std::unique_ptr<KeyboardEntry> keyboard_;
    std::unique_ptr<FunctionKeyPad> functionKeys_;
    std::unique_ptr<KeyerPanel> keyerPanel_;
    std::unique_ptr<MessageGroupTabs> messageGroups_;
    std::vector<std::unique_ptr<SettingBinding>> bindings_;

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
