#pragma once

#include <QMainWindow>

class AppDelegate;
class SettingsStore;

// Placeholder until the preferences window lands; the constructor and showWindow() are the agreed interface.
class PreferencesController : public QMainWindow
{
    Q_OBJECT

public:
    PreferencesController(SettingsStore &store, AppDelegate &delegate, QWidget *parent = nullptr);
    void showWindow();
};
