#pragma once

#include "keying/serial_port.h"
#include "keying/serial_port_scanner.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

namespace Ui {
class Preferences;
}

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QTabWidget;
class QToolBar;
class SettingBinding;
class SettingsStore;

// The six panes, each the identifier of its tab, of its toolbar item and the name of the item's image.
inline const QString GeneralIdentifier = QStringLiteral("PrefGeneral");
inline const QString KeyerIdentifier = QStringLiteral("PrefKeyer");
inline const QString MessageIdentifier = QStringLiteral("PrefMessage");
inline const QString MacroIdentifier = QStringLiteral("PrefMacro");
inline const QString AdvancedIdentifier = QStringLiteral("PrefAdvanced");
inline const QString NetworkIdentifier = QStringLiteral("PrefNetwork");

// The preferences window: six panes of controls bound to the settings, switched by a toolbar, and the
// serial device chooser. The serial ports are discovered when the window is made, each time it is shown
// again and on Rescan. Each pane scrolls when the window is smaller than it; Ctrl+Page Up/Down and Alt+1
// to Alt+6 switch panes.
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
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void awakeFromNib();
    void followPalette();
    void buildToolbar();
    void selectPane(const QString &identifier);
    void discoverDevices();
    void selectNeighbourPane(int step);
    void makePanesScroll();
    void installPaneKeys();
    void fillDevicePopUp();
    QString storedDeviceText(const QString &stored) const;
    void showDevicePath();
    void chooseDevice(int index);
    void bindGeneral();
    void bindKeyer();
    void bindMacros();
    void bindLines();
    void bindNetwork();
    void showNetworkWarning();
    void bindLog();
    void bindMessageGroup(int index);
    void bindMacroGroup(int index);
    void fillGroupSelectors();
    void showGroupNames();
    void showLineStates();
    void settingChanged(const QString &key);
    SettingBinding *bind(QObject *control, const QString &key, const QVariant &placeholder = {});
    SettingBinding *bindText(QObject *control, const QString &key);
    void saveFrame();

    std::unique_ptr<Ui::Preferences> ui_;
    SettingsStore &store_;
    SerialPortScanner scanner_;
    QList<SerialPort> ports_;
    bool shownBefore_ = false;
    QToolBar *toolbar_ = nullptr;
    QActionGroup *toolbarGroup_ = nullptr;
    std::vector<std::unique_ptr<SettingBinding>> messageGroupBindings_;
    std::vector<std::unique_ptr<SettingBinding>> macroGroupBindings_;

    // Outlets.
    QTabWidget *preferencesTab;
    QComboBox *devicePopUpButton;

    QStringList devices;
    QStringList serialDeviceArrayList;
};
