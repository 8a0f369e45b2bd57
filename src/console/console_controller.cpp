#include "console/console_controller.h"

#include "compose/keyer.h"
#include "console/console_host.h"
#include "console/console_narration.h"
#include "console/function_key_cell.h"
#include "console/function_key_row.h"
#include "console/key_lamp.h"
#include "keying/diagnostics.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "status/status_report.h"
#include "ui_Console.h"
#include "widgets/announcer.h"
#include "widgets/inner_control_names.h"
#include "widgets/readable_colours.h"
#include "widgets/wheel_guard.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QThread>
#include <QTreeWidget>

int G_KLKFunctionKeyDown = 0;
int G_KLKFunctionKeyPrevious = 0;

namespace {

constexpr int sendingPollInterval = 100; // ms
constexpr int frameSaveDelay = 500;      // ms after the last move or resize
const int wpmMaximum = int(KLKWpmRange.maximum);
const int wpmMinimum = int(KLKWpmRange.minimum);

// Monospaced on every machine: the family tools/install-deps installs, else the desktop's fixed font; a
// little larger than the desktop's text, and as much larger as the operator has made that.
QFont logFont()
{
    const QString family = QStringLiteral("DejaVu Sans Mono");
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family)
                                                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const qreal desktop = QApplication::font().pointSizeF();
    font.setPointSizeF(std::max(12.0, desktop > 0 ? desktop * 4 / 3 : 12.0));
    return font;
}

// A label such as "R&R" shows as written instead of underlining a letter.
QVariant literalButtonText(const QVariant &value)
{
    return SettingsStore::toText(value).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ConsoleController::ConsoleController(SettingsStore &store, ConsoleHost &host, QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Console>()), store_(store), host_(host),
      status_(host.statusReport()), keyer_(host.keyer()), beep_(&QApplication::beep)
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

    G_KLKFunctionKeyDown = 0;
    sendText_.reserve(100);
    f1tof4Outlet->setFirstKey(1);
    f5tof8Outlet->setFirstKey(5);
    f9tof12Outlet->setFirstKey(9);

    buildStatusBar();
    buildSetupHint();
    announcer_ = new Announcer(statusBar());
    narration_ = new ConsoleNarration(*announcer_, this);
    keyLamp_ = new KeyLamp(keyer_->elementTimeline(), *ui_->keyLamp, this);
    connectCommands();
    bindDrawer();
    bindPractice();
    bindCallAndReport();
    installKeyShortcuts();
    nameControls();
    awakeFromNib();
}

ConsoleController::~ConsoleController()
{
    if (frameSave_.isActive())
        saveGeometrySetting();
}

void ConsoleController::connectCommands()
{
    connect(transmitOutlet, &QPushButton::clicked, this, &ConsoleController::sendAction);
    connect(stopOutlet, &QPushButton::clicked, this, &ConsoleController::cancelAction);
    connect(ui_->beaconButton, &QPushButton::clicked, this, &ConsoleController::beacon);
    connect(ui_->clearButton, &QPushButton::clicked, this, &ConsoleController::clearAction);
    connect(ui_->speedUpButton, &QToolButton::clicked, this, &ConsoleController::wpmUp);
    connect(ui_->speedDownButton, &QToolButton::clicked, this, &ConsoleController::wpmDown);
    connect(ui_->drawerButton, &QToolButton::clicked, this, &ConsoleController::toggleDrawer);

    connect(ui_->actionTransmit, &QAction::triggered, this, &ConsoleController::sendAction);
    connect(ui_->actionStop, &QAction::triggered, this, &ConsoleController::cancelAction);
    connect(ui_->actionBeacon, &QAction::triggered, this, &ConsoleController::beacon);
    connect(ui_->actionClear, &QAction::triggered, this, &ConsoleController::clearAction);
    connect(ui_->actionSpeedUp, &QAction::triggered, this, &ConsoleController::wpmUp);
    connect(ui_->actionSpeedDown, &QAction::triggered, this, &ConsoleController::wpmDown);
    connect(ui_->actionToggleDrawer, &QAction::triggered, this, &ConsoleController::toggleDrawer);
    connect(ui_->actionLogFont, &QAction::triggered, this, &ConsoleController::chooseLogFont);
    connect(ui_->actionSaveLog, &QAction::triggered, this, &ConsoleController::saveLogAs);
    connect(ui_->actionOpenConsole, &QAction::triggered, this, [this] { host_.openConsole(); });
    connect(ui_->actionPreferences, &QAction::triggered, this, [this] { host_.showPreferences(); });
    connect(lineInOutlet, &QLineEdit::returnPressed, this, &ConsoleController::returnPressed);
    connect(&status_, &StatusReport::changed, this, &ConsoleController::showStatus);
    connect(ui_->actionQuit, &QAction::triggered, this, &QWidget::close);
    for (QAction *action : ui_->menuGroup->actions())
        connect(action, &QAction::triggered, this, [this, action] { messageGroupChange(action); });

    for (FunctionKeyRow *row : {f1tof4Outlet, f5tof8Outlet, f9tof12Outlet})
        connect(row, &FunctionKeyRow::activated, this, [this, row] { functionAction(row); });
    connect(messageTabOutlet, &QTabWidget::currentChanged, this,
            &ConsoleController::tabViewDidSelectTabViewItem);
    connect(&store_, &SettingsStore::changed, this, &ConsoleController::settingChanged);
    connect(this, &ConsoleController::dateJSTChanged, this, &ConsoleController::showClock);

    sendingPoll_.setInterval(sendingPollInterval);
    connect(&sendingPoll_, &QTimer::timeout, this, &ConsoleController::updateSendingIndicator);
    sendingPoll_.start();

    frameSave_.setSingleShot(true);
    frameSave_.setInterval(frameSaveDelay);
    connect(&frameSave_, &QTimer::timeout, this, &ConsoleController::saveGeometrySetting);
}

