#include "preferences/general_pane.h"

#include "preferences/port_chooser.h"
#include "preferences/radio_model_chooser.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"
#include "widgets/disabled_reason.h"
#include "widgets/wheel_guard.h"

namespace {

// The speeds radios' CAT ports are set to; 0 keeps the one Hamlib's model has.
constexpr int serialSpeeds[] = {0, 4800, 9600, 19200, 38400, 57600, 115200};

} // namespace

GeneralPane::GeneralPane(Ui::Preferences &ui, SettingsStore &store, const SerialPortScanner &scanner,
                         QObject *parent)
    : PreferencesPane(store, parent), ui_(ui),
      ports_(std::make_unique<PortChooser>(*ui.devicePopUpButton, *ui.rescanButton, *ui.devicePathLabel,
                                           *ui.serialForm, store, KLKSerialDeviceKey, scanner)),
      radioPorts_(std::make_unique<PortChooser>(*ui.radioPortComboBox, *ui.radioRescanButton,
                                                *ui.radioPortPathLabel, *ui.radioForm, store, KLKRadioPortKey,
                                                *ports_)),
      winKeyerPorts_(std::make_unique<PortChooser>(*ui.winKeyerPortComboBox, *ui.winKeyerRescanButton,
                                                   *ui.winKeyerPortPathLabel, *ui.winKeyerForm, store,
                                                   KLKWinKeyerPortKey, *ports_)),
      radioModels_(std::make_unique<RadioModelChooser>(*ui.radioModelComboBox, store))
{
    bindSetting(ui_.openAtStartCheckBox, KLKSerialStartUpOpenKey)->setConverters(&SettingBinding::readFlag);
    // The console follows the setting itself.
    bindSetting(ui_.transmitKeyCheckBox, KLKRransmitKeyEquivKey)->setConverters(&SettingBinding::readFlag);
    bindSetting(ui_.beaconDelaySpinBox, KLKBeaconDelayKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);

    fillSerialSpeeds();
    bindSetting(ui_.radioThroughRigctldCheckBox, KLKRadioThroughRigctldKey)
        ->setConverters(&SettingBinding::readFlag);
    bindText(ui_.rigctldHostEdit, KLKRigctldHostKey);
    bindSetting(ui_.rigctldPortSpinBox, KLKRigctldPortKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    WheelGuard::guard(ui_.rigctldPortSpinBox);
    for (const auto &[button, output] : outputButtons()) {
        connect(button, &QRadioButton::toggled, this, [this, output](bool chosen) {
            if (chosen)
                store_.setValue(KLKKeyingOutputKey, output);
        });
    }
    connect(&store_, &SettingsStore::changed, this, [this](const QString &key) {
        if (key == KLKKeyingOutputKey || key == KLKRadioThroughRigctldKey)
            showOutput();
        else if (key == KLKRadioSerialSpeedKey)
            showSerialSpeed();
    });
    showOutput();
}

GeneralPane::~GeneralPane() = default;

QWidget *GeneralPane::controlFor(const QString &key) const
{
    if (key == KLKSerialDeviceKey)
        return ui_.devicePopUpButton;
    if (key == KLKKeyingOutputKey)
        return ui_.radioKeyerRadioButton;
    if (key == KLKRadioModelKey)
        return ui_.radioModelComboBox;
    if (key == KLKRadioPortKey)
        return ui_.radioPortComboBox;
    if (key == KLKWinKeyerPortKey)
        return ui_.winKeyerPortComboBox;
    return nullptr;
}

void GeneralPane::rescanDevices()
{
    ports_->rescanDevices(); // the radio's chooser follows
}

QList<std::pair<QRadioButton *, QString>> GeneralPane::outputButtons() const
{
    return {{ui_.serialLineRadioButton, KLKSerialLineOutput},
            {ui_.radioKeyerRadioButton, KLKRadioKeyerOutput},
            {ui_.winKeyerRadioButton, KLKWinKeyerOutput}};
}

void GeneralPane::fillSerialSpeeds()
{
    QComboBox &list = *ui_.radioSerialSpeedComboBox;
    for (const int speed : serialSpeeds)
        list.addItem(speed == 0 ? tr("The model's own") : tr("%1 bit/s").arg(speed), speed);
    WheelGuard::guard(&list);
    connect(&list, &QComboBox::activated, this, [this](int index) {
        const int speed = ui_.radioSerialSpeedComboBox->itemData(index).toInt();
        if (speed == 0)
            store_.remove(KLKRadioSerialSpeedKey);
        else
            store_.setValue(KLKRadioSerialSpeedKey, qint64(speed));
    });
    showSerialSpeed();
}

// A speed set outside the list (by hand in the settings file) is offered as it is.
void GeneralPane::showSerialSpeed()
{
    QComboBox &list = *ui_.radioSerialSpeedComboBox;
    const int stored = int(KLKRadioSerialSpeedRange.clamp(store_.intValue(KLKRadioSerialSpeedKey)));
    int index = list.findData(stored);
    if (index < 0) {
        list.addItem(tr("%1 bit/s").arg(stored), stored);
        index = list.count() - 1;
    }
    list.setCurrentIndex(index);
}

// The output takes effect at the next start, as Keylark keys it; the controls follow the choice at once,
// so that the operator sets up the output chosen before restarting. Keylark treats a value it does not
// know as the serial line, and so do the controls.
void GeneralPane::showOutput()
{
    const QString output = store_.stringValue(KLKKeyingOutputKey);
    const bool radio = output == KLKRadioKeyerOutput;
    const bool winKeyer = output == KLKWinKeyerOutput;
    for (const auto &[button, value] : outputButtons()) {
        const QSignalBlocker blocker(button);
        button->setChecked(value == (radio || winKeyer ? output : KLKSerialLineOutput));
    }
    const QString device = radio ? tr("The radio's keyer") : tr("The WinKeyer");
    DisabledReason::apply({ui_.serialGroupBox, ui_.linesGroupBox}, !radio && !winKeyer,
                          tr("%1 keys the transmitter: no serial port's lines are keyed.").arg(device));
    DisabledReason::apply({ui_.dahRatioLabel, ui_.dahRatioSpinBox}, !radio,
                          tr("The radio's keyer keys its own element and gap lengths."));
    DisabledReason::apply(
        {ui_.letterRatioLabel, ui_.letterRatioSpinBox, ui_.wordRatioLabel, ui_.wordRatioSpinBox},
        !radio && !winKeyer,
        radio ? tr("The radio's keyer keys its own element and gap lengths.")
              : tr("The WinKeyer spaces letters and words itself."));
    DisabledReason::apply(
        {ui_.pttGroupBox}, !radio && !winKeyer,
        radio ? tr("The radio switches itself to transmit (its own break-in, set on the radio).")
              : tr("The WinKeyer switches PTT itself, by its own lead and tail; Keylark does "
                   "not set them yet."));
    DisabledReason::apply({ui_.radioGroupBox}, radio,
                          winKeyer ? tr("The WinKeyer keys the transmitter, not the radio's keyer.")
                                   : tr("The keying interface on the serial port keys the transmitter, not "
                                        "the radio's keyer."));
    DisabledReason::apply(
        {ui_.winKeyerKnobCheckBox}, winKeyer,
        tr("%1 keys the transmitter: there is no WinKeyer's speed knob to follow.")
            .arg(radio ? tr("The radio's keyer") : tr("The keying interface on the serial port")));
    DisabledReason::apply(
        {ui_.winKeyerGroupBox}, winKeyer,
        tr("%1 keys the transmitter, not a WinKeyer.")
            .arg(radio ? tr("The radio's keyer") : tr("The keying interface on the serial port")));
    // Inside the radio's group, greyed out only while the radio's keyer is chosen, so that a control says
    // only the reason that holds.
    const bool rigctld = store_.boolValue(KLKRadioThroughRigctldKey);
    DisabledReason::apply({ui_.radioPortLabel, ui_.radioPortComboBox, ui_.radioRescanButton,
                           ui_.radioPortPathLabel, ui_.radioSerialSpeedLabel, ui_.radioSerialSpeedComboBox},
                          !(radio && rigctld), tr("rigctld holds the radio's port and sets its speed."));
    DisabledReason::apply(
        {ui_.rigctldHostLabel, ui_.rigctldHostEdit, ui_.rigctldPortLabel, ui_.rigctldPortSpinBox},
        !(radio && !rigctld), tr("Keylark opens the radio's port itself, without rigctld."));
}
