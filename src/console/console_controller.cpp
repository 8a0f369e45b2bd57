#include "console/console_controller.h"

#include "compose/keyer.h"
#include "console/console_clock.h"
#include "console/console_log_relay.h"
#include "console/console_log_view.h"
#include "console/console_narration.h"
#include "console/console_status_bar.h"
#include "console/function_key_pad.h"
#include "console/function_key_row.h"
#include "console/key_lamp.h"
#include "console/keyboard_entry.h"
#include "console/keyer_commands.h"
#include "console/keyer_panel.h"
#include "console/message_group_tabs.h"
#include "console/screen_frame.h"
#include "console/state_badge.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "status/status_report.h"
#include "ui_Console.h"
#include "widgets/announcer.h"
#include "widgets/inner_control_names.h"
#include "widgets/readable_colours.h"
#include "widgets/window_frame_keeper.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>

ConsoleController::ConsoleController(SettingsStore &store, Keyer &keyer, KeyerCommands &commands,
                                     StatusReport &status, QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Console>()), store_(store), keyer_(keyer),
      commands_(commands), status_(status), beep_(&QApplication::beep)
{
    ui_->setupUi(this);
    textViewOutlet = ui_->textViewOutlet;
    lineInOutlet = ui_->lineInOutlet;
    callOutlet = ui_->callOutlet;
    rstOutlet = ui_->rstOutlet;
    transmitOutlet = ui_->transmitOutlet;
    stopOutlet = ui_->stopOutlet;
    f1tof4Outlet = ui_->f1tof4Outlet;
    f5tof8Outlet = ui_->f5tof8Outlet;
    f9tof12Outlet = ui_->f9tof12Outlet;
    selectedMessageGroupOutlet = ui_->selectedMessageGroupOutlet;
    drawerOutlet = ui_->drawerOutlet;
    messageTabOutlet = ui_->messageTabOutlet;
    messageViewOutlet = ui_->messageViewOutlet;

    sendText_.reserve(100);
    makeParts();
    connectCommands();
    connectParts();
    followLogRelay();
    bindPractice();
    bindKeyboard();
    bindCallAndReport();
    // Names that the form cannot give: the parts Qt adds to the controls.
    InnerControlNames::nameAll(this);
    orderTabs();
    awakeFromNib();
}

ConsoleController::~ConsoleController() = default;

void ConsoleController::makeParts()
{
    frame_ = std::make_unique<WindowFrameKeeper>(
        *this, [this] { return store_.stringValue(FrameKey); },
        [this](const QString &frame) { store_.setValue(FrameKey, frame); });
    logRelay_ = std::make_unique<ConsoleLogRelay>();
    statusBar_ = std::make_unique<ConsoleStatusBar>(*statusBar(), *ui_->mainColumn, *textViewOutlet,
                                                    *lineInOutlet, status_, store_);
    narration_ = std::make_unique<ConsoleNarration>(*new Announcer(statusBar()));
    screenFrame_ = std::make_unique<ScreenFrame>();
    keyLamp_ = std::make_unique<KeyLamp>(keyer_.elementTimeline(), *ui_->keyLamp, *screenFrame_);
    keyboard_ = std::make_unique<KeyboardEntry>(*lineInOutlet, keyer_, store_);
    log_ = std::make_unique<ConsoleLogView>(*textViewOutlet, *lineInOutlet, *screenFrame_, store_, status_);
    clock_ = std::make_unique<ConsoleClock>(*ui_->clockLabel);
    badge_ = std::make_unique<StateBadge>(*ui_->sendingIndicator, keyer_);
    functionKeys_ = std::make_unique<FunctionKeyPad>(
        FunctionKeyPad::Rows{f1tof4Outlet, f5tof8Outlet, f9tof12Outlet}, *this, keyer_, store_);
    keyerPanel_ = std::make_unique<KeyerPanel>(*ui_, store_);
    messageGroups_ =
        std::make_unique<MessageGroupTabs>(*messageTabOutlet, *selectedMessageGroupOutlet, store_);
}

