#include "console/console_controller.h"

#include "app/app_delegate.h"
#include "compose/keyer.h"
#include "console/function_key_row.h"
#include "keying/diagnostics.h"
#include "settings/setting_binding.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Console.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QThread>
#include <QTreeWidget>

int G_KLKFunctionKeyDown = 0;
int G_KLKFunctionKeyPrevious = 0;

namespace {

const QString windowFrameKey = QStringLiteral("ConsoleWindowFrame");
constexpr int sendingPollInterval = 100; // ms
constexpr int wpmMaximum = 40;
constexpr int wpmMinimum = 5;

// Monospaced on every machine: the family tools/install-deps installs, else the desktop's fixed font.
QFont logFont()
{
    const QString family = QStringLiteral("DejaVu Sans Mono");
    QFont font = QFontDatabase::hasFamily(family) ? QFont(family)
                                                  : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(12);
    return font;
}

// A label such as "R&R" shows as written instead of underlining a letter.
QVariant literalButtonText(const QVariant &value)
{
    return SettingsStore::toText(value).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ConsoleController::ConsoleController(SettingsStore &store, AppDelegate &delegate, QWidget *parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Console>()), store_(store), delegate_(delegate),
      keyer_(delegate.keyer()), beep_(&QApplication::beep)
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

    connectCommands();
    bindDrawer();
    installKeyShortcuts();
    awakeFromNib();

    Diagnostics::setObserver([this](const QString &line) {
        QMetaObject::invokeMethod(
            this, [this, line] { showDiagnostic(line); }, Qt::QueuedConnection);
    });
}

ConsoleController::~ConsoleController()
{
    Diagnostics::setObserver({});
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
    connect(ui_->actionOpenConsole, &QAction::triggered, &delegate_, &AppDelegate::openConsole);
    connect(ui_->actionPreferences, &QAction::triggered, &delegate_, &AppDelegate::showPreferences);
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
}

void ConsoleController::bindDrawer()
{
    struct Row
    {
        QWidget *control;
        QString key;
        bool integer;
    };
    const Row rows[] = {{ui_->speedSpinBox, KLKWpmKey, true},
                        {ui_->dahRatioSpinBox, KLKTimeDahKey, false},
                        {ui_->letterRatioSpinBox, KLKTimeLetterKey, false},
                        {ui_->wordRatioSpinBox, KLKTimeWordKey, false},
                        {ui_->beaconDelaySpinBox, KLKBeaconDelayKey, true}};
    for (const Row &row : rows) {
        auto binding = std::make_unique<SettingBinding>(row.control, store_, row.key);
        if (row.integer)
            binding->setConverters(&SettingBinding::readInteger, &SettingBinding::storeInteger);
        else
            binding->setConverters(&SettingBinding::readReal);
        binding->refresh();
        drawerBindings_.push_back(std::move(binding));
    }
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
    // The keypad's Enter follows the Return key's transmit setting.
    auto *enter = new QShortcut(QKeySequence(Qt::Key_Enter), this);
    enter->setObjectName(QStringLiteral("enterShortcut"));
    enter->setEnabled(false);
    connect(enter, &QShortcut::activated, transmitOutlet, &QPushButton::animateClick);
}

void ConsoleController::awakeFromNib()
{
    const QString group = selectedMessageGroup();
    setFunctionTitle(group);
    setSelectedMessageGroup(group);
    setTransmitKeyEquiv(store_.boolValue(KLKRransmitKeyEquivKey));
    textViewOutlet->setFont(logFont());
    refreshMessagePages();
    updateSpeedLabel();
    updateSendingIndicator();
    dateUpdate();
}

void ConsoleController::showWindow()
{
    if (!windowLoaded_) {
        windowLoaded_ = true;
        const QByteArray frame = QByteArray::fromBase64(store_.stringValue(windowFrameKey).toLatin1());
        if (frame.isEmpty() || !restoreGeometry(frame))
            resize(980, 680);
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

void ConsoleController::saveGeometrySetting()
{
    store_.setValue(windowFrameKey, QString::fromLatin1(saveGeometry().toBase64()));
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
    onInterfaceThread([this, text] { insertAtEnd(text, false); });
}

void ConsoleController::appendTextWithColor(const QString &text)
{
    onInterfaceThread([this, text] { insertAtEnd(text, true); });
}

void ConsoleController::appendPrompt(const QString &text)
{
    appendTextWithColor(text);
}

void ConsoleController::lineInClear()
{
    onInterfaceThread([this] { lineInOutlet->clear(); });
}

void ConsoleController::insertAtEnd(const QString &text, bool prompt)
{
    QTextCursor cursor(textViewOutlet->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    if (prompt)
        format.setForeground(textViewOutlet->palette().color(QPalette::PlaceholderText));
    cursor.insertText(text, format);
    // The caret goes to the end and any selection of the operator's is dropped, as typed input would.
    textViewOutlet->setTextCursor(cursor);
    textViewOutlet->ensureCursorVisible();
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

void ConsoleController::showClock()
{
    ui_->clockLabel->setText(dateJST_.toLocalTime().toString(QStringLiteral("yyyy-MM-dd  HH:mm:ss")) +
                             dateJST_.toUTC().toString(QStringLiteral("  '·  UTC' HH:mm")));
}

void ConsoleController::functionKeyClear()
{
    G_KLKFunctionKeyDown = 0;
}

void ConsoleController::showDiagnostic(const QString &line)
{
    statusBar()->showMessage(line);
}

void ConsoleController::updateSendingIndicator()
{
    const bool sending = keyer_->isSending();
    QLabel *indicator = ui_->sendingIndicator;
    if (indicator->property("sending").isValid() && indicator->property("sending").toBool() == sending)
        return;
    indicator->setProperty("sending", sending);
    indicator->setText(sending ? tr("SENDING") : tr("IDLE"));
    indicator->setStyleSheet(
        sending ? QStringLiteral("QLabel { background: #d32f2f; color: white; "
                                 "border-radius: 4px; padding: 3px 10px; font-weight: bold; }")
                : QStringLiteral("QLabel { background: palette(mid); color: palette(base); "
                                 "border-radius: 4px; padding: 3px 10px; font-weight: bold; }"));
}

void ConsoleController::updateSpeedLabel()
{
    ui_->speedLabel->setText(tr("%1 wpm").arg(store_.intValue(KLKWpmKey)));
}

void ConsoleController::chooseLogFont()
{
    bool ok = false;
    const QFont font =
        QFontDialog::getFont(&ok, textViewOutlet->font(), this, tr("Log Font"), QFontDialog::MonospacedFonts);
    if (ok)
        textViewOutlet->setFont(font);
}

// ---- Commands ----

void ConsoleController::sendAction()
{
    keyer_->sendStop();
    const QString text = lineInOutlet->text();
    if (text.isEmpty())
        return;
    keyer_->sendMessage(text, selectedMessageGroup());
}

void ConsoleController::clearAction()
{
    setSendText(QString());
    lineInOutlet->clear();
    keyer_->sendClear();
    updateTextView();
}

void ConsoleController::cancelAction()
{
    keyer_->sendStop();
    G_KLKFunctionKeyPrevious = 0;
    delegate_.keyTimerCancel();
}

void ConsoleController::beacon()
{
    keyer_->beaconSend();
    sendAction();
}

// Compared before the step, so that a stored speed at the limits of int cannot overflow.
void ConsoleController::wpmUp()
{
    const int wpm = store_.intValue(KLKWpmKey);
    store_.setValue(KLKWpmKey, double(wpm >= wpmMaximum ? wpmMaximum : wpm + 1));
}

void ConsoleController::wpmDown()
{
    const int wpm = store_.intValue(KLKWpmKey);
    store_.setValue(KLKWpmKey, double(wpm <= wpmMinimum ? wpmMinimum : wpm - 1));
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

void ConsoleController::setTransmitKeyEquiv(bool flag)
{
    transmitOutlet->setShortcut(flag ? QKeySequence(Qt::Key_Return) : QKeySequence());
    findChild<QShortcut *>(QStringLiteral("enterShortcut"))->setEnabled(flag);
    transmitOutlet->setToolTip(flag ? tr("Send the input line (Return)") : tr("Send the input line"));
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
        delegate_.keyTimerCancel();
    }
    G_KLKFunctionKeyPrevious = key;
    G_KLKFunctionKeyDown = 1;
    delegate_.keyTimerStart();

    if (keyer_->isSending()) {
        keyer_->sendStop();
        return;
    }
    const QString group = selectedMessageGroup();
    const QString message = store_.stringValue(messageKey(group, key));
    if (message.isEmpty()) {
        beep_();
        cancelAction();
        return;
    }
    lineInOutlet->setText(keyer_->replaceAllMacro(message, group).toUpper());
    sendAction();
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
                std::make_unique<SettingBinding>(cell, store_, labelKey(identifier, key), title, "text");
            binding->setConverters(&literalButtonText, nullptr);
            titleBindings_.push_back(std::move(binding));
            // Not bound: the tool tip shows the message as stored when the group was selected.
            row->setToolTipForCell(store_.stringValue(messageKey(identifier, FunctionKeyRow::tag(cell))),
                                   cell);
        }
    }
}

void ConsoleController::setSelectedMessageGroup(const QString &identifier)
{
    const QString key = groupLabelKey(identifier);
    selectedMessageGroupOutlet->setText(store_.contains(key) ? store_.stringValue(key) : identifier);
}

// ---- The stored-message pages ----

void ConsoleController::settingChanged(const QString &key)
{
    if (key == KLKWpmKey) {
        updateSpeedLabel();
        return;
    }
    if (!key.startsWith(QStringLiteral("messageG")))
        return;
    refreshMessagePages();
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
        store_.contains(labelSetting) ? store_.value(labelSetting) : QVariant(identifier);
    messageTabOutlet->setTabText(messageTabOutlet->indexOf(page), literalButtonText(groupLabel).toString());
    if (view->topLevelItemCount() != FUNCTIONCOUNT) {
        view->clear();
        for (int key = 1; key <= FUNCTIONCOUNT; ++key)
            new QTreeWidgetItem(view, {QStringLiteral("F%1").arg(key)});
    }
    for (int key = 1; key <= FUNCTIONCOUNT; ++key) {
        QTreeWidgetItem *item = view->topLevelItem(key - 1);
        const QString label = store_.stringValue(labelKey(identifier, key));
        item->setText(1, label.isNull() ? QStringLiteral("F%1").arg(key) : label);
        item->setText(2, store_.stringValue(messageKey(identifier, key)));
    }
    view->resizeColumnToContents(0);
    view->setColumnWidth(1, std::max(view->columnWidth(1), 140));
}
