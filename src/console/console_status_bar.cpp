#include "console/console_status_bar.h"

#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "status/status_report.h"
#include "widgets/readable_colours.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

ConsoleStatusBar::ConsoleStatusBar(QStatusBar &bar, QBoxLayout &column, QWidget &log, QWidget &described,
                                   StatusReport &status, SettingsStore &store, QObject *parent)
    : QObject(parent), status_(status), store_(store), described_(described)
{
    error_ = new QLabel(&bar);
    error_->setObjectName(QStringLiteral("statusError"));
    information_ = new QLabel(&bar);
    information_->setObjectName(QStringLiteral("statusInformation"));
    for (QLabel *label : {error_, information_}) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setFocusPolicy(Qt::NoFocus);
    }
    // First in the status bar, where the state of the keyer is read, and never elided.
    practice_ = new QLabel(tr("PRACTICE · no transmitter"), &bar);
    practice_->setObjectName(QStringLiteral("practiceIndicator"));
    practice_->setToolTip(tr("No serial port is opened or keyed. Clear Practice to go on the air."));
    practice_->hide();
    bar.addWidget(practice_);
    bar.addWidget(error_, 3);
    bar.addWidget(information_, 2);
    network_ = new QLabel(&bar);
    network_->setObjectName(QStringLiteral("statusNetwork"));
    network_->setAccessibleName(tr("Network keying"));
    network_->setFocusPolicy(Qt::NoFocus);
    bar.addPermanentWidget(network_);
    buildSetupHint(column, log);

    connect(&status_, &StatusReport::changed, this, &ConsoleStatusBar::showStatus);
    connect(&store_, &SettingsStore::changed, this, &ConsoleStatusBar::settingChanged);
    showPractice();
}

QWidget *ConsoleStatusBar::setupHintButton() const
{
    return setupHintButton_;
}

void ConsoleStatusBar::buildSetupHint(QBoxLayout &column, QWidget &log)
{
    setupHint_ = new QFrame(log.parentWidget());
    setupHint_->setObjectName(QStringLiteral("setupHint"));
    auto *layout = new QHBoxLayout(setupHint_);
    layout->setContentsMargins(10, 6, 6, 6);
    setupHintText_ = new QLabel(setupHint_);
    setupHintText_->setObjectName(QStringLiteral("setupHintText"));
    setupHintText_->setWordWrap(true);
    setupHintButton_ = new QPushButton(setupHint_);
    setupHintButton_->setObjectName(QStringLiteral("setupHintButton"));
    setupHintButton_->setFocusPolicy(Qt::TabFocus);
    layout->addWidget(setupHintText_, 1);
    layout->addWidget(setupHintButton_);
    column.insertWidget(column.indexOf(&log), setupHint_);
    connect(setupHintButton_, &QPushButton::clicked, this, [this] {
        emit setupRequested(store_.stringValue(KLKSerialDeviceKey).isEmpty() ? KLKSerialDeviceKey
                                                                             : KLKSerialDTRKey);
    });
}

void ConsoleStatusBar::settingChanged(const QString &key)
{
    if (key == KLKSerialDeviceKey || key == KLKSerialDTRKey || key == KLKSerialRTSKey)
        showSetupHint();
    else if (key == KLKPracticeModeKey)
        showPractice();
}

void ConsoleStatusBar::showStatus()
{
    const QString error = status_.error();
    const QString hint = status_.hint();
    const QString shownError = hint.isEmpty() ? error : error + QStringLiteral(" — ") + hint;
    error_->setText(shownError);
    error_->setToolTip(hint.isEmpty() ? error : error + QLatin1Char('\n') + hint);
    error_->setVisible(!error.isEmpty());
    information_->setText(status_.information());
    information_->setToolTip(status_.information());
    network_->setText(status_.networkState());
    network_->setVisible(!status_.networkState().isEmpty());
    emit shown(shownError, status_.information());
}

// Practice is shown where it cannot be missed, and needs neither a port nor a line.
void ConsoleStatusBar::showPractice()
{
    practice_->setVisible(store_.boolValue(KLKPracticeModeKey));
    showSetupHint();
}

// Until a port is chosen and a line keys the transmitter nothing reaches the rig: say so, and where to
// set it, rather than let the log echo text that is never sent.
void ConsoleStatusBar::showSetupHint()
{
    const bool noPort = store_.stringValue(KLKSerialDeviceKey).isEmpty();
    const bool noLine =
        !store_.isTrueByIdentity(KLKSerialDTRKey) && !store_.isTrueByIdentity(KLKSerialRTSKey);
    setupHint_->setVisible((noPort || noLine) && !store_.boolValue(KLKPracticeModeKey));
    if (noPort && noLine)
        setupHintText_->setText(
            tr("Keylark keys nothing yet: choose the serial port of your keying interface, "
               "then the line (DTR or RTS) that keys your transmitter."));
    else if (noPort)
        setupHintText_->setText(
            tr("Keylark keys nothing yet: choose the serial port of your keying interface."));
    else
        setupHintText_->setText(tr("Keylark keys nothing yet: choose the line (DTR or RTS) that keys your "
                                   "transmitter."));
    setupHintButton_->setText(noPort ? tr("Choose Port…") : tr("Choose Line…"));
    // A screen reader hears the hint with the input line, where the focus is when the console opens.
    described_.setAccessibleDescription(setupHint_->isVisibleTo(described_.window()) ? setupHintText_->text()
                                                                                     : QString());
}

void ConsoleStatusBar::followPalette(const QPalette &palette)
{
    const bool high = ReadableColours::isHighContrast(palette);
    error_->setStyleSheet(high ? QStringLiteral("QLabel { font-weight: bold; }")
                               : QStringLiteral("QLabel { color: #b71c1c; font-weight: bold; }"));
    setupHint_->setStyleSheet(
        high ? QStringLiteral("#setupHint { border: 2px solid palette(window-text); border-radius: 4px; }")
             : QStringLiteral("#setupHint { background: #fff4ce; border: 1px solid #e0c060; "
                              "border-radius: 4px; } QLabel { color: #3a3000; }"));
    practice_->setStyleSheet(
        high ? QStringLiteral("QLabel { border: 2px solid palette(window-text); border-radius: 3px; "
                              "padding: 0 6px; font-weight: bold; }")
             : QStringLiteral("QLabel { background: #1565c0; color: white; border-radius: 3px; "
                              "padding: 0 6px; font-weight: bold; }"));
}
