#include "preferences/preferences_controller.h"

PreferencesController::PreferencesController(SettingsStore &, AppDelegate &, QWidget *parent)
    : QMainWindow(parent)
{
}

void PreferencesController::showWindow()
{
    show();
    raise();
    activateWindow();
}
