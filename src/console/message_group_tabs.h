#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QLabel;
class QTabWidget;
class QWidget;
class SettingsStore;

// The console's eight message groups: a tab for each ("messageG1" to "messageG8") with a page that lists
// the twelve keys' labels and messages as stored, and the label of the group shown. The tabs and pages
// follow every change of the stored labels and messages.
class MessageGroupTabs : public QObject
{
    Q_OBJECT

public:
    MessageGroupTabs(QTabWidget &tabs, QLabel &groupLabel, SettingsStore &store, QObject *parent = nullptr);

    // The identifier of the group shown; the first group's when none is.
    QString selectedMessageGroup() const;
    QString groupAt(int index) const;
    // Shows the group whose number (1 to 8) is the sender's tag; any other tag changes nothing.
    void messageGroupChange(const QObject *sender);
    // Shows the stored label of the group, or its identifier while it has none.
    void setSelectedMessageGroup(const QString &group);
    void refreshMessagePages();
    // In the order Tab visits them: the tab bar, then each group's page.
    QList<QWidget *> focusChain() const;

private:
    void refreshMessagePage(int group);
    void settingChanged(const QString &key);

    QTabWidget &tabs_;
    QLabel &groupLabel_;
    SettingsStore &store_;
};