void ConsoleController::bindDrawer()
{
    enum class Kind { Integer, Real, Flag };
    struct Row
    {
        QWidget *control;
        QString key;
        Kind kind;
    };
    const Row rows[] = {{ui_->speedSpinBox, KLKWpmKey, Kind::Integer},
                        {ui_->dahRatioSpinBox, KLKTimeDahKey, Kind::Real},
                        {ui_->letterRatioSpinBox, KLKTimeLetterKey, Kind::Real},
                        {ui_->wordRatioSpinBox, KLKTimeWordKey, Kind::Real},
                        {ui_->beaconDelaySpinBox, KLKBeaconDelayKey, Kind::Integer},
                        {ui_->sidetoneCheckBox, KLKSidetoneKey, Kind::Flag},
                        {ui_->sidetonePitchSpinBox, KLKSidetonePitchKey, Kind::Integer},
                        {ui_->sidetoneVolumeSpinBox, KLKSidetoneVolumeKey, Kind::Integer}};
    for (const Row &row : rows) {
        auto binding = std::make_unique<SettingBinding>(row.control, store_, row.key);
        if (row.kind == Kind::Integer)
            binding->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
        else if (row.kind == Kind::Real)
            binding->setConverters(&SettingBinding::readReal);
        else
            binding->setConverters(&SettingBinding::readFlag);
        binding->refresh();
        drawerBindings_.push_back(std::move(binding));
        WheelGuard::guard(row.control);
    }
}

// The check box and the menu item both switch practice mode; the console shows it where it cannot be
// missed: a badge in the status bar and the window title, and the set-up hint for a port goes away.
void ConsoleController::bindPractice()
{
    auto binding = std::make_unique<SettingBinding>(ui_->practiceCheckBox, store_, KLKPracticeModeKey);
    binding->setConverters(&SettingBinding::readFlag);
    binding->refresh();
    drawerBindings_.push_back(std::move(binding));
    connect(ui_->actionPractice, &QAction::toggled, this,
            [this](bool on) { store_.setValue(KLKPracticeModeKey, on); });
}

void ConsoleController::showPractice()
{
    const bool practice = store_.boolValue(KLKPracticeModeKey);
    practiceIndicator_->setVisible(practice);
    ui_->actionPractice->setChecked(practice);
    setWindowTitle(practice ? tr("Keylark — Practice") : tr("Keylark"));
    showSetupHint();
}

// The Call and RST fields are the "$C" and "$R" macros, edited here or in the preferences alike.
void ConsoleController::bindCallAndReport()
{
    for (QLineEdit *field : {callOutlet, rstOutlet}) {
        const QChar letter = field == callOutlet ? u'C' : u'R';
        auto binding = std::make_unique<SettingBinding>(field, store_, globalMacroKey(letter), QString());
        binding->setConverters(&SettingBinding::readText, &SettingBinding::storeTextOrAbsent);
        noteBindings_.push_back(std::move(binding));
    }
}

