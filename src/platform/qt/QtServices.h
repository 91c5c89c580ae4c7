#pragma once

#include "platform/Services.h"

#include <QPointer>
#include <QWidget>

#include <map>
#include <memory>

class QtProcessLauncher : public IProcessLauncher {
public:
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) override;
    bool terminate(qint64 pid) override;
    bool isRunning(qint64 pid) const override;

private:
    // start time of each process we started, so a reused id is never mistaken for ours
    std::map<qint64, QByteArray> started_;
};

class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon, MessageButtons buttons) override;
    QString input(const QString& prompt, const QString& title, const QString& proposal) override;
    QString openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                     const QString& filters) override;

    // "Name|pattern|Name|pattern" as a Qt file-dialog filter
    static QString qtFilter(const QString& filters);

private:
    QPointer<QWidget> parent_;
};

class WindowMover;

class QtWindowHost : public IWindowHost {
public:
    QtWindowHost();
    ~QtWindowHost() override;
    void setWidget(QWidget* widget);
    void processPendingEvents() override;
    void minimize() override;
    void restoreAndActivate() override;
    bool isMinimized() const override;
    void setTopmost(bool on) override;
    bool canStayOnTop() const override;
    void quit() override;
    bool isMaximized() const override;
    void startSystemMove() override;
    void sendKeys(const QString& keys) override;

private:
    QPointer<QWidget> widget_;
    std::unique_ptr<WindowMover> mover_;
};

class SystemClock : public IClock {
public:
    QTime now() const override { return QTime::currentTime(); }
};
