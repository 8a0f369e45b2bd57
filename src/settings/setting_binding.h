#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>

class SettingsStore;

// Ties one property of a control (by default its user property, e.g. a spin box's value) to a settings key
// both ways: the control shows the stored value, follows changes made elsewhere, and writes the operator's
// edits back. While the key has no value the control shows the placeholder. A control with a minimum and a
// maximum (a spin box) is given the key's declared range.
class SettingBinding : public QObject
{
    Q_OBJECT

public:
    using Converter = std::function<QVariant(const QVariant &)>;

    SettingBinding(QObject *control, SettingsStore &store, const QString &key,
                   const QVariant &placeholder = {}, const char *propertyName = nullptr);

    // Optional conversions between the stored value and the property's value; an empty toStore stores
    // the property's value as it is.
    void setConverters(Converter fromStore, Converter toStore = {});

    // Conversions for number, check-box and text controls: a stored value read by Keylark's conversion
    // rules, and an edited number stored as an integer.
    static QVariant readInteger(const QVariant &stored);
    static QVariant readReal(const QVariant &stored);
    static QVariant readFlag(const QVariant &stored);
    static QVariant readText(const QVariant &stored);
    static QVariant storeInteger(const QVariant &edited);
    // An emptied field gives its key back, so a label shows its default again and a macro is gone.
    static QVariant storeTextOrAbsent(const QVariant &edited);
    void refresh();

private slots:
    void storeFromControl();

private:
    void applyRange();

    QPointer<QObject> control_;
    SettingsStore &store_;
    QString key_;
    QVariant placeholder_;
    QMetaProperty property_;
    Converter fromStore_;
    Converter toStore_;
    bool updating_ = false;
};
