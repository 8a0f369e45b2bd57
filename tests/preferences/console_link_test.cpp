#include "console/console_controller.h"
#include "preferences_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class ConsoleLinkTest : public PreferencesTest
{
protected:
    void SetUp() override
    {
        PreferencesTest::SetUp();
        delegate->applicationDidFinishLaunching();
        ASSERT_NE(delegate->consoleController(), nullptr);
    }

    template <typename Widget> Widget *consoleControl(const QString &name) const
    {
        Widget *widget = delegate->consoleController()->findChild<Widget *>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
};

TEST_F(ConsoleLinkTest, TransmitKeyBoxAppliesToTheOpenConsoleAtOnce)
{
    auto *lineIn = consoleControl<QLineEdit>(QStringLiteral("lineInOutlet"));
    lineIn->setText(QStringLiteral("test"));
    const auto pressReturn = [lineIn] { QTest::keyClick(lineIn, Qt::Key_Return); };
    pressReturn();
    ASSERT_EQ(keying_->sends, 0);
    open();

    auto *box = control<QCheckBox>(QStringLiteral("transmitKeyCheckBox"));
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(store->boolValue(KLKRransmitKeyEquivKey));
    pressReturn();
    EXPECT_EQ(keying_->sends, 1);

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(store->boolValue(KLKRransmitKeyEquivKey));
    pressReturn();
    EXPECT_EQ(keying_->sends, 1);
}

TEST_F(ConsoleLinkTest, LabelEditedRetitlesTheConsoleKeyAtOnce)
{
    auto *key7 = consoleControl<QAbstractButton>(QStringLiteral("functionKey7"));
    ASSERT_EQ(key7->text(), "F7");
    open();
    auto *label = control<QLineEdit>(QStringLiteral("labelEditF7"));
    label->setFocus();
    QTest::keyClicks(label, QStringLiteral("5NN"));
    EXPECT_EQ(key7->text(), "5NN");

    QTest::keyClick(label, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(label, Qt::Key_Delete);
    EXPECT_EQ(key7->text(), "F7");
}

TEST_F(PreferencesTest, TransmitKeyBoxWithoutConsoleOnlyStores)
{
    open();
    QTest::mouseClick(control<QCheckBox>(QStringLiteral("transmitKeyCheckBox")), Qt::LeftButton);
    EXPECT_EQ(store->persistentValue(KLKRransmitKeyEquivKey), QVariant(true));
}

} // namespace
