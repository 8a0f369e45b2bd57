#include "preferences_fixture.h"
#include "radio/rig_models.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <algorithm>

namespace {

struct OutputCase
{
    const char *name;
    const char *button; // clicked to choose the output
    QString stored;
    bool rigctld;
    QStringList usable;
    QStringList greyed;
};

void PrintTo(const OutputCase &row, std::ostream *out)
{
    *out << row.name;
}

class KeyingOutputTest : public PreferencesTest, public testing::WithParamInterface<OutputCase>
{
protected:
    void expectOffered(const OutputCase &c)
    {
        for (const QString &name : c.usable)
            EXPECT_TRUE(control<QWidget>(name)->isEnabled()) << name.toStdString();
        for (const QString &name : c.greyed) {
            const QWidget *widget = control<QWidget>(name);
            EXPECT_FALSE(widget->isEnabled()) << name.toStdString();
            // Why it is greyed out, ahead of what the control does.
            EXPECT_TRUE(widget->toolTip().startsWith(QStringLiteral("The ")) ||
                        widget->toolTip().startsWith(QStringLiteral("rigctld ")) ||
                        widget->toolTip().startsWith(QStringLiteral("Keylark ")))
                << name.toStdString() << ": " << widget->toolTip().toStdString();
        }
    }
};

// Chosen by a click, stored at once, and shown as stored when the window is made again; the controls of the
// other output, here and on the Keyer and Advanced panes, are greyed out.
TEST_P(KeyingOutputTest, ChoiceRoundTripsAndOffersWhatTheOutputCanDo)
{
    const OutputCase &c = GetParam();
    const QString other = c.stored == KLKRadioKeyerOutput ? KLKSerialLineOutput : KLKRadioKeyerOutput;
    store->setValue(KLKKeyingOutputKey, other);
    store->setValue(KLKRadioThroughRigctldKey, c.rigctld);
    open();
    control<QRadioButton>(c.button)->click();
    EXPECT_EQ(store->persistentValue(KLKKeyingOutputKey), QVariant(c.stored));
    expectOffered(c);

    preferences.reset();
    open();
    EXPECT_TRUE(control<QRadioButton>(c.button)->isChecked());
    expectOffered(c);
}

const QStringList lineControls = {"devicePopUpButton",        "openAtStartCheckBox", "serialDTRCheckBox",
                                  "serialRTSReverseCheckBox", "dahRatioSpinBox",     "wordRatioSpinBox"};
const QStringList everyOutput = {"wpmSpinBox", "sidetoneCheckBox", "beaconDelaySpinBox"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Outputs, KeyingOutputTest, testing::Values(
    OutputCase{"SerialLine", "serialLineRadioButton", KLKSerialLineOutput, false,
               lineControls + everyOutput,
               {"radioModelComboBox", "radioPortComboBox", "radioThroughRigctldCheckBox", "rigctldHostEdit"}},
    OutputCase{"RadioDirect", "radioKeyerRadioButton", KLKRadioKeyerOutput, false,
               everyOutput + QStringList{"radioModelComboBox", "radioPortComboBox", "radioRescanButton",
                                         "radioSerialSpeedComboBox", "radioThroughRigctldCheckBox"},
               lineControls + QStringList{"rigctldHostEdit", "rigctldPortSpinBox"}},
    OutputCase{"RadioThroughRigctld", "radioKeyerRadioButton", KLKRadioKeyerOutput, true,
               everyOutput + QStringList{"radioModelComboBox", "radioThroughRigctldCheckBox",
                                         "rigctldHostEdit", "rigctldPortSpinBox"},
               lineControls + QStringList{"radioPortComboBox", "radioSerialSpeedComboBox"}}),
    [](const testing::TestParamInfo<OutputCase> &info) { return std::string(info.param.name); });
// clang-format on

int modelNamed(const QString &name)
{
    const auto &models = RigModels::keyers();
    const auto found = std::find_if(models.begin(), models.end(),
                                    [&](const RigModel &model) { return model.displayName() == name; });
    return found == models.end() ? 0 : found->id;
}

void typeInto(QWidget *field, const QString &text)
{
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

// The model from Hamlib's list by typing part of its name, the port by its stable name, the speed from the
// list, rigctld's host and port: each reaches the store, and what is stored shows when the window is made.
TEST_F(PreferencesTest, RadioConnectionRoundTripsThroughTheSettings)
{
    const int ic7300 = modelNamed(QStringLiteral("Icom IC-7300"));
    ASSERT_NE(ic7300, 0) << "Hamlib lists no Icom IC-7300 that keys text";
    devices.addUsbAdapter(FtdiAdapter);
    store->setValue(KLKKeyingOutputKey, KLKRadioKeyerOutput);
    open();

    auto *model = control<QComboBox>(QStringLiteral("radioModelComboBox"));
    typeInto(model->lineEdit(), QStringLiteral("7300"));
    EXPECT_TRUE(model->completer()->popup()->isVisible());
    EXPECT_EQ(model->completer()->currentCompletion(), QStringLiteral("Icom IC-7300"));
    typeInto(model->lineEdit(), QStringLiteral("icom ic-7300"));
    QTest::keyClick(model->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(store->persistentValue(KLKRadioModelKey), QVariant(qint64(ic7300)));
    // Text that names no model gives the stored one back.
    typeInto(model->lineEdit(), QStringLiteral("no such radio"));
    QTest::keyClick(model->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(model->currentText(), QStringLiteral("Icom IC-7300"));
    EXPECT_EQ(store->intValue(KLKRadioModelKey), ic7300);

    const QString byId = QStringLiteral("/dev/serial/by-id/") + FtdiAdapter.byId;
    auto *port = control<QComboBox>(QStringLiteral("radioPortComboBox"));
    port->activated(port->findData(byId));
    auto *speed = control<QComboBox>(QStringLiteral("radioSerialSpeedComboBox"));
    speed->activated(speed->findData(38400));
    control<QCheckBox>(QStringLiteral("radioThroughRigctldCheckBox"))->click();
    typeInto(control<QLineEdit>(QStringLiteral("rigctldHostEdit")), QStringLiteral("shack-pi"));
    auto *rigctldPort = control<QSpinBox>(QStringLiteral("rigctldPortSpinBox"));
    typeInto(rigctldPort, QStringLiteral("4533"));
    QTest::keyClick(rigctldPort, Qt::Key_Return);
    EXPECT_EQ(store->stringValue(KLKRadioPortKey), byId);
    EXPECT_EQ(store->intValue(KLKRadioSerialSpeedKey), 38400);
    EXPECT_TRUE(store->boolValue(KLKRadioThroughRigctldKey));
    EXPECT_EQ(store->stringValue(KLKRigctldHostKey), QStringLiteral("shack-pi"));
    EXPECT_EQ(store->intValue(KLKRigctldPortKey), 4533);
    // The model's own speed and "none" give their keys back.
    speed->activated(speed->findData(0));
    model->activated(model->findData(0));
    EXPECT_FALSE(store->persistentValue(KLKRadioSerialSpeedKey).isValid());
    EXPECT_FALSE(store->persistentValue(KLKRadioModelKey).isValid());

    store->setValue(KLKRadioModelKey, qint64(ic7300));
    store->setValue(KLKRadioSerialSpeedKey, qint64(14400));
    preferences.reset();
    open();
    EXPECT_EQ(control<QComboBox>(QStringLiteral("radioModelComboBox"))->currentText(), "Icom IC-7300");
    EXPECT_EQ(control<QComboBox>(QStringLiteral("radioPortComboBox"))->currentData(), QVariant(byId));
    EXPECT_EQ(control<QComboBox>(QStringLiteral("radioSerialSpeedComboBox"))->currentData(), QVariant(14400));
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("rigctldHostEdit"))->text(), "shack-pi");
}

} // namespace
