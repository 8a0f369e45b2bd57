#include "preferences/keyer_pane.h"

#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "ui_Preferences.h"

KeyerPane::KeyerPane(Ui::Preferences &ui, SettingsStore &store, QObject *parent)
    : PreferencesPane(store, parent)
{
    bindSetting(ui.wpmSpinBox, KLKWpmKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bindSetting(ui.winKeyerKnobCheckBox, KLKWinKeyerFollowsKnobKey)->setConverters(&SettingBinding::readFlag);
    bindSetting(ui.dahRatioSpinBox, KLKTimeDahKey)->setConverters(&SettingBinding::readReal);
    bindSetting(ui.letterRatioSpinBox, KLKTimeLetterKey)->setConverters(&SettingBinding::readReal);
    bindSetting(ui.wordRatioSpinBox, KLKTimeWordKey)->setConverters(&SettingBinding::readReal);
    bindSetting(ui.sidetoneCheckBox, KLKSidetoneKey)->setConverters(&SettingBinding::readFlag);
    bindSetting(ui.sidetonePitchSpinBox, KLKSidetonePitchKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bindSetting(ui.sidetoneVolumeSpinBox, KLKSidetoneVolumeKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
}
