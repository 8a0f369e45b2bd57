#pragma once

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

namespace Ui {
class Console;
}

class QWidget;
class SettingBinding;
class SettingsStore;

// The console's keyer panel, shown and hidden beside the log: speed, the three timing ratios, the beacon's
// pause and the sidetone, each written to its setting as the operator commits it and following changes
// made elsewhere.
class KeyerPanel : public QObject
{
    Q_OBJECT

public:
    KeyerPanel(Ui::Console &ui, SettingsStore &store, QObject *parent = nullptr);
    ~KeyerPanel() override;

    void toggle();
    // The panel's fields in the order Tab visits them.
    QList<QWidget *> focusChain() const;

private:
    Ui::Console &ui_;
    std::vector<std::unique_ptr<SettingBinding>> bindings_;
};
