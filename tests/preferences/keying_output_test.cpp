#include "preferences_fixture.h"
#include "radio/rig_models.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

namespace {

// Why a control is greyed out, as its tooltip begins.
const QStringList reasons = {
    "The radio's keyer keys the transmitter: no serial port's lines are keyed.",
    "The radio's keyer keys its own element and gap lengths.",
    "The keying interface on the serial port keys the transmitter, not the radio's keyer.",
    "rigctld holds the radio's port and sets its speed.",
    "Keylark opens the radio's port itself, without rigctld.",
    "The WinKeyer keys the transmitter: no serial port's lines are keyed.",
    "The WinKeyer spaces letters and words itself.",
    "The WinKeyer keys the transmitter, not the radio's keyer.",
    "The keying interface on the serial port keys the transmitter, not a WinKeyer.",
    "The radio's keyer keys the transmitter, not a WinKeyer.",
    "The radio switches itself to transmit (its own break-in, set on the radio).",
    "The WinKeyer switches PTT itself, by its own lead and tail; Keylark does not set them yet.",
    "The radio's keyer keys the transmitter: there is no WinKeyer's speed knob to follow.",
    "The keying interface on the serial port keys the transmitter: there is no WinKeyer's speed knob to "
    "follow."};

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
            EXPECT_TRUE(reasons.contains(widget->toolTip().section(QStringLiteral("\n\n"), 0, 0)))
                << name.toStdString() << ": " << widget->toolTip().toStdString();
        }
    }
};

// Chosen by a click, stored at once and shown as stored when the window is made again; the controls of the
// other output, here and on the Keyer and Advanced panes, are greyed out and say why.
TEST_P(KeyingOutputTest, ChoiceRoundTripsAndOffersWhatTheOutputCanDo)
{
    const OutputCase &c = GetParam();
    store->setValue(KLKKeyingOutputKey,
                    c.stored == KLKRadioKeyerOutput ? KLKSerialLineOutput : KLKRadioKeyerOutput);
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

const QStringList lineOnly = {"devicePopUpButton", "openAtStartCheckBox", "serialDTRCheckBox",
                              "dahRatioSpinBox",   "wordRatioSpinBox",    "pttLeadSpinBox"};
const QStringList everyOutput = {"wpmSpinBox", "sidetoneCheckBox", "beaconDelaySpinBox"};
const QStringList radioPort = {"radioPortComboBox", "radioRescanButton", "radioSerialSpeedComboBox"};
const QStringList rigctld = {"rigctldHostEdit", "rigctldPortSpinBox"};
const QStringList winKeyerPort = {"winKeyerPortComboBox", "winKeyerRescanButton", "winKeyerKnobCheckBox"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Outputs, KeyingOutputTest, testing::Values(
    OutputCase{"SerialLine", "serialLineRadioButton", KLKSerialLineOutput, false, lineOnly + everyOutput,
               radioPort + rigctld + winKeyerPort + QStringList{"radioModelComboBox", "radioThroughRigctldCheckBox"}},
    OutputCase{"RadioDirect", "radioKeyerRadioButton", KLKRadioKeyerOutput, false,
               everyOutput + radioPort + QStringList{"radioModelComboBox"}, lineOnly + rigctld + winKeyerPort},
    OutputCase{"RadioThroughRigctld", "radioKeyerRadioButton", KLKRadioKeyerOutput, true,
               everyOutput + rigctld + QStringList{"radioModelComboBox"}, lineOnly + radioPort},
    OutputCase{"WinKeyer", "winKeyerRadioButton", KLKWinKeyerOutput, false,
               everyOutput + winKeyerPort + QStringList{"dahRatioSpinBox"},
               radioPort + QStringList{"devicePopUpButton", "serialDTRCheckBox", "wordRatioSpinBox", "pttLeadSpinBox"}}),
    [](const testing::TestParamInfo<OutputCase> &info) { return std::string(info.param.name); });
// clang-format on

// The model by typing part of its name, the port by its stable name, the speed: each is stored, text that
// names no model gives the stored one back, and what is stored shows when the window is made again.
TEST_F(PreferencesTest, RadioConnectionRoundTripsThroughTheSettings)
{
    const auto ic7300 = std::find_if(RigModels::keyers().begin(), RigModels::keyers().end(),
                                     [](const RigModel &model) { return model.name == "IC-7300"; });
    ASSERT_NE(ic7300, RigModels::keyers().end());
    devices.addUsbAdapter(FtdiAdapter);
    const QString byId = QStringLiteral("/dev/serial/by-id/") + FtdiAdapter.byId;
    store->setValue(KLKKeyingOutputKey, KLKRadioKeyerOutput);
    open();

    auto *model = control<QComboBox>(QStringLiteral("radioModelComboBox"));
    model->lineEdit()->setFocus();
    QTest::keyClick(model->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(model->lineEdit(), QStringLiteral("7300"));
    EXPECT_TRUE(model->completer()->popup()->isVisible());
    EXPECT_EQ(model->completer()->currentCompletion(), QStringLiteral("Icom IC-7300"));
    for (const QString &typed : {QStringLiteral("icom ic-7300"), QStringLiteral("no such radio")}) {
        QTest::keyClick(model->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(model->lineEdit(), typed);
        QTest::keyClick(model->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(store->persistentValue(KLKRadioModelKey), QVariant(qint64(ic7300->id)));
        EXPECT_EQ(model->currentText(), QStringLiteral("Icom IC-7300"));
    }
    auto *port = control<QComboBox>(QStringLiteral("radioPortComboBox"));
    emit port->activated(port->findData(byId));
    auto *speed = control<QComboBox>(QStringLiteral("radioSerialSpeedComboBox"));
    emit speed->activated(speed->findData(38400));
    EXPECT_EQ(store->stringValue(KLKRadioPortKey), byId);
    EXPECT_EQ(store->intValue(KLKRadioSerialSpeedKey), 38400);
    // The model's own speed and "none" give their keys back.
    emit speed->activated(speed->findData(0));
    emit model->activated(model->findData(0));
    EXPECT_FALSE(store->persistentValue(KLKRadioSerialSpeedKey).isValid());
    EXPECT_FALSE(store->persistentValue(KLKRadioModelKey).isValid());

    store->setValue(KLKRadioModelKey, qint64(ic7300->id));
    store->setValue(KLKRadioSerialSpeedKey, qint64(14400)); // set by hand, not in the list
    preferences.reset();
    open();
    EXPECT_EQ(control<QComboBox>(QStringLiteral("radioModelComboBox"))->currentText(), "Icom IC-7300");
    EXPECT_EQ(control<QComboBox>(QStringLiteral("radioPortComboBox"))->currentData(), QVariant(byId));
    EXPECT_EQ(control<QComboBox>(QStringLiteral("radioSerialSpeedComboBox"))->currentData(), QVariant(14400));
}

} // namespace
