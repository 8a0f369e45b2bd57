#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Keeps a window's position and size from one start to the next, as text (its saved geometry in base64)
// that load and save read and write wherever the window keeps it. Once the window is shown the frame is
// saved half a second after the last move or resize, so that a drag is saved once and a frame survives an
// end without a close; a close, and the keeper's end, save at once what is still waiting.
class WindowFrameKeeper : public QObject
{
    Q_OBJECT

public:
    using Load = std::function<QString()>;
    using Save = std::function<void(const QString &frame)>;

    WindowFrameKeeper(QWidget &window, Load load, Save save);
    ~WindowFrameKeeper() override;

    // Puts the window where it was; false when nothing usable was kept.
    bool restore();
    void save();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget &window_;
    Load load_;
    Save save_;
    QTimer pending_;
};
