#pragma once

#include "keying/console_log.h"

#include <QObject>
#include <QString>

// What the transmission worker writes to the console, from its own thread or any other. Each call becomes
// a signal that the console takes on its own thread: at once when the call is made there, else queued, in
// the order the calls were made.
class ConsoleLogRelay : public QObject, public ConsoleLog
{
    Q_OBJECT

public:
    explicit ConsoleLogRelay(QObject *parent = nullptr) : QObject(parent) {}

    void appendText(const QString &text) override { emit textAppended(text); }
    // The worker writes the prompt once the port is open and the pass begins to key.
    void appendPrompt(const QString &text) override { emit promptAppended(text); }
    void lineInClear() override { emit lineInCleared(); }
    void appendPaddlePrompt(const QString &text) override { emit colouredTextAppended(text); }
    void appendPaddleText(const QString &text) override { emit paddleTextAppended(text); }
    void brokenIn() override { emit paddlesBrokeIn(); }
    // Text in the prompt's muted colour.
    void appendTextWithColor(const QString &text) { emit colouredTextAppended(text); }

signals:
    void textAppended(const QString &text);
    void promptAppended(const QString &text);
    void lineInCleared();
    void colouredTextAppended(const QString &text);
    void paddleTextAppended(const QString &text);
    void paddlesBrokeIn();
};
