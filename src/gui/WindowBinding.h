#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <map>

class Control;
class QDropEvent;
class QKeyEvent;
class QMouseEvent;
class MainWindow;
class TimerDriver;

// Builds real widgets from the window model in the frame it is given, keeps them in step with
// the model, and hands the user's actions back to the model's event procedures. The frame is made
// first: the window system's services stand in front of it before the model exists.
class WindowBinding : public QObject {
    Q_OBJECT
public:
    WindowBinding(MainWindow& model, QWidget& frame, QObject* parent = nullptr);
    ~WindowBinding() override;

    QWidget* window() const { return &frame_; }
    QWidget* widgetFor(const QString& name) const;
    QWidget* widgetFor(const Control* control) const;
    // Starts the timers; call after Form_Load.
    void start();

    static int toPixels(int twips) { return int(twips / 15.0 + (twips >= 0 ? 0.5 : -0.5)); }
    static int toTwips(int pixels) { return pixels * 15; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Drops down the field's items where it has any.
    bool offer(Control* c, QWidget* w);
    QWidget* create(Control* c, QWidget* parent);
    QWidget* createInput(Control* c, QWidget* parent);
    QWidget* createList(Control* c, QWidget* parent);
    void sync(Control* c, int property);
    void syncText(Control* c, QWidget* w);
    void syncGeometry(Control* c, QWidget* w);
    void syncColors(Control* c, QWidget* w);
    void syncFont(Control* c, QWidget* w);
    void drop(Control* c, QDropEvent* e);
    bool press(Control* c, QWidget* watched, QMouseEvent* e);
    bool key(Control* c, QWidget* watched, QKeyEvent* e);
    void setUpKeyboard();
    void syncAll(Control* c);
    Control* controlOf(QObject* o) const;

    MainWindow& model_;
    QWidget& frame_;
    std::map<const Control*, QPointer<QWidget>> widgets_;
    std::map<QObject*, Control*> controls_;
    TimerDriver* timers_ = nullptr;
    bool syncing_ = false;
};
