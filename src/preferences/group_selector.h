#pragma once

#include <QObject>
#include <QString>

class QComboBox;
class SettingsStore;

// A choice of the eight message groups, each named by its number and stored label ("3 · Contest"), the
// names following every change of a label. It reports the group chosen.
class GroupSelector : public QObject
{
    Q_OBJECT

public:
    GroupSelector(QComboBox &box, SettingsStore &store, QObject *parent = nullptr);

    QString selectedGroup() const; // "messageG1" to "messageG8"
    // Chooses the group ("messageG3"); an identifier of none changes nothing.
    void select(const QString &group);

signals:
    void chosen(const QString &group);

private:
    void showNames();

    QComboBox &box_;
    SettingsStore &store_;
};