void ConsoleController::connectCommands()
{
    connect(transmitOutlet, &QPushButton::clicked, this, &ConsoleController::sendAction);
    connect(stopOutlet, &QPushButton::clicked, this, &ConsoleController::cancelAction);
    connect(ui_->beaconButton, &QPushButton::clicked, this, &ConsoleController::beacon);
    connect(ui_->clearButton, &QPushButton::clicked, this, &ConsoleController::clearAction);
    connect(ui_->speedUpButton, &QToolButton::clicked, &commands_, &KeyerCommands::wpmUp);
    connect(ui_->speedDownButton, &QToolButton::clicked, &commands_, &KeyerCommands::wpmDown);
    connect(ui_->drawerButton, &QToolButton::clicked, this, &ConsoleController::toggleDrawer);

    connect(ui_->actionTransmit, &QAction::triggered, this, &ConsoleController::sendAction);
    connect(ui_->actionStop, &QAction::triggered, this, &ConsoleController::cancelAction);
    connect(ui_->actionBeacon, &QAction::triggered, this, &ConsoleController::beacon);
    connect(ui_->actionClear, &QAction::triggered, this, &ConsoleController::clearAction);
    connect(ui_->actionSpeedUp, &QAction::triggered, &commands_, &KeyerCommands::wpmUp);
    connect(ui_->actionSpeedDown, &QAction::triggered, &commands_, &KeyerCommands::wpmDown);
    connect(ui_->actionToggleDrawer, &QAction::triggered, this, &ConsoleController::toggleDrawer);
    connect(ui_->actionLogFont, &QAction::triggered, log_.get(), &ConsoleLogView::chooseLogFont);
    connect(ui_->actionSaveLog, &QAction::triggered, log_.get(), &ConsoleLogView::saveLogAs);
    connect(ui_->actionOpenConsole, &QAction::triggered, this, &ConsoleController::showWindow);
    connect(ui_->actionPreferences, &QAction::triggered, this, [this] { emit preferencesRequested({}); });
    connect(ui_->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(lineInOutlet, &QLineEdit::returnPressed, this, &ConsoleController::returnPressed);
    for (QAction *action : ui_->menuGroup->actions())
        connect(action, &QAction::triggered, this, [this, action] { messageGroupChange(action); });
    connect(messageTabOutlet, &QTabWidget::currentChanged, this,
            &ConsoleController::tabViewDidSelectTabViewItem);
}

// The parts hear each other only through the console.
void ConsoleController::connectParts()
{
    ConsoleNarration *narration = narration_.get();
    connect(&commands_, &KeyerCommands::sendRequested, narration, &ConsoleNarration::requested);
    connect(&commands_, &KeyerCommands::stopRequested, narration, &ConsoleNarration::stopRequested);
    connect(&commands_, &KeyerCommands::speedSet, narration, &ConsoleNarration::speedSet);
    connect(&commands_, &KeyerCommands::stopped, this, [this] {
        functionKeys_->repeatGuard().endWindow();
        keyboard_->dropWaiting();
    });
    connect(&commands_, &KeyerCommands::stateChanged, badge_.get(), &StateBadge::update);
    connect(badge_.get(), &StateBadge::looked, narration, &ConsoleNarration::keyerState);
    connect(statusBar_.get(), &ConsoleStatusBar::shown, narration, &ConsoleNarration::statusShown);
    connect(statusBar_.get(), &ConsoleStatusBar::setupRequested, this,
            &ConsoleController::preferencesRequested);
    connect(functionKeys_.get(), &FunctionKeyPad::messageChosen, this, [this](const QString &message) {
        if (keyboard_->isOn()) {
            keyboard_->append(message);
            return;
        }
        lineInOutlet->setText(message);
        sendAction();
    });
    connect(functionKeys_.get(), &FunctionKeyPad::keyWithoutMessage, this, [this] {
        beep_();
        if (!keyboard_->isOn())
            cancelAction();
    });
    connect(keyboard_.get(), &KeyboardEntry::switched, narration, &ConsoleNarration::keyboardSwitched);
    connect(keyboard_.get(), &KeyboardEntry::switched, this, &ConsoleController::showKeyboard);
    connect(keyboard_.get(), &KeyboardEntry::refused, this, [this] { beep_(); });
    connect(&store_, &SettingsStore::changed, this, &ConsoleController::settingChanged);
}

// The check box and the menu item both switch practice mode.
void ConsoleController::bindPractice()
{
    auto binding = std::make_unique<SettingBinding>(ui_->practiceCheckBox, store_, KLKPracticeModeKey);
    binding->setConverters(&SettingBinding::readFlag);
    binding->refresh();
    bindings_.push_back(std::move(binding));
    connect(ui_->actionPractice, &QAction::toggled, this,
            [this](bool on) { store_.setValue(KLKPracticeModeKey, on); });
}

// Keyboard mode keys the input line as it is typed: Transmit and Return have nothing to send, and a beacon
// has no whole text to repeat.
void ConsoleController::bindKeyboard()
{
    auto binding = std::make_unique<SettingBinding>(ui_->keyboardCheckBox, store_, KLKKeyboardModeKey);
    binding->setConverters(&SettingBinding::readFlag);
    binding->refresh();
    bindings_.push_back(std::move(binding));
    connect(ui_->actionKeyboard, &QAction::toggled, this,
            [this](bool on) { store_.setValue(KLKKeyboardModeKey, on); });
    showKeyboard(keyboard_->isOn());
}

void ConsoleController::showKeyboard(bool on)
{
    ui_->actionKeyboard->setChecked(on);
    functionKeys_->setAppending(on);
    for (QWidget *control : std::initializer_list<QWidget *>{transmitOutlet, ui_->beaconButton})
        control->setEnabled(!on);
    ui_->actionTransmit->setEnabled(!on);
    ui_->actionBeacon->setEnabled(!on);
    const QString why = tr("Not in keyboard mode: each character is keyed as you type it");
    ui_->beaconButton->setToolTip(
        on ? why : tr("Send the input line again and again, with the beacon pause between"));
    setTransmitKeyEquiv(returnSends_);
    lineInOutlet->setPlaceholderText(on ? tr("Type: each character is keyed as you type it")
                                        : tr("Type the text to send"));
}

// The Call and RST fields are the "$C" and "$R" macros, edited here or in the preferences alike.
void ConsoleController::bindCallAndReport()
{
    for (QLineEdit *field : {callOutlet, rstOutlet}) {
        const QChar letter = field == callOutlet ? u'C' : u'R';
        auto binding = std::make_unique<SettingBinding>(field, store_, globalMacroKey(letter), QString());
        binding->setConverters(&SettingBinding::readText, &SettingBinding::storeTextOrAbsent);
        bindings_.push_back(std::move(binding));
    }
}

// Tab goes from the input line to the notes of the station worked, the set-up hint's button while it
// shows, the log, the message groups and the messages of the group shown, then through the keyer panel
// when it is open, and back to the input line.
void ConsoleController::orderTabs()
{
    QList<QWidget *> order = {lineInOutlet, callOutlet, rstOutlet, statusBar_->setupHintButton(),
                              textViewOutlet};
    order += messageGroups_->focusChain();
    order += keyerPanel_->focusChain();
    order.removeAll(nullptr);
    for (qsizetype index = 1; index < order.size(); ++index)
        setTabOrder(order.at(index - 1), order.at(index));
}

void ConsoleController::awakeFromNib()
{
    const QString group = selectedMessageGroup();
    setFunctionTitle(group);
    setSelectedMessageGroup(group);
    setTransmitKeyEquiv(store_.boolValue(KLKRransmitKeyEquivKey));
    messageGroups_->refreshMessagePages();
    showPractice();
    statusBar_->showStatus();
    followPalette();
    followFont();
    updateSpeedLabel();
    badge_->update();
    dateUpdate();
}

void ConsoleController::settingChanged(const QString &key)
{
    if (key == KLKWpmKey)
        updateSpeedLabel();
    else if (key == KLKRransmitKeyEquivKey)
        setTransmitKeyEquiv(store_.boolValue(KLKRransmitKeyEquivKey));
    else if (key == KLKPracticeModeKey)
        showPractice();
}

void ConsoleController::showWindow()
{
    if (!windowLoaded_) {
        windowLoaded_ = true;
        if (!frame_->restore())
            resize(QSize(980, 680).expandedTo(minimumSizeHint()));
    }
    show();
    raise();
    activateWindow();
    lineInOutlet->setFocus();
}

// The frame keeper saves the frame as the window closes.
void ConsoleController::closeEvent(QCloseEvent *event)
{
    keyer_.sendStop();
    event->accept();
    emit closed();
}

void ConsoleController::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (!badge_)
        return; // the form is still being set up
    if (event->type() == QEvent::PaletteChange)
        followPalette();
    else if (event->type() == QEvent::FontChange)
        followFont();
}

