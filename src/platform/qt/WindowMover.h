#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

// Moves the window while a mouse button is held. The window system's own move starts once the
// pointer has really moved, so a plain click or double-click still reaches the control below;
// where the window system offers no move, the window follows the pointer itself.
class WindowMover : public QObject {
public:
    // watches the application's mouse events for this window
    explicit WindowMover(QWidget& window);
    ~WindowMover() override;
    // The button held down now moves the window from here on.
    void arm();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> widget_;
    bool pressed_ = false;
    bool armed_ = false;
    bool following_ = false;
    QPoint pressAt_;
    QPoint origin_;
    QPoint windowAt_;
};
