#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>

class QLabel;

// The console's clock: the local time and UTC, and the date where there is room, refreshed twice a
// second while its timer flag is set (from the start on).
class ConsoleClock : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QDateTime dateJST READ dateJST WRITE setDateJST NOTIFY dateJSTChanged)

public:
    explicit ConsoleClock(QLabel &label, QObject *parent = nullptr);

    // One tick: the clock takes the time now, unless the timer flag is cleared.
    void timerStatus();
    void timerStart() { timerFlag_ = true; }
    void timerStop() { timerFlag_ = false; }
    bool timerFlag() const { return timerFlag_; }

    void dateUpdate();
    QDateTime dateJST() const { return dateJST_; }
    void setDateJST(const QDateTime &date);

signals:
    void dateJSTChanged(const QDateTime &date);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show();

    QLabel &label_;
    QDateTime dateJST_;
    bool timerFlag_ = true;
    QTimer timer_;
};
