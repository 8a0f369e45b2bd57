#pragma once

#include "console/repeat_guard.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class FunctionKeyCell;
class FunctionKeyRow;
class Keyer;
class QWidget;
class SettingBinding;
class SettingsStore;

// The console's twelve function keys: three rows of four cells, pressed with the mouse or with F1 to F12
// in the window. The cells are titled with the labels of the message group shown, and describe the
// message each would send. A press that the repeat guard admits stops a transmission that runs, or else
// offers the key's message, macros expanded and upper-cased, to be sent.
class FunctionKeyPad : public QObject
{
    Q_OBJECT

public:
    using Rows = std::array<FunctionKeyRow *, 3>;

    // The shortcuts F1 to F12 act in window.
    FunctionKeyPad(const Rows &rows, QWidget &window, Keyer &keyer, SettingsStore &store,
                   QObject *parent = nullptr);
    ~FunctionKeyPad() override;

    // Titles the keys and describes their messages for the group ("messageG1" to "messageG8").
    void showGroup(const QString &group);
    // The press of a cell, or of a row whose cell pressed last counts; anything without a key's tag is
    // ignored.
    void functionAction(QObject *sender);
    void press(int key); // 1 to 12
    RepeatGuard &repeatGuard() { return guard_; }
    // In keyboard mode a key adds its message to what waits instead of stopping the keyer.
    void setAppending(bool appending) { appending_ = appending; }

signals:
    // The message of the key pressed, ready to send.
    void messageChosen(const QString &text);
    // The key pressed has no message stored.
    void keyWithoutMessage();

private:
    FunctionKeyRow *row(int key) const;
    FunctionKeyCell *cell(int key) const;
    void settingChanged(const QString &key);

    Rows rows_;
    Keyer &keyer_;
    SettingsStore &store_;
    RepeatGuard guard_;
    bool appending_ = false;
    QString group_;
    std::vector<std::unique_ptr<SettingBinding>> titleBindings_;
};
