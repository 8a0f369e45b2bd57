#include "console/keyer_panel.h"

#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "ui_Console.h"
#include "widgets/wheel_guard.h"

KeyerPanel::KeyerPanel(Ui::Console &ui, SettingsStore &store, QObject *parent) : QObject(parent), ui_(ui)
{
    enum class Kind { Integer, Real, Flag };
    struct Row
    {
        QWidget *control;
        QString key;
        Kind kind;
    };
    const Row rows[] = {{ui_.speedSpinBox, KLKWpmKey, Kind::Integer},
                        {ui_.dahRatioSpinBox, KLKTimeDahKey, Kind::Real},
                        {ui_.letterRatioSpinBox, KLKTimeLetterKey, Kind::Real},
                        {ui_.wordRatioSpinBox, KLKTimeWordKey, Kind::Real},
                        {ui_.beaconDelaySpinBox, KLKBeaconDelayKey, Kind::Integer},
                        {ui_.sidetoneCheckBox, KLKSidetoneKey, Kind::Flag},
                        {ui_.sidetonePitchSpinBox, KLKSidetonePitchKey, Kind::Integer},
                        {ui_.sidetoneVolumeSpinBox, KLKSidetoneVolumeKey, Kind::Integer}};
    for (const Row &row : rows) {
        auto binding = std::make_unique<SettingBinding>(row.control, store, row.key);
        if (row.kind == Kind::Integer)
            binding->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
        else if (row.kind == Kind::Real)
            binding->setConverters(&SettingBinding::readReal);
        else
            binding->setConverters(&SettingBinding::readFlag);
        binding->refresh();
        bindings_.push_back(std::move(binding));
        WheelGuard::guard(row.control);
    }
}

KeyerPanel::~KeyerPanel() = default;

void KeyerPanel::toggle()
{
    const bool open = !ui_.drawerOutlet->isVisible();
    ui_.drawerOutlet->setVisible(open);
    ui_.drawerButton->setChecked(open);
    ui_.drawerButton->setText(open ? tr("Keyer ◂") : tr("Keyer ▸"));
    ui_.actionToggleDrawer->setChecked(open);
}

QList<QWidget *> KeyerPanel::focusChain() const
{
    return {ui_.speedSpinBox,         ui_.dahRatioSpinBox,      ui_.letterRatioSpinBox,
            ui_.wordRatioSpinBox,     ui_.beaconDelaySpinBox,   ui_.sidetoneCheckBox,
            ui_.sidetonePitchSpinBox, ui_.sidetoneVolumeSpinBox};
}