// The status line's error in red and the set-up hint on yellow, unless the theme is one of high contrast.
void ConsoleController::followPalette()
{
    statusBar_->followPalette(palette());
    centralWidget()->setStyleSheet(ReadableColours::fieldFrames(palette()));
    badge_->restyle();
}

// Fields and labels as wide as their text in the desktop's font, however large the operator made it.
void ConsoleController::followFont()
{
    const QFontMetrics metrics = fontMetrics();
    const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 12;
    callOutlet->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("DL1ABC")) + frame);
    callOutlet->setMaximumWidth(metrics.horizontalAdvance(QStringLiteral("MM0MMM/MM")) + frame);
    rstOutlet->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("599")) + frame);
    rstOutlet->setMaximumWidth(metrics.horizontalAdvance(QStringLiteral("5999")) + frame);
    ui_->speedLabel->setMinimumWidth(metrics.horizontalAdvance(tr("%1 wpm").arg(int(KLKWpmRange.maximum))) +
                                     8);
    badge_->followFont();
    log_->followFont();
    // A larger font may need a larger window: grow it rather than squeeze the controls.
    if (windowLoaded_)
        resize(size().expandedTo(minimumSizeHint()));
}

void ConsoleController::updateSpeedLabel()
{
    ui_->speedLabel->setText(tr("%1 wpm").arg(store_.intValue(KLKWpmKey)));
}

