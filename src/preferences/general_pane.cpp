#include "preferences/general_pane.h"

#include "preferences/port_chooser.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "ui_Preferences.h"

GeneralPane::GeneralPane(Ui::Preferences &ui, SettingsStore &store, const SerialPortScanner &scanner,
                         QObject *parent)
    : PreferencesPane(store, parent), ui_(ui),
      ports_(std::make_unique<PortChooser>(*ui.devicePopUpButton, *ui.rescanButton, *ui.devicePathLabel,
                                           *ui.serialForm, store, scanner))
{
    bindSetting(ui_.openAtStartCheckBox, KLKSerialStartUpOpenKey)->setConverters(&SettingBinding::readFlag);
    // The console follows the setting itself.
    bindSetting(ui_.transmitKeyCheckBox, KLKRransmitKeyEquivKey)->setConverters(&SettingBinding::readFlag);
    bindSetting(ui_.beaconDelaySpinBox, KLKBeaconDelayKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
}

GeneralPane::~GeneralPane() = default;

QWidget *GeneralPane::controlFor(const QString &key) const
{
    return key == KLKSerialDeviceKey ? ui_.devicePopUpButton : nullptr;
}
