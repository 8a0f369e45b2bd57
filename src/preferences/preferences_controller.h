#pragma once

#include "keying/serial_port_scanner.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

namespace Ui {
class Preferences;
}

class GeneralPane;
class PreferencesPane;
class QAction;
class QActionGroup;
class QComboBox;
class QTabWidget;
class QToolBar;
class SettingsStore;
class WindowFrameKeeper;

// The six panes, each the identifier of its tab, of its toolbar item and the name of the item's image.
inline const QString GeneralIdentifier = QStringLiteral("PrefGeneral");
inline const QString KeyerIdentifier = QStringLiteral("PrefKeyer");
inline const QString MessageIdentifier = QStringLiteral("PrefMessage");
inline const QString MacroIdentifier = QStringLiteral("PrefMacro");
inline const QString AdvancedIdentifier = QStringLiteral("PrefAdvanced");
inline const QString NetworkIdentifier = QStringLiteral("PrefNetwork");

// The preferences window: six panes of controls bound to the settings, switched by a toolbar. Each pane is
// a class of its own that binds its controls; the window switches them. The serial ports are discovered
// when the window is made, each time it is shown again and on Rescan. Each pane scrolls when the window is
// smaller than it; Ctrl+Page Up/Down and Alt+1 to Alt+6 switch panes.
class PreferencesController : public QMainWindow
{
    Q_OBJECT

public:
    explicit PreferencesController(SettingsStore &store, QWidget *parent = nullptr,
                                   const SerialPortScanner &scanner = SerialPortScanner());
    ~PreferencesController() override;

    // Shows the window with the message and macro panes at the given group ("messageG3"), if any.
    void showWindow(const QString &group = {});
    // Shows the pane where the setting is made and focuses its control.
    void showSetting(const QString &key);

    // The toolbar's items in order; they are also all the items it allows and all selectable.
    static const QStringList &toolbarItemIdentifiers();
    // A new toolbar item for one of the six identifiers; nullptr for any other.
    QAction *toolbarItem(const QString &identifier);

    void showTab(QAction *item);
    void rescanDevices();

    // Where the window's position and size are kept.
    static inline const QString FrameKey = QStringLiteral("PreferencesWindowFrame");

protected:
    void changeEvent(QEvent *event) override;

private:
    void awakeFromNib();
    void makePanes(const SerialPortScanner &scanner);
    void followPalette();
    void buildToolbar();
    void selectPane(const QString &identifier);
    void selectNeighbourPane(int step);
    void makePanesScroll();
    void installPaneKeys();

    std::unique_ptr<Ui::Preferences> ui_;
    SettingsStore &store_;
    bool shownBefore_ = false;
    QToolBar *toolbar_ = nullptr;
    QActionGroup *toolbarGroup_ = nullptr;
    // The panes go before the form's controls that they bind.
    std::unique_ptr<WindowFrameKeeper> frame_;
    GeneralPane *general_ = nullptr;
    std::vector<std::unique_ptr<PreferencesPane>> panes_;

    // Outlets.
    QTabWidget *preferencesTab;
    QComboBox *devicePopUpButton;
};
