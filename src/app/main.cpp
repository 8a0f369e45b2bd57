#include "app/app_delegate.h"
#include "app/termination_watcher.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

// Without a display QApplication would abort with a message about platform plugins; say what is wrong.
bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char *argv[])
{
    if (!hasDisplay()) {
        std::fputs("keylark: no display found (DISPLAY is not set); Keylark needs a graphical desktop\n",
                   stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keylark"));
    QApplication::setStyle(QStringLiteral("Fusion"));

    QTranslator translator;
    if (translator.load(QStringLiteral(":/translations/keylark_en.qm")))
        QApplication::installTranslator(&translator);

    SettingsStore store(SettingsStore::defaultFilePath());
    store.registerDefaults(registeredDefaults());
    AppDelegate delegate(store);
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &app, &QApplication::quit);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);

    const int status = QApplication::exec();
    delegate.shutdown();
    return status;
}
