#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>

class ElementTimeline;
class KeyboardText;
class KeyingController;
class SettingsStore;

// The console's way into the keying engine: expands the macro tokens of a message, upper-cases it and
// hands it to the keying controller; passes stop, clear and beacon through.
class Keyer
{
public:
    using Clock = std::function<QDateTime()>;
    using ReadObserver = std::function<void(const QString &key)>;

    // The most a transmission carries: the worker's 4096-byte buffer less its terminating zero.
    static constexpr qsizetype MaxExpansionBytes = 4095;

    Keyer(SettingsStore &store, KeyingController &serialController);

    void sendMessage(const QString &message, const QString &messageGroup);
    bool isSending() const;
    void sendStop();
    void sendClear();
    void beaconSend();
    bool beaconArmed() const;
    int beaconPauseLeft() const; // whole seconds
    void beaconDisarm();
    // What the engine keys, edge by edge; nullptr when the engine publishes nothing.
    ElementTimeline *elementTimeline() const;
    // Keyboard mode: what waits to be keyed as typed; nullptr when the engine keys no typed text.
    KeyboardText *keyboardText() const;
    // Keys what waits in keyboard mode once the keyer is free: 0 started or joined, 1 busy, -1 refused.
    int keyTyped();

    void replaceMacro(QString &text, const QString &macro, const QString &replaceString) const;
    QString replaceGlobalMacro(const QString &text) const;
    QString replaceLocalMacro(const QString &text, const QString &messageGroup) const;
    QString replaceAllMacro(const QString &text, const QString &messageGroup) const;

    QString getGreeting() const;

    // Seams: the time the greeting is chosen by, and a witness of every setting the keyer reads.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setReadObserver(ReadObserver observer) { readObserver_ = std::move(observer); }

private:
    QVariant setting(const QString &key) const;
    int boundaryMinute(const QString &key) const;
    bool expandToken(QString &text, const QString &macro, const QString &value) const;
    bool expandGlobal(QString &text) const;
    bool expandLocal(QString &text, const QString &messageGroup) const;

    SettingsStore &store_;
    KeyingController &serialController_;
    Clock clock_ = [] { return QDateTime::currentDateTime(); };
    ReadObserver readObserver_;
};
