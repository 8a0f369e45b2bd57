#include "app/app_delegate.h"

#include "app/application_keys.h"
#include "compose/keyer.h"
#include "console/console_controller.h"
#include "console/console_log_relay.h"
#include "console/keyer_commands.h"
#include "keying/diagnostics.h"
#include "keying/queued_keying.h"
#include "keying/serial_controller.h"
#include "network/network_keying_service.h"
#include "preferences/preferences_controller.h"
#include "radio/hamlib_rig.h"
#include "radio/radio_output.h"
#include "record/sent_record.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "sidetone/pulse_output.h"
#include "sidetone/sidetone.h"
#include "winkeyer/winkeyer_output.h"

#include <QApplication>

AppDelegate::AppDelegate(SettingsStore &store, KeyingFactory keyingFactory, AudioFactory audioFactory,
                         QObject *parent)
    : QObject(parent), store_(store),
      keyingFactory_(keyingFactory ? std::move(keyingFactory) : KeyingFactory(&makeKeyingController)),
      audioFactory_(audioFactory ? std::move(audioFactory)
                                 : AudioFactory([] { return std::make_unique<PulseOutput>(); })),
      statusReport_(store)
{
    initMessage();
    connect(
        &store_, &SettingsStore::notice, this, [](const QString &line) { Diagnostics::out(line); },
        Qt::DirectConnection);
    // The settings file was read before the status report followed Keylark's lines.
    if (!store_.loadProblem().isEmpty())
        statusReport_.report(Diagnostic::informationLine(store_.loadProblem()));
}

AppDelegate::~AppDelegate()
{
    shutdown();
}

// The radio and the WinKeyer have a sidetone of their own: Keylark's is off unless the operator turned it on.
std::unique_ptr<KeyingController> AppDelegate::makeKeyingController(SettingsStore &store,
                                                                    ConsoleLookup console)
{
    const QString output = store.stringValue(KLKKeyingOutputKey);
    if (output == KLKRadioKeyerOutput || output == KLKWinKeyerOutput) {
        QVariantHash defaults = registeredDefaults();
        defaults.insert(KLKSidetoneKey, false);
        store.registerDefaults(defaults);
        auto transmission = std::make_unique<Transmission>(store, std::move(console));
        if (output == KLKWinKeyerOutput) {
            transmission->attach(
                std::make_unique<WinKeyerOutput>(store, WinkeyerTiming{}, transmission->elementTimeline()));
            return transmission;
        }
        HamlibRig::setDebugOutput(qEnvironmentVariableIsSet("KEYLARK_HAMLIB_DEBUG"));
        transmission->attach(
            std::make_unique<RadioOutput>(store, transmission->clock(), *transmission->elementTimeline()));
        return transmission;
    }
    if (output != KLKSerialLineOutput)
        Diagnostics::out(
            QStringLiteral("#.. Keylark : \"%1\" \"%2\" is neither \"%3\", \"%4\" nor \"%5\"; keying the "
                           "serial line.")
                .arg(KLKKeyingOutputKey, output, KLKSerialLineOutput, KLKRadioKeyerOutput,
                     KLKWinKeyerOutput));
    return std::make_unique<SerialController>(store, std::move(console));
}

void AppDelegate::initMessage()
{
    // Placeholders only: the console shows the stored labels and messages, never this model.
    for (int group = 1; group <= GROUPCOUNT; ++group) {
        GroupRecord record{QStringLiteral("G%1").arg(group), {}};
        for (int key = 1; key <= FUNCTIONCOUNT; ++key)
            record.function.append({QStringLiteral("F%1").arg(key), QStringLiteral("messageF%1").arg(key)});
        messageGroup_.append(record);
    }
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (serialController_)
        return;
    // Each object asks for the one made just before it, so this order is fixed.
    serialController_ = keyingFactory_(store_, [this]() -> ConsoleLog * {
        ConsoleController *console = consoleController_.load();
        return console ? &console->logRelay() : nullptr;
    });
    ElementTimeline *timeline = serialController_->elementTimeline();
    if (std::unique_ptr<AudioOutput> output = timeline ? audioFactory_() : nullptr)
        sidetone_ = std::make_unique<Sidetone>(*timeline, store_, std::move(output));
    sentRecord_ = std::make_unique<SentRecord>(store_);
    serialController_->setTransmissionListener(sentRecord_.get());
    keyer_ = std::make_unique<Keyer>(store_, *serialController_);
    keyerCommands_ = std::make_unique<KeyerCommands>(*keyer_, store_);
    startNetworkKeying();
    applicationKeys_ =
        std::make_unique<ApplicationKeys>(*keyerCommands_, [this] { return consoleController_.load(); });
    qApp->installEventFilter(applicationKeys_.get());
    openConsole();
}

void AppDelegate::startNetworkKeying()
{
    QueuedKeying *queued = serialController_->queuedKeying();
    if (!queued)
        return;
    networkKeying_ = std::make_unique<NetworkKeyingService>(store_, *queued);
    const auto showState = [this] { statusReport_.setNetworkState(networkKeying_->stateText()); };
    connect(networkKeying_.get(), &NetworkKeyingService::stateChanged, this, showState);
    showState();
}

void AppDelegate::openConsole()
{
    if (!keyer_)
        return;
    if (!console_) {
        console_ = std::make_unique<ConsoleController>(store_, *keyer_, *keyerCommands_, statusReport_);
        consoleController_ = console_.get();
        connect(console_.get(), &ConsoleController::closed, qApp, &QCoreApplication::quit,
                Qt::QueuedConnection);
        connect(console_.get(), &ConsoleController::preferencesRequested, this,
                &AppDelegate::showPreferencesFor);
    }
    console_->showWindow();
}

void AppDelegate::showPreferences()
{
    if (!preferencesController_)
        preferencesController_ = std::make_unique<PreferencesController>(store_);
    preferencesController_->showWindow(console_ ? console_->selectedMessageGroup() : QString());
}

void AppDelegate::showPreferencesFor(const QString &key)
{
    showPreferences();
    preferencesController_->showSetting(key);
}

void AppDelegate::shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    applicationKeys_.reset();
    // The keying controller goes first: its destructor stops and joins the worker and leaves the line
    // key-up, so no worker can reach the keyer or the console after this.
    if (serialController_)
        serialController_->cwSendStop();
    networkKeying_.reset();
    // They follow the controller's timeline.
    sidetone_.reset();
    if (console_)
        console_->stopFollowingKeying();
    serialController_.reset();
    sentRecord_.reset();
    keyer_.reset();
    consoleController_ = nullptr;
    console_.reset();
    keyerCommands_.reset();
    preferencesController_.reset();
    store_.flush();
}
