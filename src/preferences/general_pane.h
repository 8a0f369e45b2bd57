#pragma once

#include "preferences/preferences_pane.h"

#include <memory>

namespace Ui {
class Preferences;
}

class PortChooser;
class SerialPortScanner;

// General: the serial port and whether it is opened at start, Return in the input line, and the beacon's
// pause.
class GeneralPane : public PreferencesPane
{
    Q_OBJECT

public:
    GeneralPane(Ui::Preferences &ui, SettingsStore &store, const SerialPortScanner &scanner,
                QObject *parent = nullptr);
    ~GeneralPane() override;

    QWidget *controlFor(const QString &key) const override;
    PortChooser &portChooser() const { return *ports_; }

private:
    Ui::Preferences &ui_;
    std::unique_ptr<PortChooser> ports_;
};
