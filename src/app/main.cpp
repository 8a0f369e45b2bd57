#include "app/app_delegate.h"
#include "app/command_line.h"
#include "app/termination_watcher.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {

// Without a display QApplication would abort with a message about platform plugins; say what is wrong.
bool hasDisplay(const CommandLine::Result &options)
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || options.platformGiven;
}

CommandLine::Result readCommandLine(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);
    return CommandLine(QStringLiteral(KEYLARK_VERSION)).parse(arguments);
}

// Prints the help, the version or what is wrong; returns the exit status.
int answer(const CommandLine::Result &options)
{
    const bool failed = options.action == CommandLine::Action::Fail;
    std::fputs(options.text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return failed ? CommandLine::usageError : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const CommandLine::Result options = readCommandLine(argc, argv);
    if (options.action != CommandLine::Action::Run)
        return answer(options);
    if (!hasDisplay(options)) {
        std::fputs("keylark: no display found (DISPLAY is not set); Keylark needs a graphical desktop\n",
                   stderr);
        return 1;
    }
    Q_INIT_RESOURCE(keylark);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keylark"));
    QApplication::setApplicationVersion(QStringLiteral(KEYLARK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.keylark.Keylark"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/keylark.svg")));
    QApplication::setStyle(QStringLiteral("Fusion"));

    QTranslator translator;
    if (translator.load(QStringLiteral(":/translations/keylark_en.qm")))
        QApplication::installTranslator(&translator);

    SettingsStore store(options.settingsPath.isEmpty() ? SettingsStore::defaultFilePath()
                                                       : options.settingsPath);
    store.registerDefaults(registeredDefaults());
    if (options.practice)
        store.setValue(KLKPracticeModeKey, true);
    AppDelegate delegate(store);
    TerminationWatcher termination;
    QObject::connect(&termination, &TerminationWatcher::terminationRequested, &app, &QApplication::quit);
    QTimer::singleShot(0, &delegate, &AppDelegate::applicationDidFinishLaunching);

    const int status = QApplication::exec();
    delegate.shutdown();
    return status;
}
