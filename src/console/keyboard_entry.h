#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class KeyboardText;
class Keyer;
class QLineEdit;
class SettingsStore;

// Keyboard mode in the input line: what is typed is keyed character by character as soon as the keyer is
// free. The line holds the burst: the characters already keyed, dimmed and fixed, then those that wait and
// may still be edited. A burst leaves the line once the keyer has ended it.
class KeyboardEntry : public QObject
{
    Q_OBJECT

public:
    // How often a text that waits asks the keyer again while another transmission keys.
    static constexpr int retryMilliseconds = 20;

    KeyboardEntry(QLineEdit &line, Keyer &keyer, SettingsStore &store, QObject *parent = nullptr);

    bool isOn() const { return on_; }
    // Adds a stored message, its macros expanded, to what waits.
    void append(const QString &text);
    // After a stop or a clear of the line: what waits goes; a character being keyed goes on.
    void dropWaiting();

signals:
    void switched(bool on);
    // An edit of what was already keyed, or text the keyer refuses (no port): the alert sounds.
    void refused();

private:
    void settingChanged(const QString &key);
    void switchTo(bool on);
    void edited(const QString &text);
    void keyWaiting();
    void showText();
    void dimTaken();

    QLineEdit &line_;
    Keyer &keyer_;
    SettingsStore &store_;
    KeyboardText *text_;
    QTimer retry_;
    bool on_ = false;
};
