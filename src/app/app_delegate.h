#pragma once

#include "keying/console_log.h"
#include "status/status_report.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class ApplicationKeys;
class AudioOutput;
class ConsoleController;
class KeyingController;
class Keyer;
class KeyerCommands;
class NetworkKeyingService;
class PreferencesController;
class SentRecord;
class SettingsStore;
class Sidetone;

// The one object through which Keylark's parts find each other. It creates the keying controller, the
// keyer and the console in a fixed order when launching finishes, opens the windows, and tears everything
// down in order: the worker is stopped and joined before anything it could call goes.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    struct FunctionRecord
    {
        QString label;
        QString message;
    };
    struct GroupRecord
    {
        QString label;
        QList<FunctionRecord> function;
    };

    // Makes the keying controller at launch; tests hand in a double, the program the transmission with the
    // output the settings choose (makeKeyingController).
    using KeyingFactory = std::function<std::unique_ptr<KeyingController>(SettingsStore &, ConsoleLookup)>;

    // Makes the sidetone's sound output; the program's plays through the sound server, a test's may give
    // none, and then there is no sidetone.
    using AudioFactory = std::function<std::unique_ptr<AudioOutput>()>;

    explicit AppDelegate(SettingsStore &store, KeyingFactory keyingFactory = {},
                         AudioFactory audioFactory = {}, QObject *parent = nullptr);
    ~AppDelegate() override;

    // The transmission, keying the serial line, the radio's keyer or a WinKeyer as "keyingOutput" says at
    // start.
    static std::unique_ptr<KeyingController> makeKeyingController(SettingsStore &store,
                                                                  ConsoleLookup console);

    void applicationDidFinishLaunching();
    void openConsole();
    void showPreferences();
    // Shows the preferences at the pane where the setting is made, with its control focused; an empty key
    // names none.
    void showPreferencesFor(const QString &key);
    void shutdown();

    KeyingController *serialController() const { return serialController_.get(); }
    Keyer *keyer() const { return keyer_.get(); }
    StatusReport &statusReport() { return statusReport_; }
    ConsoleController *consoleController() const { return consoleController_.load(); }
    PreferencesController *preferencesController() const { return preferencesController_.get(); }
    NetworkKeyingService *networkKeying() const { return networkKeying_.get(); }
    SentRecord *sentRecord() const { return sentRecord_.get(); }
    const QList<GroupRecord> &messageGroup() const { return messageGroup_; }

private:
    void initMessage();
    void startNetworkKeying();

    SettingsStore &store_;
    KeyingFactory keyingFactory_;
    AudioFactory audioFactory_;
    // Made before the keying controller, so that it sees the lines of its start-up.
    StatusReport statusReport_;
    std::unique_ptr<ApplicationKeys> applicationKeys_;
    // Hears every pass the keying controller keys, so it outlives it.
    std::unique_ptr<SentRecord> sentRecord_;
    std::unique_ptr<KeyingController> serialController_;
    std::unique_ptr<Sidetone> sidetone_;
    std::unique_ptr<Keyer> keyer_;
    // What the console's buttons and the keys of every window ask of the keyer.
    std::unique_ptr<KeyerCommands> keyerCommands_;
    // Feeds the keying controller, so it goes before the controller and is made after it.
    std::unique_ptr<NetworkKeyingService> networkKeying_;
    std::unique_ptr<ConsoleController> console_;
    // Read by the transmission worker through the console lookup, hence atomic.
    std::atomic<ConsoleController *> consoleController_ = nullptr;
    std::unique_ptr<PreferencesController> preferencesController_;
    QList<GroupRecord> messageGroup_;
    bool shutDown_ = false;
};
