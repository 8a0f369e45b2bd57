#pragma once

#include "preferences/preferences_pane.h"

#include <QList>
#include <QString>

#include <memory>
#include <utility>

namespace Ui {
class Preferences;
}

class PortChooser;
class QRadioButton;
class RadioModelChooser;
class SerialPortScanner;

// General: what keys the transmitter (a keying interface on a serial port's lines, the radio's keyer over
// CAT, or a WinKeyer), the serial port and whether it is opened at start, the radio's model, port and speed
// or the rigctld it is reached through, the WinKeyer's port, Return in the input line, and the beacon's
// pause. The controls of the
// output not chosen, here and on the other panes, are greyed out and say why.
class GeneralPane : public PreferencesPane
{
    Q_OBJECT

public:
    GeneralPane(Ui::Preferences &ui, SettingsStore &store, const SerialPortScanner &scanner,
                QObject *parent = nullptr);
    ~GeneralPane() override;

    QWidget *controlFor(const QString &key) const override;
    // Looks for the ports again, for the keying interface and for the radio.
    void rescanDevices();

private:
    void fillSerialSpeeds();
    void showSerialSpeed();
    void showOutput();
    QList<std::pair<QRadioButton *, QString>> outputButtons() const;

    Ui::Preferences &ui_;
    std::unique_ptr<PortChooser> ports_;
    std::unique_ptr<PortChooser> radioPorts_;    // offers the ports ports_ finds
    std::unique_ptr<PortChooser> winKeyerPorts_; // so does this
    std::unique_ptr<RadioModelChooser> radioModels_;
};