// Tab goes from the input line to the notes of the station worked, the set-up hint's button while it
// shows, the log, the message groups and the messages of the group shown, then through the keyer panel
// when it is open, and back to the input line.
void ConsoleController::orderTabs()
{
    // The tab bar takes the focus itself; its tab widget, which would only pass it on, is no stop of its own.
    messageTabOutlet->setFocusPolicy(Qt::NoFocus);
    messageTabOutlet->tabBar()->setFocusPolicy(Qt::TabFocus);
    QList<QWidget *> order = {lineInOutlet,     callOutlet,     rstOutlet,
                              setupHintButton_, textViewOutlet, messageTabOutlet->tabBar()};
    for (int group = 1; group <= GROUPCOUNT; ++group) {
        if (auto *page = messageTabOutlet->findChild<QWidget *>(groupIdentifier(group)))
            order += page->findChild<QTreeWidget *>();
    }
    order += {ui_->speedSpinBox,         ui_->dahRatioSpinBox,      ui_->letterRatioSpinBox,
              ui_->wordRatioSpinBox,     ui_->beaconDelaySpinBox,   ui_->sidetoneCheckBox,
              ui_->sidetonePitchSpinBox, ui_->sidetoneVolumeSpinBox};
    order.removeAll(nullptr);
    for (qsizetype index = 1; index < order.size(); ++index)
        setTabOrder(order.at(index - 1), order.at(index));
}

// Names that the form cannot give: the parts Qt adds to the controls, and the group tabs.
void ConsoleController::nameControls()
{
    InnerControlNames::nameAll(this);
    orderTabs();
}

void ConsoleController::installKeyShortcuts()
{
    for (FunctionKeyRow *row : {f1tof4Outlet, f5tof8Outlet, f9tof12Outlet}) {
        for (int column = 0; column < FunctionKeyRow::columnCount; ++column) {
            QPushButton *cell = row->cellAt(0, column);
            const int key = FunctionKeyRow::tag(cell);
            auto *shortcut = new QShortcut(QKeySequence(Qt::Key_F1 + key - 1), this);
            shortcut->setAutoRepeat(false);
            connect(shortcut, &QShortcut::activated, this, [this, cell] { functionAction(cell); });
        }
    }
    textViewOutlet->installEventFilter(this);
    ui_->clockLabel->installEventFilter(this);
}

// The log can be reached with Tab, to be read or copied from, but what the operator types goes on into
// the input line.
bool ConsoleController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui_->clockLabel && event->type() == QEvent::Resize)
        showClock();
    if (watched != textViewOutlet || event->type() != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool typed = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                       !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!typed)
        return false;
    lineInOutlet->setFocus(Qt::OtherFocusReason);
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(), key->count());
    QApplication::sendEvent(lineInOutlet, &copy);
    return true;
}

void ConsoleController::returnPressed()
{
    if (returnSends_)
        sendAction();
}

void ConsoleController::awakeFromNib()
{
    const QString group = selectedMessageGroup();
    setFunctionTitle(group);
    setSelectedMessageGroup(group);
    setTransmitKeyEquiv(store_.boolValue(KLKRransmitKeyEquivKey));
    restoreLogFont();
    applyScrollBack();
    refreshMessagePages();
    showPractice();
    showStatus();
    followPalette();
    followFont();
    updateSpeedLabel();
    updateSendingIndicator();
    dateUpdate();
}

void ConsoleController::stopFollowingKeying()
{
    keyLamp_->stop();
}

void ConsoleController::showWindow()
{
    if (!windowLoaded_) {
        windowLoaded_ = true;
        const QByteArray frame = QByteArray::fromBase64(store_.stringValue(FrameKey).toLatin1());
        if (frame.isEmpty() || !restoreGeometry(frame))
            resize(QSize(980, 680).expandedTo(minimumSizeHint()));
    }
    show();
    raise();
    activateWindow();
    lineInOutlet->setFocus();
}

void ConsoleController::closeEvent(QCloseEvent *event)
{
    keyer_->sendStop();
    saveGeometrySetting();
    event->accept();
    emit closed();
}

// Saved a moment after the last move or resize, so that a frame survives an end without a close.
void ConsoleController::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    if (windowLoaded_ && isVisible())
        frameSave_.start();
}

void ConsoleController::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (windowLoaded_ && isVisible())
        frameSave_.start();
}

void ConsoleController::saveGeometrySetting()
{
    frameSave_.stop();
    store_.setValue(FrameKey, QString::fromLatin1(saveGeometry().toBase64()));
}