// Practice shows in the title and the menu as well as in the status bar.
void ConsoleController::showPractice()
{
    const bool practice = store_.boolValue(KLKPracticeModeKey);
    ui_->actionPractice->setChecked(practice);
    setWindowTitle(practice ? tr("Keylark — Practice") : tr("Keylark"));
}

void ConsoleController::stopFollowingKeying()
{
    keyLamp_->stopFollowing();
}

// ---- The log ----

// The relay lives on the interface thread: a worker's calls arrive queued, in the order they were made.
void ConsoleController::followLogRelay()
{
    ConsoleLogRelay *relay = logRelay_.get();
    connect(relay, &ConsoleLogRelay::textAppended, this, [this](const QString &text) {
        log_->insertAtEnd(text, false);
        narration_->echoed(text);
    });
    connect(relay, &ConsoleLogRelay::colouredTextAppended, this,
            [this](const QString &text) { log_->insertAtEnd(text, true); });
    connect(relay, &ConsoleLogRelay::paddleTextAppended, this,
            [this](const QString &text) { log_->insertAtEnd(text, false); });
    connect(relay, &ConsoleLogRelay::paddlesBrokeIn, narration_.get(), &ConsoleNarration::stopRequested);
    connect(relay, &ConsoleLogRelay::promptAppended, this, [this](const QString &text) {
        status_.transmissionStarted();
        narration_->passStarted(keyer_.beaconArmed());
        log_->insertAtEnd(text, true);
    });
    connect(relay, &ConsoleLogRelay::lineInCleared, this, &ConsoleController::clearInputLine);
}

// The input line's undo history would hold every character typed since Keylark started; it keeps only
// the clearing, so that Undo still brings the last line back.
void ConsoleController::clearInputLine()
{
    if (keyboard_->isOn()) {
        keyboard_->dropWaiting();
        return;
    }
    lineInOutlet->setText(lineInOutlet->text());
    lineInOutlet->clear();
}

void ConsoleController::updateTextView()
{
    log_->setText(sendText());
}

bool ConsoleController::saveLog(const QString &path)
{
    return log_->saveLog(path);
}

void ConsoleController::dateUpdate()
{
    clock_->dateUpdate();
}

QDateTime ConsoleController::dateJST() const
{
    return clock_->dateJST();
}

void ConsoleController::setDateJST(const QDateTime &date)
{
    clock_->setDateJST(date);
}

// ---- Commands ----

void ConsoleController::sendAction()
{
    if (keyboard_->isOn())
        return;
    commands_.send(lineInOutlet->text(), selectedMessageGroup());
}

void ConsoleController::clearAction()
{
    setSendText(QString());
    clearInputLine();
    keyer_.sendClear();
    updateTextView();
}

// Also takes back a beacon that was asked for and has not begun.
void ConsoleController::cancelAction()
{
    commands_.cancel();
}

void ConsoleController::beacon()
{
    if (keyboard_->isOn())
        return;
    commands_.beacon(lineInOutlet->text(), selectedMessageGroup());
}

void ConsoleController::toggleDrawer()
{
    keyerPanel_->toggle();
}

// Return (and the keypad's Enter) sends only from the input line: in the Call field, a spin box or on a tab
// it does what it does there.
void ConsoleController::setTransmitKeyEquiv(bool flag)
{
    returnSends_ = flag;
    if (keyboard_ && keyboard_->isOn())
        transmitOutlet->setToolTip(tr("Not in keyboard mode: each character is keyed as you type it"));
    else
        transmitOutlet->setToolTip(flag ? tr("Send the input line (Return in the input line)")
                                        : tr("Send the input line"));
}

void ConsoleController::returnPressed()
{
    if (returnSends_)
        sendAction();
}

void ConsoleController::pressFunctionKey(int key)
{
    functionKeys_->press(key);
}

// ---- Message groups ----

void ConsoleController::messageGroupChange(QObject *sender)
{
    messageGroups_->messageGroupChange(sender);
}

void ConsoleController::tabViewDidSelectTabViewItem(int index)
{
    const QString group = messageGroups_->groupAt(index);
    if (group.isEmpty())
        return;
    setFunctionTitle(group);
    setSelectedMessageGroup(group);
}

void ConsoleController::setFunctionTitle(const QString &identifier)
{
    functionKeys_->showGroup(identifier);
}

void ConsoleController::setSelectedMessageGroup(const QString &identifier)
{
    messageGroups_->setSelectedMessageGroup(identifier);
}

QString ConsoleController::selectedMessageGroup() const
{
    return messageGroups_->selectedMessageGroup();
}
