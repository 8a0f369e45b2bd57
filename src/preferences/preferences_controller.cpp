#include "preferences/preferences_controller.h"

#include "compose/keyer.h"
#include "keying/serial_port_discovery.h"
#include "network/allowed_senders.h"
#include "preferences/keying_lines.h"
#include "record/sent_record.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"
#include "widgets/fitting_scroll_area.h"
#include "widgets/inner_control_names.h"
#include "widgets/readable_colours.h"
#include "widgets/wheel_guard.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QToolBar>
#include <QVBoxLayout>

static void initPreferencesResources()
{
    Q_INIT_RESOURCE(preferences);
}

namespace {

const QString NoneItem = QStringLiteral("none");

struct ToolbarItemText
{
    const QString &identifier;
    const char *label;
    const char *toolTip;
};

// clang-format off
const ToolbarItemText toolbarItemTexts[] = {
    {GeneralIdentifier,  QT_TRANSLATE_NOOP("PreferencesController", "General"),
                         QT_TRANSLATE_NOOP("PreferencesController", "PrefGeneral ToolTip")},
    {KeyerIdentifier,    QT_TRANSLATE_NOOP("PreferencesController", "Keyer"),
                         QT_TRANSLATE_NOOP("PreferencesController", "PrefKeyer ToolTip")},
    {MessageIdentifier,  QT_TRANSLATE_NOOP("PreferencesController", "Message"),
                         QT_TRANSLATE_NOOP("PreferencesController", "PrefMessage ToolTip")},
    {MacroIdentifier,    QT_TRANSLATE_NOOP("PreferencesController", "Macro"),
                         QT_TRANSLATE_NOOP("PreferencesController", "PrefMacro ToolTip")},
    {AdvancedIdentifier, QT_TRANSLATE_NOOP("PreferencesController", "Advanced"),
                         QT_TRANSLATE_NOOP("PreferencesController", "PrefAdvanced ToolTip")},
    {NetworkIdentifier,  QT_TRANSLATE_NOOP("PreferencesController", "Network"),
                         QT_TRANSLATE_NOOP("PreferencesController", "PrefNetwork ToolTip")},
};
// clang-format on

QString translated(const char *key)
{
    return QCoreApplication::translate("PreferencesController", key);
}

// Only the time of day counts, read the way the greeting reads it.
QVariant timeOfDay(const QVariant &stored)
{
    return Keyer::boundaryTime(stored);
}

QVariant todayAt(const QVariant &time)
{
    return QDateTime(QDate::currentDate(), time.toTime(), Qt::LocalTime);
}

// The keying lines count only the boolean true itself as set; the check boxes show the same.
QVariant identityFlagOf(const QVariant &stored)
{
    return stored.metaType().id() == QMetaType::Bool && stored.toBool();
}

bool isGroupLabelKey(const QString &key)
{
    for (int group = 1; group <= GROUPCOUNT; ++group) {
        if (key == groupLabelKey(group))
            return true;
    }
    return false;
}

} // namespace

PreferencesController::PreferencesController(SettingsStore &store, QWidget *parent,
                                             const SerialPortScanner &scanner)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Preferences>()), store_(store), scanner_(scanner)
{
    initPreferencesResources();
    ui_->setupUi(this);
    preferencesTab = ui_->preferencesTab;
    devicePopUpButton = ui_->devicePopUpButton;

    devices.reserve(10);
    serialDeviceArrayList.reserve(10);
    discoverDevices();

    awakeFromNib();
    // Without a frame of its own the window takes what its panes ask for, as far as the screen allows.
    if (!restoreGeometry(QByteArray::fromBase64(store_.stringValue(FrameKey).toLatin1())))
        resize(sizeHint().expandedTo(size()).boundedTo(screen()->availableSize()));
}

PreferencesController::~PreferencesController() = default;

void PreferencesController::showWindow(const QString &group)
{
    // The discovery made with the window serves its first showing; every later one looks again.
    if (shownBefore_)
        rescanDevices();
    shownBefore_ = true;
    const int index = ui_->messageGroupComboBox->findData(group);
    if (index >= 0) {
        ui_->messageGroupComboBox->setCurrentIndex(index);
        ui_->macroGroupComboBox->setCurrentIndex(index);
    }
    show();
    raise();
    activateWindow();
}