// ---- The log ----

template <typename Function> void ConsoleController::onInterfaceThread(Function function)
{
    if (QThread::currentThread() == thread())
        function();
    else
        QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

void ConsoleController::appendText(const QString &text)
{
    onInterfaceThread([this, text] {
        insertAtEnd(text, false);
        narration_->echoed(text);
    });
}

void ConsoleController::appendTextWithColor(const QString &text)
{
    onInterfaceThread([this, text] { insertAtEnd(text, true); });
}

// The worker writes the prompt once the port is open and the pass begins to key.
void ConsoleController::appendPrompt(const QString &text)
{
    onInterfaceThread([this, text] {
        status_.transmissionStarted();
        narration_->passStarted(keyer_->beaconArmed());
        insertAtEnd(text, true);
    });
}

void ConsoleController::lineInClear()
{
    onInterfaceThread([this] { clearInputLine(); });
}

// The input line's undo history would hold every character typed since Keylark started; it keeps only
// the clearing, so that Undo still brings the last line back.
void ConsoleController::clearInputLine()
{
    lineInOutlet->setText(lineInOutlet->text());
    lineInOutlet->clear();
}

void ConsoleController::insertAtEnd(const QString &text, bool prompt)
{
    QTextCursor cursor(textViewOutlet->document());
    cursor.movePosition(QTextCursor::End);
    const bool following =
        !textViewOutlet->hasFocus() || textViewOutlet->textCursor().position() == cursor.position();
    QTextCharFormat format;
    if (prompt)
        format.setForeground(
            ReadableColours::muted(textViewOutlet->palette(), QPalette::Base, QPalette::Text));
    cursor.insertText(text, format);
    // The caret goes to the end and any selection of the operator's is dropped, as typed input would;
    // but while the operator reads the log from the keyboard the caret stays where they read.
    if (!following)
        return;
    textViewOutlet->setTextCursor(cursor);
    textViewOutlet->ensureCursorVisible();
}

// The log keeps the newest lines only, so that neither its memory nor the cost of a character grows
// with the time Keylark runs; the oldest lines go first.
void ConsoleController::applyScrollBack()
{
    textViewOutlet->setUndoRedoEnabled(false); // the log is never edited: nothing to undo
    textViewOutlet->setMaximumBlockCount(
        int(KLKScrollBackRange.clamp(store_.intValue(KLKConsoleScrollBackKey))));
}

void ConsoleController::updateTextView()
{
    textViewOutlet->setPlainText(sendText());
}

void ConsoleController::dateUpdate()
{
    setDateJST(QDateTime::currentDateTime());
}

void ConsoleController::setDateJST(const QDateTime &date)
{
    dateJST_ = date;
    emit dateJSTChanged(date);
}

// The date goes first when the window is narrow; the local time and UTC always show.
void ConsoleController::showClock()
{
    QLabel *clock = ui_->clockLabel;
    const QString times = dateJST_.toLocalTime().toString(QStringLiteral("HH:mm:ss")) +
                          dateJST_.toUTC().toString(QStringLiteral("  '·  UTC' HH:mm"));
    const QString full = dateJST_.toLocalTime().toString(QStringLiteral("yyyy-MM-dd  ")) + times;
    clock->setMinimumWidth(clock->fontMetrics().horizontalAdvance(times) + 4);
    clock->setText(clock->fontMetrics().horizontalAdvance(full) < clock->width() ? full : times);
}

void ConsoleController::functionKeyClear()
{
    G_KLKFunctionKeyDown = 0;
}

// ---- The status bar and the first-start hint ----

void ConsoleController::buildStatusBar()
{
    statusError_ = new QLabel(this);
    statusError_->setObjectName(QStringLiteral("statusError"));
    statusInformation_ = new QLabel(this);
    statusInformation_->setObjectName(QStringLiteral("statusInformation"));
    for (QLabel *label : {statusError_, statusInformation_}) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setFocusPolicy(Qt::NoFocus);
    }
    // First in the status bar, where the state of the keyer is read, and never elided.
    practiceIndicator_ = new QLabel(tr("PRACTICE · no transmitter"), this);
    practiceIndicator_->setObjectName(QStringLiteral("practiceIndicator"));
    practiceIndicator_->setToolTip(tr("No serial port is opened or keyed. Clear Practice to go on the air."));
    practiceIndicator_->hide();
    statusBar()->addWidget(practiceIndicator_);
    statusBar()->addWidget(statusError_, 3);
    statusBar()->addWidget(statusInformation_, 2);
    statusNetwork_ = new QLabel(this);
    statusNetwork_->setObjectName(QStringLiteral("statusNetwork"));
    statusNetwork_->setAccessibleName(tr("Network keying"));
    statusNetwork_->setFocusPolicy(Qt::NoFocus);
    statusBar()->addPermanentWidget(statusNetwork_);
}

