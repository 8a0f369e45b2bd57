#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QPlainTextEdit;
class QTextCharFormat;
class QTextCursor;
class QWidget;
class ScreenFrame;
class SettingsStore;
class StatusReport;

// The console's log: what was keyed, each pass headed by its time, in a read-only view that keeps the
// newest lines within the operator's scroll-back. The operator may read and copy from it, choose its font,
// and save it as a text file; what they type there goes on into the input line.
class ConsoleLogView : public QObject
{
    Q_OBJECT

public:
    // typing: where the keys typed in the log go; frame: when what was added shows.
    ConsoleLogView(QPlainTextEdit &view, QWidget &typing, ScreenFrame &frame, SettingsStore &store,
                   StatusReport &status, QObject *parent = nullptr);

    // Adds text at the end; a prompt in a muted colour. Text shows when the screen frame ends, together
    // with whatever else came in that frame; what only begins a line (its break, the pass's time) waits
    // for the line's first character, at most a second.
    void insertAtEnd(const QString &text, bool prompt);
    // Shows at once what waits for the frame's end.
    void flush();
    void setText(const QString &text);
    // Writes the log as shown to the file at path; false, and said in the status bar, when it could not.
    bool saveLog(const QString &path);
    void saveLogAs();
    void chooseLogFont();
    // The desktop's font changed: a log in the default font follows it.
    void followFont();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Run
    {
        QString text;
        bool prompt;
    };

    void frameEnded();
    void restoreFont();
    void applyScrollBack();
    void insertRuns();
    void startLine(QTextCursor &end, const QString &text, const QTextCharFormat &format);

    QPlainTextEdit &view_;
    QWidget &typing_;
    SettingsStore &store_;
    StatusReport &status_;
    ScreenFrame &frame_;
    QList<Run> pending_;
    bool textWaiting_ = false; // pending_ holds more than the start of a line
    QTimer lineStartHold_;
};