const QStringList &PreferencesController::toolbarItemIdentifiers()
{
    static const QStringList identifiers = {GeneralIdentifier, KeyerIdentifier,    MessageIdentifier,
                                            MacroIdentifier,   AdvancedIdentifier, NetworkIdentifier};
    return identifiers;
}

QAction *PreferencesController::toolbarItem(const QString &identifier)
{
    for (const ToolbarItemText &text : toolbarItemTexts) {
        if (text.identifier != identifier)
            continue;
        auto *item = new QAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(identifier)),
                                 translated(text.label), this);
        item->setObjectName(identifier);
        item->setToolTip(translated(text.toolTip));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, item] { showTab(item); });
        return item;
    }
    return nullptr;
}

void PreferencesController::showTab(QAction *item)
{
    selectPane(item->objectName());
}

void PreferencesController::rescanDevices()
{
    discoverDevices();
    fillDevicePopUp();
}

void PreferencesController::showSetting(const QString &key)
{
    const std::pair<QString, QWidget *> controls[] = {
        {KLKSerialDeviceKey, devicePopUpButton},
        {KLKSerialDTRKey, ui_->serialDTRCheckBox},
        {KLKSerialRTSKey, ui_->serialRTSCheckBox},
    };
    for (const auto &[controlKey, control] : controls) {
        if (controlKey != key)
            continue;
        for (int index = 0; index < preferencesTab->count(); ++index) {
            if (preferencesTab->widget(index)->isAncestorOf(control))
                selectPane(preferencesTab->widget(index)->objectName());
        }
        control->setFocus(Qt::OtherFocusReason);
    }
}

void PreferencesController::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    saveFrame();
}

void PreferencesController::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    saveFrame();
}

void PreferencesController::awakeFromNib()
{
    buildToolbar();
    if (!store_.contains(KLKPreferenceSelectedKey))
        store_.setValue(KLKPreferenceSelectedKey, GeneralIdentifier);
    const QString selected = store_.stringValue(KLKPreferenceSelectedKey);
    // A stored pane that names none of ours opens the first one, and keeps what is stored.
    selectPane(toolbarItemIdentifiers().contains(selected) ? selected : GeneralIdentifier);
    // The toolbar switches the panes. The hidden tab bar takes no focus, and its tab widget passes none to
    // it: Tab would stop there for good.
    preferencesTab->tabBar()->hide();
    preferencesTab->tabBar()->setFocusPolicy(Qt::NoFocus);
    preferencesTab->setFocusPolicy(Qt::NoFocus);
    makePanesScroll();
    installPaneKeys();

    fillDevicePopUp();
    WheelGuard::guard(devicePopUpButton);
    connect(devicePopUpButton, &QComboBox::activated, this, &PreferencesController::chooseDevice);
    connect(ui_->rescanButton, &QPushButton::clicked, this, &PreferencesController::rescanDevices);
    connect(&store_, &SettingsStore::changed, this, &PreferencesController::settingChanged);

    bindGeneral();
    bindKeyer();
    bindMacros();
    bindLines();
    bindNetwork();
    bindLog();
    fillGroupSelectors();
    for (QAbstractSpinBox *box : findChildren<QAbstractSpinBox *>())
        WheelGuard::guard(box);
    InnerControlNames::nameAll(this);
    followPalette();
}

// The notes below the controls stand back from them in the theme's own muted colour, kept readable; in
// a high-contrast theme the fields are framed.
void PreferencesController::followPalette()
{
    QPalette notes;
    notes.setColor(QPalette::WindowText, ReadableColours::muted(palette()));
    for (QLabel *label : findChildren<QLabel *>()) {
        if (label->property("note").toBool())
            label->setPalette(notes);
    }
    centralWidget()->setStyleSheet(ReadableColours::fieldFrames(palette()));
}

void PreferencesController::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        followPalette();
}