void ConsoleController::showStatus()
{
    const QString error = status_.error();
    const QString hint = status_.hint();
    const QString shown = hint.isEmpty() ? error : error + QStringLiteral(" — ") + hint;
    statusError_->setText(shown);
    statusError_->setToolTip(hint.isEmpty() ? error : error + QLatin1Char('\n') + hint);
    statusError_->setVisible(!error.isEmpty());
    statusInformation_->setText(status_.information());
    statusInformation_->setToolTip(status_.information());
    statusNetwork_->setText(status_.networkState());
    statusNetwork_->setVisible(!status_.networkState().isEmpty());
    narration_->statusShown(shown, status_.information());
}

void ConsoleController::buildSetupHint()
{
    setupHint_ = new QFrame(this);
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
    ui_->mainColumn->insertWidget(ui_->mainColumn->indexOf(textViewOutlet), setupHint_);
    connect(setupHintButton_, &QPushButton::clicked, this, &ConsoleController::openSetupPane);
}

// Until a port is chosen and a line keys the transmitter nothing reaches the rig: say so, and where to
// set it, rather than let the log echo text that is never sent.
// Practice needs neither a port nor a line.
void ConsoleController::showSetupHint()
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
    lineInOutlet->setAccessibleDescription(setupHint_->isVisibleTo(this) ? setupHintText_->text()
                                                                         : QString());
}

void ConsoleController::openSetupPane()
{
    host_.showPreferencesFor(store_.stringValue(KLKSerialDeviceKey).isEmpty() ? KLKSerialDeviceKey
                                                                              : KLKSerialDTRKey);
}

// SENDING while a text keys; BEACON while a beacon runs, with the seconds left of its pause; BEACON ARMED
// while a beacon is asked for and the next text sent will repeat.
void ConsoleController::updateSendingIndicator()
{
    const bool sending = keyer_->isSending();
    const bool beacon = keyer_->beaconArmed();
    narration_->keyerState(sending, beacon);
    const int pauseLeft = sending && beacon ? keyer_->beaconPauseLeft() : 0;
    QString text = tr("IDLE");
    Badge badge = Badge::Idle;
    if (sending && beacon) {
        text = pauseLeft > 0 ? tr("BEACON %1 s").arg(pauseLeft) : tr("BEACON");
        badge = pauseLeft > 0 ? Badge::Pause : Badge::OnAir;
    } else if (sending) {
        text = tr("SENDING");
        badge = Badge::OnAir;
    } else if (beacon) {
        text = tr("BEACON ARMED");
        badge = Badge::Armed;
    }
    QLabel *indicator = ui_->sendingIndicator;
    indicator->setProperty("sending", sending);
    if (indicator->text() == text && badge_ == badge)
        return;
    indicator->setText(text);
    badge_ = badge;
    styleBadge();
}

// Red on air, amber in a beacon's pause, yellow when armed; in a high-contrast theme the theme's own two
// colours, reversed on air and with a dashed frame when armed.
void ConsoleController::styleBadge()
{
    struct Look
    {
        Badge badge;
        const char *ordinary;
        const char *highContrast;
    };
    static const Look looks[] = {
        {Badge::Idle, "border: 1px solid palette(mid); color: palette(window-text);",
         "border: 1px solid palette(window-text);"},
        {Badge::Armed, "background: #ffe082; color: #4e3b00;", "border: 2px dashed palette(window-text);"},
        {Badge::OnAir, "background: #c62828; color: white;",
         "background: palette(window-text); color: palette(window);"},
        {Badge::Pause, "background: #a84300; color: white;",
         "background: palette(window-text); color: palette(window);"},
    };
    const bool high = ReadableColours::isHighContrast(palette());
    QString colours;
    for (const Look &look : looks) {
        if (look.badge == badge_)
            colours = QLatin1String(high ? look.highContrast : look.ordinary);
    }
    ui_->sendingIndicator->setStyleSheet(
        QStringLiteral("QLabel { %1 border-radius: 4px; padding: 3px 10px; font-weight: bold; }")
            .arg(colours));
    fitBadge();
}

