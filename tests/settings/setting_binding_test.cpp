#include "settings/setting_binding.h"
#include "settings/settings_store.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A stand-in for a control: one user property with a change signal, as a spin box has.
class FakeControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int value READ value WRITE setValue NOTIFY valueChanged USER true)
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    int value() const { return value_; }
    void setValue(int value)
    {
        if (value == value_)
            return;
        value_ = value;
        emit valueChanged(value);
    }
    QString title() const { return title_; }
    void setTitle(const QString &title) { title_ = title; }

signals:
    void valueChanged(int);

private:
    int value_ = -1;
    QString title_;
};

class SettingBindingTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.json"))};
    FakeControl control;
};

TEST_F(SettingBindingTest, ShowsTheStoredValueAndWritesEditsBack)
{
    store.setValue(QStringLiteral("wpm"), 18);
    new SettingBinding(&control, store, QStringLiteral("wpm"));
    EXPECT_EQ(control.value(), 18);

    control.setValue(22);
    EXPECT_EQ(store.value(QStringLiteral("wpm")), QVariant(qint64(22)));
}

TEST_F(SettingBindingTest, FollowsChangesMadeElsewhere)
{
    new SettingBinding(&control, store, QStringLiteral("wpm"));
    store.setValue(QStringLiteral("wpm"), 30.0);
    EXPECT_EQ(control.value(), 30);
    EXPECT_EQ(store.value(QStringLiteral("wpm")).metaType().id(), QMetaType::Double); // not rewritten
}

TEST_F(SettingBindingTest, ShowsThePlaceholderWhileTheKeyHasNoValue)
{
    new SettingBinding(&control, store, QStringLiteral("messageG2LabelF7"), QStringLiteral("F7"), "title");
    EXPECT_EQ(control.title(), QStringLiteral("F7"));
    store.setValue(QStringLiteral("messageG2LabelF7"), QStringLiteral("CQ"));
    EXPECT_EQ(control.title(), QStringLiteral("CQ"));
    store.remove(QStringLiteral("messageG2LabelF7"));
    EXPECT_EQ(control.title(), QStringLiteral("F7"));
    EXPECT_FALSE(store.contains(QStringLiteral("messageG2LabelF7"))); // showing did not store it
}

TEST_F(SettingBindingTest, ConvertersTranslateBothWays)
{
    auto *binding = new SettingBinding(&control, store, QStringLiteral("beaconDelay"));
    binding->setConverters([](const QVariant &v) { return QVariant(v.toInt() / 60); },
                           [](const QVariant &v) { return QVariant(v.toInt() * 60); });
    control.setValue(2);
    EXPECT_EQ(store.intValue(QStringLiteral("beaconDelay")), 120);
    store.setValue(QStringLiteral("beaconDelay"), 300);
    EXPECT_EQ(control.value(), 5);
}

TEST_F(SettingBindingTest, AHugeStoredTextIsShownCutAndKeptWhole)
{
    const QString huge(1'000'000, u'E');
    store.setValue(QStringLiteral("messageG1F1"), huge);
    new SettingBinding(&control, store, QStringLiteral("messageG1F1"), {}, "title");
    EXPECT_EQ(control.title(), huge.left(SettingsStore::usableTextLength));
    EXPECT_EQ(store.value(QStringLiteral("messageG1F1")).toString(), huge);
}

} // namespace

#include "setting_binding_test.moc"
