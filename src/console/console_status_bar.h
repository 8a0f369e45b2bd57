#pragma once

#include <QObject>
#include <QString>

class QBoxLayout;
class QLabel;
class QPushButton;
class QStatusBar;
class QWidget;
class SettingsStore;
class StatusReport;

// What the console says about the keyer's state besides the log: the status bar (practice mode, the error
// that holds with its hint, the latest information, where network keying listens) and, above the log, the
// set-up hint that shows until a port and a keying line are chosen.
class ConsoleStatusBar : public QObject
{
    Q_OBJECT

public:
    // The hint goes into column above log; described is told the hint for a screen reader.
    ConsoleStatusBar(QStatusBar &bar, QBoxLayout &column, QWidget &log, QWidget &described,
                     StatusReport &status, SettingsStore &store, QObject *parent = nullptr);

    QWidget *setupHintButton() const;
    void showStatus();
    // Colours that suit the palette: red and yellow, or the theme's own in a high-contrast theme.
    void followPalette(const QPalette &palette);

signals:
    // The hint's button: the preferences should show where the setting is made.
    void setupRequested(const QString &key);
    // What the status bar shows now: the error with its hint, and the information.
    void shown(const QString &error, const QString &information);

private:
    void buildSetupHint(QBoxLayout &column, QWidget &log);
    void showSetupHint();
    void showPractice();
    void settingChanged(const QString &key);

    StatusReport &status_;
    SettingsStore &store_;
    QWidget &described_;
    QLabel *error_ = nullptr;
    QLabel *information_ = nullptr;
    QLabel *network_ = nullptr;
    QLabel *practice_ = nullptr;
    QWidget *setupHint_ = nullptr;
    QLabel *setupHintText_ = nullptr;
    QPushButton *setupHintButton_ = nullptr;
};