// As wide as SENDING, so that the clock beside it stays put as transmissions come and go, and wider
// when a longer state needs it.
void ConsoleController::fitBadge()
{
    QLabel *indicator = ui_->sendingIndicator;
    indicator->setMinimumWidth(std::max(badgeWidth_, indicator->minimumSizeHint().width()));
}

// The status line's error in red and the set-up hint on yellow, unless the theme is one of high contrast.
void ConsoleController::followPalette()
{
    const bool high = ReadableColours::isHighContrast(palette());
    statusError_->setStyleSheet(high ? QStringLiteral("QLabel { font-weight: bold; }")
                                     : QStringLiteral("QLabel { color: #b71c1c; font-weight: bold; }"));
    setupHint_->setStyleSheet(
        high ? QStringLiteral("#setupHint { border: 2px solid palette(window-text); border-radius: 4px; }")
             : QStringLiteral("#setupHint { background: #fff4ce; border: 1px solid #e0c060; "
                              "border-radius: 4px; } QLabel { color: #3a3000; }"));
    centralWidget()->setStyleSheet(ReadableColours::fieldFrames(palette()));
    practiceIndicator_->setStyleSheet(
        high ? QStringLiteral("QLabel { border: 2px solid palette(window-text); border-radius: 3px; "
                              "padding: 0 6px; font-weight: bold; }")
             : QStringLiteral("QLabel { background: #1565c0; color: white; border-radius: 3px; "
                              "padding: 0 6px; font-weight: bold; }"));
    if (keyLamp_)
        keyLamp_->restyle();
    styleBadge();
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
    ui_->speedLabel->setMinimumWidth(metrics.horizontalAdvance(tr("%1 wpm").arg(wpmMaximum)) + 8);
    QFont bold = font();
    bold.setBold(true);
    badgeWidth_ = QFontMetrics(bold).horizontalAdvance(tr("SENDING")) + 24;
    fitBadge();
    if (store_.stringValue(KLKConsoleLogFontKey).isEmpty())
        restoreLogFont();
    // A larger font may need a larger window: grow it rather than squeeze the controls.
    if (windowLoaded_)
        resize(size().expandedTo(minimumSizeHint()));
}

void ConsoleController::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        followPalette();
    else if (event->type() == QEvent::FontChange)
        followFont();
}

void ConsoleController::updateSpeedLabel()
{
    ui_->speedLabel->setText(tr("%1 wpm").arg(store_.intValue(KLKWpmKey)));
}

