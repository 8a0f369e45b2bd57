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

class AppDelegate;
class FunctionKeyRow;
class Keyer;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QWidget;
class SettingBinding;
class SettingsStore;

// Repeat suppression of the function keys, shared by every console of the process.
extern int G_KLKFunctionKeyDown;     // 1 while a function key's repeat-suppression window is open
extern int G_KLKFunctionKeyPrevious; // the key (1 to 12) that opened it; 0 for none

// The operator's window: the log, the input line, the commands, the twelve function keys of the selected
// message group and the keyer panel. The transmission worker writes to the log through ConsoleLog from its
// own thread; those calls are queued onto the interface thread in the order they were made.
class ConsoleController : public QMainWindow, public ConsoleLog
{
    Q_OBJECT
    Q_PROPERTY(QDateTime dateJST READ dateJST WRITE setDateJST NOTIFY dateJSTChanged)

public:
    ConsoleController(SettingsStore &store, AppDelegate &delegate, QWidget *parent = nullptr);
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

    // Commands.
    void sendAction();
    void clearAction();
    void cancelAction();
    void beacon();
    void wpmUp();
    void wpmDown();
    void messageGroupChange(QObject *sender);
    void toggleDrawer();
    void setTransmitKeyEquiv(bool flag);
    void functionAction(QObject *sender);

    // Message groups.
    void tabViewDidSelectTabViewItem(int index);
    void setFunctionTitle(const QString &identifier);
    void setSelectedMessageGroup(const QString &identifier);
    QString selectedMessageGroup() const;

    // The system alert; tests replace it to observe it.
    void setBeep(std::function<void()> beep) { beep_ = std::move(beep); }
    void showDiagnostic(const QString &line);

signals:
    void dateJSTChanged(const QDateTime &date);
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    template <typename Function> void onInterfaceThread(Function function);
    void awakeFromNib();
    void connectCommands();
    void bindDrawer();
    void installKeyShortcuts();
    void insertAtEnd(const QString &text, bool prompt);
    void showClock();
    void updateSendingIndicator();
    void updateSpeedLabel();
    void refreshMessagePages();
    void refreshMessagePage(int group);
    void chooseLogFont();
    void saveGeometrySetting();
    void settingChanged(const QString &key);

    std::unique_ptr<Ui::Console> ui_;
    SettingsStore &store_;
    AppDelegate &delegate_;
    Keyer *keyer_;
    QString sendText_;
    QDateTime dateJST_;
    std::function<void()> beep_;
    QTimer sendingPoll_;
    bool windowLoaded_ = false;
    std::vector<std::unique_ptr<SettingBinding>> titleBindings_;
    std::vector<std::unique_ptr<SettingBinding>> drawerBindings_;

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
