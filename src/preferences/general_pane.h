#pragma once

#include "preferences/preferences_pane.h"

#include <memory>

namespace Ui {
class Preferences;
}

class PortChooser;
class RadioModelChooser;
class SerialPortScanner;

// General: what keys the transmitter (a keying interface on a serial port's lines, or the radio's keyer
// over CAT), the serial port and whether it is opened at start, the radio's model, port and speed or the
// rigctld it is reached through, Return in the input line, and the beacon's pause. The controls of the
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

    Ui::Preferences &ui_;
    std::unique_ptr<PortChooser> ports_;
    std::unique_ptr<PortChooser> radioPorts_; // offers the ports ports_ finds
    std::unique_ptr<RadioModelChooser> radioModels_;
};