void ConsoleController::chooseLogFont()
{
    QFontDialog dialog(textViewOutlet->font(), this);
    dialog.setObjectName(QStringLiteral("logFontDialog"));
    dialog.setWindowTitle(tr("Log Font"));
    dialog.setOptions(QFontDialog::MonospacedFonts);
    InnerControlNames::nameAll(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QFont font = dialog.selectedFont();
    textViewOutlet->setFont(font);
    store_.setValue(KLKConsoleLogFontKey, font.toString());
}

void ConsoleController::saveLogAs()
{
    QFileDialog dialog(this, tr("Save Log As"));
    dialog.setObjectName(QStringLiteral("saveLogDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(tr("Text files (*.txt)"));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    dialog.selectFile(QStringLiteral("keylark-log-%1.txt")
                          .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmm"))));
    InnerControlNames::nameAll(&dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        saveLog(dialog.selectedFiles().constFirst());
}

// The whole file or nothing: a failed save leaves an earlier file of that name as it was.
bool ConsoleController::saveLog(const QString &path)
{
    QString text = textViewOutlet->toPlainText();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
    const QString shown = QDir::toNativeSeparators(path);
    if (saved)
        status_.report(QStringLiteral("#.. Keylark : Log saved to %1.").arg(shown));
    else
        status_.report(
            QStringLiteral("*** Keylark : Log not saved to %1 (%2).").arg(shown, file.errorString()));
    return saved;
}

// The font chosen last, when it can still be read; else the fixed-pitch default.
void ConsoleController::restoreLogFont()
{
    QFont font = logFont();
    const QString stored = store_.stringValue(KLKConsoleLogFontKey);
    QFont chosen;
    if (!stored.isEmpty() && chosen.fromString(stored))
        font = chosen;
    textViewOutlet->setFont(font);
}

// ---- Commands ----

void ConsoleController::sendAction()
{
    keyer_->sendStop();
    const QString text = lineInOutlet->text();
    if (text.isEmpty())
        return;
    narration_->requested(text);
    keyer_->sendMessage(text, selectedMessageGroup());
}

void ConsoleController::clearAction()
{
    setSendText(QString());
    clearInputLine();
    keyer_->sendClear();
    updateTextView();
}

// Also takes back a beacon that was asked for and has not begun.
void ConsoleController::cancelAction()
{
    narration_->stopRequested();
    keyer_->sendStop();
    keyer_->beaconDisarm();
    G_KLKFunctionKeyPrevious = 0;
    host_.keyTimerCancel();
    updateSendingIndicator();
}

void ConsoleController::beacon()
{
    keyer_->beaconSend();
    if (lineInOutlet->text().isEmpty())
        Diagnostics::out(
            QStringLiteral("#.. Keylark : Beacon armed: the next text sent repeats until Stop (Esc)."));
    sendAction();
    updateSendingIndicator();
}

// Compared before the step, so that a stored speed at the limits of int cannot overflow.
void ConsoleController::wpmUp()
{
    const int wpm = store_.intValue(KLKWpmKey);
    store_.setValue(KLKWpmKey, double(wpm >= wpmMaximum ? wpmMaximum : wpm + 1));
    narration_->speedSet(store_.intValue(KLKWpmKey));
}

void ConsoleController::wpmDown()
{
    const int wpm = store_.intValue(KLKWpmKey);
    store_.setValue(KLKWpmKey, double(wpm <= wpmMinimum ? wpmMinimum : wpm - 1));
    narration_->speedSet(store_.intValue(KLKWpmKey));
}

void ConsoleController::messageGroupChange(QObject *sender)
{
    const int group = sender ? sender->property("tag").toInt() : 0;
    if (auto *page = messageTabOutlet->findChild<QWidget *>(groupIdentifier(group)))
        messageTabOutlet->setCurrentWidget(page);
}

void ConsoleController::toggleDrawer()
{
    const bool open = !drawerOutlet->isVisible();
    drawerOutlet->setVisible(open);
    ui_->drawerButton->setChecked(open);
    ui_->drawerButton->setText(open ? tr("Keyer ◂") : tr("Keyer ▸"));
    ui_->actionToggleDrawer->setChecked(open);
}

// Return (and the keypad's Enter) sends only from the input line: in the Call field, a spin box or on a tab
// it does what it does there.
void ConsoleController::setTransmitKeyEquiv(bool flag)
{
    returnSends_ = flag;
    transmitOutlet->setToolTip(flag ? tr("Send the input line (Return in the input line)")
                                    : tr("Send the input line"));
}

// ---- Function keys and message groups ----

void ConsoleController::functionAction(QObject *sender)
{
    QObject *cell = sender;
    if (auto *row = qobject_cast<FunctionKeyRow *>(sender))
        cell = row->selectedCell();
    const int key = FunctionKeyRow::tag(cell);
    if (key < 1 || key > FUNCTIONCOUNT)
        return;

    if (G_KLKFunctionKeyDown == 1) {
        if (key == G_KLKFunctionKeyPrevious)
            return;
        host_.keyTimerCancel();
    }
    G_KLKFunctionKeyPrevious = key;
    G_KLKFunctionKeyDown = 1;
    host_.keyTimerStart();

    if (keyer_->isSending()) {
        keyer_->sendStop();
        return;
    }
    const QString group = selectedMessageGroup();
    const QString message = store_.usableText(messageKey(group, key));
    if (message.isEmpty()) {
        beep_();
        cancelAction();
        return;
    }
    lineInOutlet->setText(keyer_->replaceAllMacro(message, group).toUpper());
    sendAction();
}

void ConsoleController::pressFunctionKey(int key)
{
    if (key < 1 || key > FUNCTIONCOUNT)
        return;
    functionAction(functionKeyCell(key));
}

FunctionKeyCell *ConsoleController::functionKeyCell(int key) const
{
    FunctionKeyRow *const rows[] = {f1tof4Outlet, f5tof8Outlet, f9tof12Outlet};
    return static_cast<FunctionKeyCell *>(
        rows[(key - 1) / FunctionKeyRow::columnCount]->cellAt(0, (key - 1) % FunctionKeyRow::columnCount));
}

QString ConsoleController::selectedMessageGroup() const
{
    QWidget *page = messageTabOutlet->currentWidget();
    return page ? page->objectName() : groupIdentifier(1);
}

void ConsoleController::tabViewDidSelectTabViewItem(int index)
{
    QWidget *page = messageTabOutlet->widget(index);
    if (!page)
        return;
    setFunctionTitle(page->objectName());
    setSelectedMessageGroup(page->objectName());
}

void ConsoleController::setFunctionTitle(const QString &identifier)
{
    titleBindings_.clear();
    FunctionKeyRow *const rows[] = {f1tof4Outlet, f5tof8Outlet, f9tof12Outlet};
    for (int matrix = 0; matrix < 3; ++matrix) {
        FunctionKeyRow *row = rows[matrix];
        for (int column = 0; column < FunctionKeyRow::columnCount; ++column) {
            QPushButton *cell = row->cellAt(0, column);
            const int key = 4 * matrix + column + 1;
            const QString title = QStringLiteral("F%1").arg(key);
            auto binding =
                std::make_unique<SettingBinding>(cell, store_, labelKey(identifier, key), title, "label");
            binding->setConverters(&SettingBinding::readText, nullptr);
            titleBindings_.push_back(std::move(binding));
            // Not bound: the tool tip shows the message as stored when the group was selected.
            const QString message = store_.usableText(messageKey(identifier, FunctionKeyRow::tag(cell)));
            row->setToolTipForCell(message, cell);
            static_cast<FunctionKeyCell *>(cell)->setCurrentMessage(message);
        }
    }
}

void ConsoleController::setSelectedMessageGroup(const QString &identifier)
{
    const QString key = groupLabelKey(identifier);
    selectedMessageGroupOutlet->setText(store_.contains(key) ? store_.usableText(key) : identifier);
}

// ---- The stored-message pages ----

void ConsoleController::settingChanged(const QString &key)
{
    if (key == KLKWpmKey) {
        updateSpeedLabel();
        return;
    }
    if (key == KLKConsoleScrollBackKey) {
        applyScrollBack();
        return;
    }
    if (key == KLKRransmitKeyEquivKey) {
        setTransmitKeyEquiv(store_.boolValue(KLKRransmitKeyEquivKey));
        return;
    }
    if (key == KLKSerialDeviceKey || key == KLKSerialDTRKey || key == KLKSerialRTSKey) {
        showSetupHint();
        return;
    }
    if (key == KLKPracticeModeKey) {
        showPractice();
        return;
    }
    if (!key.startsWith(QStringLiteral("messageG")))
        return;
    refreshMessagePages();
    for (int function = 1; function <= FUNCTIONCOUNT; ++function) {
        if (key == messageKey(selectedMessageGroup(), function))
            functionKeyCell(function)->setCurrentMessage(store_.stringValue(key));
    }
    if (key == groupLabelKey(selectedMessageGroup()))
        setSelectedMessageGroup(selectedMessageGroup());
}

void ConsoleController::refreshMessagePages()
{
    for (int group = 1; group <= GROUPCOUNT; ++group)
        refreshMessagePage(group);
}

void ConsoleController::refreshMessagePage(int group)
{
    const QString identifier = groupIdentifier(group);
    auto *page = messageTabOutlet->findChild<QWidget *>(identifier);
    auto *view = page ? page->findChild<QTreeWidget *>() : nullptr;
    if (!view)
        return;
    const QString labelSetting = groupLabelKey(identifier);
    const QVariant groupLabel =
        store_.contains(labelSetting) ? store_.usableValue(labelSetting) : QVariant(identifier);
    messageTabOutlet->setTabText(messageTabOutlet->indexOf(page), literalButtonText(groupLabel).toString());
    view->setAccessibleName(tr("Stored messages of group %1").arg(SettingsStore::toText(groupLabel)));
    view->setMinimumHeight(40); // a small screen keeps its room for the log
    if (view->topLevelItemCount() != FUNCTIONCOUNT) {
        view->clear();
        for (int key = 1; key <= FUNCTIONCOUNT; ++key)
            new QTreeWidgetItem(view, {QStringLiteral("F%1").arg(key)});
    }
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        QTreeWidgetItem *item = view->topLevelItem(key - 1);
        const QString label = store_.usableText(labelKey(identifier, key));
        item->setText(1, label.isNull() ? QStringLiteral("F%1").arg(key) : label);
        item->setText(2, store_.usableText(messageKey(identifier, key)));
    }
    view->resizeColumnToContents(0);
    view->setColumnWidth(1, std::max(view->columnWidth(1), 140));
}
