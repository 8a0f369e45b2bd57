#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

class QWidget;
class SettingBinding;
class SettingsStore;

// One pane of the preferences: it binds its controls to their settings, so that an edit is stored at once
// and a change made elsewhere shows, and keeps what it derives from the settings (notes, the picture of
// the lines) up to date. A new control of a pane is bound in that pane's constructor.
class PreferencesPane : public QObject
{
    Q_OBJECT

public:
    explicit PreferencesPane(SettingsStore &store, QObject *parent = nullptr);

    // The control where key is set, when it is on this pane.
    virtual QWidget *controlFor(const QString &key) const;
    // The window is shown for a message group ("messageG3"); a pane that edits one group shows it.
    virtual void showGroup(const QString &group);

protected:
    // Binds the control's value, or the named property; the binding goes with the control.
    SettingBinding *bindSetting(QObject *control, const QString &key, const QVariant &placeholder = {},
                                const char *propertyName = nullptr);
    // A text field whose emptied text gives its key back.
    SettingBinding *bindText(QObject *control, const QString &key);

    SettingsStore &store_;
};
