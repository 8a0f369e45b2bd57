#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QWidget;

// Says something to a screen reader without taking the keyboard focus from where the operator works.
// Qt 6.4 has no announcement event, so each announcement becomes the name of a small region of the window
// that then reports itself shown: a notification for what can wait its turn, an alert for what must be
// heard at once. Orca speaks a notification or an alert as it appears. A reader asks for the name only
// when it takes up the event, so announcements take turns among a few regions: one that follows at once
// does not rename the region of the one before it.
class Announcer : public QObject
{
    Q_OBJECT

public:
    enum class Urgency { Polite, Assertive };

    // The regions are made as children of host, which must be shown for them to be heard.
    explicit Announcer(QWidget *host);

    void announce(const QString &text, Urgency urgency = Urgency::Polite);

private:
    QList<QWidget *> polite_;
    QList<QWidget *> assertive_;
    int nextPolite_ = 0;
    int nextAssertive_ = 0;
};