void PreferencesController::buildToolbar()
{
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("ToolbarForTabView"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar_->toggleViewAction()->setEnabled(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar_->setIconSize(QSize(32, 32));
    toolbarGroup_ = new QActionGroup(toolbar_);
    toolbarGroup_->setExclusive(true);
    for (const QString &identifier : toolbarItemIdentifiers()) {
        if (QAction *item = toolbarItem(identifier)) {
            toolbarGroup_->addAction(item);
            toolbar_->addAction(item);
        }
    }
    addToolBar(Qt::TopToolBarArea, toolbar_);
}

void PreferencesController::selectPane(const QString &identifier)
{
    for (QAction *item : toolbarGroup_->actions())
        item->setChecked(item->objectName() == identifier);
    for (int index = 0; index < preferencesTab->count(); ++index) {
        if (preferencesTab->widget(index)->objectName() == identifier)
            preferencesTab->setCurrentIndex(index);
    }
}

void PreferencesController::selectNeighbourPane(int step)
{
    const int count = preferencesTab->count();
    const int index = (preferencesTab->currentIndex() + step + count) % count;
    selectPane(preferencesTab->widget(index)->objectName());
}

// Each pane's controls move into a scroll area inside the pane, so that the window fits a small screen
// and the panes keep their names.
void PreferencesController::makePanesScroll()
{
    for (int index = 0; index < preferencesTab->count(); ++index) {
        QWidget *pane = preferencesTab->widget(index);
        auto *content = new QWidget;
        content->setLayout(pane->layout());
        auto *area = new FittingScrollArea(pane);
        area->setWidget(content);
        auto *layout = new QVBoxLayout(pane);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(area);
    }
}

void PreferencesController::installPaneKeys()
{
    const auto shortcut = [this](const QKeySequence &keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [this] { selectNeighbourPane(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [this] { selectNeighbourPane(-1); });
    const QList<QAction *> items = toolbarGroup_->actions();
    for (int index = 0; index < items.size(); ++index)
        items[index]->setShortcut(QKeySequence(Qt::ALT | Qt::Key(Qt::Key_1 + index)));
}

// Nothing here opens a port: the list comes from sysfs and /dev alone.
void PreferencesController::discoverDevices()
{
    ports_ = scanner_.ports();
    serialDeviceArrayList.clear();
    serialDeviceSetup(serialDeviceArrayList, ports_);
    devices = serialDeviceArrayList;
}

// One entry per port found, by its description and kernel name, holding the path to store. The stored
// path is always shown, marked when nothing is there; "none" only when nothing is stored. Filling the
// pop-up never changes the setting.
void PreferencesController::fillDevicePopUp()
{
    const QSignalBlocker blocker(devicePopUpButton);
    devicePopUpButton->clear();
    for (const SerialPort &port : std::as_const(ports_)) {
        if (port.path.isEmpty())
            continue;
        const QString kernelName = port.device.mid(QStringLiteral("/dev/").size());
        devicePopUpButton->addItem(tr("%1 (%2)").arg(port.description, kernelName), port.path);
        devicePopUpButton->setItemData(devicePopUpButton->count() - 1, port.path, Qt::ToolTipRole);
    }
    const QString stored = store_.stringValue(KLKSerialDeviceKey);
    int index = stored.isEmpty() ? -1 : devicePopUpButton->findData(stored);
    if (index < 0) {
        devicePopUpButton->addItem(stored.isEmpty() ? NoneItem : storedDeviceText(stored), stored);
        index = devicePopUpButton->count() - 1;
    }
    devicePopUpButton->setCurrentIndex(index);
    showDevicePath();
}

// A stored path that no entry offers: another name of a port found, something that is not a port found,
// or nothing at all.
QString PreferencesController::storedDeviceText(const QString &stored) const
{
    const QString device = scanner_.deviceOf(stored);
    if (device.isEmpty())
        return tr("%1 (not present)").arg(stored);
    for (const SerialPort &port : ports_) {
        if (port.device == device)
            return tr("%1 (%2)").arg(port.description, stored);
    }
    return stored;
}

void PreferencesController::showDevicePath()
{
    const QString path = devicePopUpButton->currentData().toString();
    ui_->devicePathLabel->setText(path);
    ui_->serialForm->setRowVisible(ui_->devicePathLabel, !path.isEmpty());
}

void PreferencesController::chooseDevice(int index)
{
    const QString path = devicePopUpButton->itemData(index).toString();
    if (path.isEmpty())
        store_.remove(KLKSerialDeviceKey);
    else if (path != store_.stringValue(KLKSerialDeviceKey))
        store_.setValue(KLKSerialDeviceKey, path);
}

SettingBinding *PreferencesController::bind(QObject *control, const QString &key, const QVariant &placeholder)
{
    return new SettingBinding(control, store_, key, placeholder);
}

SettingBinding *PreferencesController::bindText(QObject *control, const QString &key)
{
    SettingBinding *binding = bind(control, key, QString());
    binding->setConverters(&SettingBinding::readText, &SettingBinding::storeTextOrAbsent);
    return binding;
}

void PreferencesController::bindGeneral()
{
    bind(ui_->openAtStartCheckBox, KLKSerialStartUpOpenKey)->setConverters(&SettingBinding::readFlag);
    // The console follows the setting itself.
    bind(ui_->transmitKeyCheckBox, KLKRransmitKeyEquivKey)->setConverters(&SettingBinding::readFlag);
    bind(ui_->beaconDelaySpinBox, KLKBeaconDelayKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
}

void PreferencesController::bindKeyer()
{
    bind(ui_->wpmSpinBox, KLKWpmKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bind(ui_->dahRatioSpinBox, KLKTimeDahKey)->setConverters(&SettingBinding::readReal);
    bind(ui_->letterRatioSpinBox, KLKTimeLetterKey)->setConverters(&SettingBinding::readReal);
    bind(ui_->wordRatioSpinBox, KLKTimeWordKey)->setConverters(&SettingBinding::readReal);
    bind(ui_->sidetoneCheckBox, KLKSidetoneKey)->setConverters(&SettingBinding::readFlag);
    bind(ui_->sidetonePitchSpinBox, KLKSidetonePitchKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bind(ui_->sidetoneVolumeSpinBox, KLKSidetoneVolumeKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
}

void PreferencesController::bindMacros()
{
    for (const QChar letter : GlobalMacroLetters)
        bindText(findChild<QLineEdit *>(QStringLiteral("macroEdit") + letter), globalMacroKey(letter));
    bind(ui_->greetingMorningEdit, KLKDayOfGmKey)->setConverters(timeOfDay, todayAt);
    bind(ui_->greetingAfternoonEdit, KLKDayOfGaKey)->setConverters(timeOfDay, todayAt);
    bind(ui_->greetingEveningEdit, KLKDayOfGeKey)->setConverters(timeOfDay, todayAt);
}

void PreferencesController::bindLines()
{
    bind(ui_->serialDTRCheckBox, KLKSerialDTRKey)->setConverters(identityFlagOf);
    bind(ui_->serialDTRReverseCheckBox, KLKSerialDTRReverseKey)->setConverters(identityFlagOf);
    bind(ui_->serialRTSCheckBox, KLKSerialRTSKey)->setConverters(identityFlagOf);
    bind(ui_->serialRTSReverseCheckBox, KLKSerialRTSReverseKey)->setConverters(identityFlagOf);
    showLineStates();
}

// The address is a choice of two, stored as whether every interface listens.
void PreferencesController::bindNetwork()
{
    bind(ui_->networkKeyingCheckBox, KLKNetworkKeyingKey)->setConverters(&SettingBinding::readFlag);
    auto *address = new SettingBinding(ui_->networkAddressComboBox, store_, KLKNetworkAllInterfacesKey, 0,
                                       "currentIndex");
    address->setConverters(
        [](const QVariant &stored) { return QVariant(SettingsStore::toBool(stored) ? 1 : 0); },
        [](const QVariant &index) { return QVariant(index.toInt() == 1); });
    bind(ui_->networkPortSpinBox, KLKNetworkPortKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bindText(ui_->networkAllowedSendersEdit, KLKNetworkAllowedSendersKey);
    showNetworkWarning();
}

void PreferencesController::showNetworkWarning()
{
    const bool everywhere = store_.boolValue(KLKNetworkAllInterfacesKey);
    ui_->networkWarningLabel->setVisible(everywhere);
    ui_->networkWhoMayKeyLabel->setText(
        AllowedSenders::whoMayKey(everywhere, store_.stringValue(KLKNetworkAllowedSendersKey)));
}

void PreferencesController::bindLog()
{
    bind(ui_->scrollBackSpinBox, KLKConsoleScrollBackKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    bind(ui_->sentRecordCheckBox, KLKSentRecordKey)->setConverters(&SettingBinding::readFlag);
    bind(ui_->sentRecordDaysSpinBox, KLKSentRecordDaysKey)
        ->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
    ui_->sentRecordFolderLabel->setText(QDir::toNativeSeparators(SentRecord::defaultFolder()));
}

void PreferencesController::fillGroupSelectors()
{
    for (QComboBox *selector : {ui_->messageGroupComboBox, ui_->macroGroupComboBox}) {
        for (int group = 1; group <= GROUPCOUNT; ++group)
            selector->addItem(QString(), groupIdentifier(group));
    }
    showGroupNames();
    connect(ui_->messageGroupComboBox, &QComboBox::currentIndexChanged, this,
            &PreferencesController::bindMessageGroup);
    connect(ui_->macroGroupComboBox, &QComboBox::currentIndexChanged, this,
            &PreferencesController::bindMacroGroup);
    bindMessageGroup(ui_->messageGroupComboBox->currentIndex());
    bindMacroGroup(ui_->macroGroupComboBox->currentIndex());
}

// Every field of the pane follows the chosen group only; the earlier group's bindings go first, so that
// showing the new group's texts never writes into the old group's keys.
void PreferencesController::bindMessageGroup(int index)
{
    messageGroupBindings_.clear();
    const QString group = groupIdentifier(index + 1);
    auto *labelBinding = bind(ui_->groupLabelEdit, groupLabelKey(group), QString());
    labelBinding->setConverters(&SettingBinding::readText);
    messageGroupBindings_.emplace_back(labelBinding);
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        messageGroupBindings_.emplace_back(
            bindText(findChild<QLineEdit *>(QStringLiteral("labelEditF%1").arg(key)), labelKey(group, key)));
        messageGroupBindings_.emplace_back(bindText(
            findChild<QLineEdit *>(QStringLiteral("messageEditF%1").arg(key)), messageKey(group, key)));
    }
}

void PreferencesController::bindMacroGroup(int index)
{
    macroGroupBindings_.clear();
    const QString group = groupIdentifier(index + 1);
    for (const QChar letter : GroupMacroLetters) {
        macroGroupBindings_.emplace_back(bindText(
            findChild<QLineEdit *>(QStringLiteral("groupMacroEdit") + letter), groupMacroKey(group, letter)));
    }
}

void PreferencesController::showGroupNames()
{
    for (int group = 1; group <= GROUPCOUNT; ++group) {
        const QString label = store_.usableText(groupLabelKey(group));
        const QString name =
            label.isEmpty() ? QString::number(group) : QStringLiteral("%1 \u00b7 %2").arg(group).arg(label);
        ui_->messageGroupComboBox->setItemText(group - 1, name);
        ui_->macroGroupComboBox->setItemText(group - 1, name);
    }
}

void PreferencesController::showLineStates()
{
    const KeyingLines lines(
        store_.isTrueByIdentity(KLKSerialDTRKey), store_.isTrueByIdentity(KLKSerialDTRReverseKey),
        store_.isTrueByIdentity(KLKSerialRTSKey), store_.isTrueByIdentity(KLKSerialRTSReverseKey));
    ui_->lineStateLabel->setText(lines.table());
    ui_->lineStateLabel->setToolTip(lines.summary());
    ui_->lineStateLabel->setAccessibleDescription(lines.summary());
}

void PreferencesController::settingChanged(const QString &key)
{
    if (key == KLKSerialDeviceKey)
        fillDevicePopUp();
    else if (key == KLKSerialDTRKey || key == KLKSerialDTRReverseKey || key == KLKSerialRTSKey ||
             key == KLKSerialRTSReverseKey)
        showLineStates();
    else if (isGroupLabelKey(key))
        showGroupNames();
    else if (key == KLKNetworkAllInterfacesKey || key == KLKNetworkAllowedSendersKey)
        showNetworkWarning();
}

void PreferencesController::saveFrame()
{
    if (isVisible())
        store_.setValue(FrameKey, QString::fromLatin1(saveGeometry().toBase64()));
}
