#include "preferences/preferences_controller.h"

#include "preferences/advanced_pane.h"
#include "preferences/general_pane.h"
#include "preferences/keyer_pane.h"
#include "preferences/macro_pane.h"
#include "preferences/message_pane.h"
#include "preferences/network_pane.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "ui_Preferences.h"
#include "widgets/fitting_scroll_area.h"
#include "widgets/inner_control_names.h"
#include "widgets/readable_colours.h"
#include "widgets/wheel_guard.h"
#include "widgets/window_frame_keeper.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QLabel>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

static void initPreferencesResources()
{
    Q_INIT_RESOURCE(preferences);
}

namespace {

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

} // namespace

PreferencesController::PreferencesController(SettingsStore &store, QWidget *parent,
                                             const SerialPortScanner &scanner)
    : QMainWindow(parent), ui_(std::make_unique<Ui::Preferences>()), store_(store)
{
    initPreferencesResources();
    ui_->setupUi(this);
    preferencesTab = ui_->preferencesTab;
    devicePopUpButton = ui_->devicePopUpButton;
    frame_ = std::make_unique<WindowFrameKeeper>(
        *this, [this] { return store_.stringValue(FrameKey); },
        [this](const QString &frame) { store_.setValue(FrameKey, frame); });

    awakeFromNib();
    makePanes(scanner);
    // Without a frame of its own the window takes what its panes ask for, as far as the screen allows.
    if (!frame_->restore())
        resize(sizeHint().expandedTo(size()).boundedTo(screen()->availableSize()));
}

PreferencesController::~PreferencesController() = default;

void PreferencesController::showWindow(const QString &group)
{
    // The discovery made with the window serves its first showing; every later one looks again.
    if (shownBefore_)
        rescanDevices();
    shownBefore_ = true;
    for (const auto &pane : panes_)
        pane->showGroup(group);
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
    general_->rescanDevices();
}

void PreferencesController::showSetting(const QString &key)
{
    for (const auto &pane : panes_) {
        QWidget *control = pane->controlFor(key);
        if (!control)
            continue;
        for (int index = 0; index < preferencesTab->count(); ++index) {
            if (preferencesTab->widget(index)->isAncestorOf(control))
                selectPane(preferencesTab->widget(index)->objectName());
        }
        control->setFocus(Qt::OtherFocusReason);
    }
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
}

void PreferencesController::makePanes(const SerialPortScanner &scanner)
{
    auto general = std::make_unique<GeneralPane>(*ui_, store_, scanner);
    general_ = general.get();
    panes_.push_back(std::move(general));
    panes_.push_back(std::make_unique<KeyerPane>(*ui_, store_));
    panes_.push_back(std::make_unique<MessagePane>(*ui_, store_));
    panes_.push_back(std::make_unique<MacroPane>(*ui_, store_));
    panes_.push_back(std::make_unique<AdvancedPane>(*ui_, store_));
    panes_.push_back(std::make_unique<NetworkPane>(*ui_, store_));
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
