#include "settings/setting_binding.h"

#include "settings/settings_keys.h"
#include "settings/settings_store.h"

SettingBinding::SettingBinding(QObject *control, SettingsStore &store, const QString &key,
                               const QVariant &placeholder, const char *propertyName)
    : QObject(control), control_(control), store_(store), key_(key), placeholder_(placeholder)
{
    const QMetaObject *meta = control->metaObject();
    property_ = propertyName ? meta->property(meta->indexOfProperty(propertyName)) : meta->userProperty();
    Q_ASSERT_X(property_.isValid(), "SettingBinding", "the control has no such property");
    applyRange();

    if (property_.hasNotifySignal()) {
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfMethod("storeFromControl()"));
        connect(control, property_.notifySignal(), this, slot);
    }
    connect(&store, &SettingsStore::changed, this, [this](const QString &changedKey) {
        if (changedKey == key_)
            refresh();
    });
    refresh();
}

// A number control offers exactly the declared range of its key, so that no window offers a value that
// another refuses or that the keying engine would not key with.
void SettingBinding::applyRange()
{
    const std::optional<SettingRange> range = settingRange(key_);
    const QMetaObject *meta = control_->metaObject();
    if (!range || meta->indexOfProperty("minimum") < 0 || meta->indexOfProperty("maximum") < 0)
        return;
    control_->setProperty("minimum", range->minimum);
    control_->setProperty("maximum", range->maximum);
}

void SettingBinding::setConverters(Converter fromStore, Converter toStore)
{
    fromStore_ = std::move(fromStore);
    toStore_ = std::move(toStore);
    refresh();
}

void SettingBinding::refresh()
{
    if (!control_)
        return;
    QVariant shown = store_.usableValue(key_);
    if (!shown.isValid())
        shown = placeholder_.isValid() ? placeholder_ : QVariant(property_.metaType());
    else if (fromStore_)
        shown = fromStore_(shown);
    if (control_->property(property_.name()) == shown)
        return;
    updating_ = true;
    property_.write(control_, shown);
    updating_ = false;
}

void SettingBinding::storeFromControl()
{
    if (updating_ || !control_)
        return;
    const QVariant edited = property_.read(control_);
    store_.setValue(key_, toStore_ ? toStore_(edited) : edited);
}

QVariant SettingBinding::readInteger(const QVariant &stored)
{
    return SettingValue::toInt(stored);
}

QVariant SettingBinding::readReal(const QVariant &stored)
{
    return SettingValue::toDouble(stored);
}

QVariant SettingBinding::readFlag(const QVariant &stored)
{
    return SettingValue::toBool(stored);
}

QVariant SettingBinding::readText(const QVariant &stored)
{
    return SettingValue::toText(stored);
}

QVariant SettingBinding::storeInteger(const QVariant &edited)
{
    return qint64(edited.toInt());
}

QVariant SettingBinding::storeTextOrAbsent(const QVariant &edited)
{
    const QString text = edited.toString();
    return text.isEmpty() ? QVariant() : QVariant(text);
}
