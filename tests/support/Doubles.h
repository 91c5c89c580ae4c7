#pragma once

#include "app/MainWindow.h"
#include "platform/Services.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <vector>

// Dialog answers given in advance; asking with none left, or leaving one unused, fails the test.
class ScriptedDialogs : public IDialogs {
public:
    struct Message {
        QString text, title;
        MessageIcon icon;
        MessageButtons buttons;
    };
    ~ScriptedDialogs() override;
    void answerInput(const QString& text) { inputs_.push_back(text); }
    void answerMessage(MessageAnswer a) { messageAnswers_.push_back(a); }
    void answerOpenFile(const QString& path) { files_.push_back(path); }

    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon, MessageButtons buttons) override;
    QString input(const QString& prompt, const QString& title, const QString& proposal) override;
    QString openFile(const QString& initialFolder, const QString& title, const QString& fileName,
                     const QString& filters) override;

    std::vector<Message> messages;
    QStringList prompts;        // "title|prompt|proposal"
    QStringList openFileCalls;  // "title|initialFolder|fileName|filters"

private:
    std::deque<QString> inputs_;
    std::deque<MessageAnswer> messageAnswers_;
    std::deque<QString> files_;
};

class RecordingLauncher : public IProcessLauncher {
public:
    struct Start {
        QString program;
        QStringList arguments;
        WindowStyle style;
    };
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) override;
    bool terminate(qint64 pid) override;
    bool isRunning(qint64 pid) const override;

    std::vector<Start> starts;
    std::vector<qint64> terminated;
    qint64 failWith = -1;  // set to 0 to make every start fail
};

class RecordingWindowHost : public IWindowHost {
public:
    // really runs what waits, as the window does, so re-entrancy shows in tests
    void processPendingEvents() override
    {
        ++pumps;
        QCoreApplication::processEvents();
    }
    void minimize() override { minimized = true; }
    void restoreAndActivate() override
    {
        minimized = false;
        ++activations;
    }
    bool isMinimized() const override { return minimized; }
    void setTopmost(bool on) override { topmost = on; }
    bool canStayOnTop() const override { return stayOnTop; }
    void quit() override { ++quits; }
    bool isMaximized() const override { return maximized; }
    void startSystemMove() override { ++moves; }
    void sendKeys(const QString& keys) override { typed << keys; }

    int moves = 0;
    bool maximized = false;
    bool stayOnTop = true;
    QStringList typed;
    int pumps = 0;
    int activations = 0;
    int quits = 0;
    bool minimized = false;
    bool topmost = false;
};

// Another instance runs or not, as the test says; requests to it are recorded.
class RecordingSingleInstance : public ISingleInstance {
public:
    bool anotherInstanceRunning() override { return other; }
    bool activateRunning(const QString& keys1, const QString& keys2) override
    {
        requests << keys1 + u'|' + keys2;
        return true;
    }
    void setActivationHandler(ActivationHandler h) override { handler = std::move(h); }

    bool other = false;
    QStringList requests;  // "keys1|keys2"
    ActivationHandler handler;
};

class FixedClock : public IClock {
public:
    QTime now() const override { return time; }
    QTime time{13, 14, 15};
};

// A main window whose program folder is a fresh temporary folder, with every service a double.
struct TestWindow {
    explicit TestWindow(const QString& commandLine = {}, const QString& folder = {});
    ~TestWindow();
    MainWindow& operator*() { return *window; }
    MainWindow* operator->() { return window.get(); }
    QString path(const QString& name) const { return folderPath + name; }
    // a second window on the same folder, as the next start of the program
    void restart(const QString& commandLine = {});

    std::unique_ptr<QTemporaryDir> dir;
    QString folderPath;  // with trailing '/'
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    RecordingWindowHost host;
    FixedClock clock;
    std::unique_ptr<MainWindow> window;

private:
    void create(const QString& commandLine);
};

QByteArray readAll(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// The notification area: records what is shown; click() plays a mouse event on the icon.
class RecordingTray : public ITrayIcon {
public:
    bool show(const QString& tip) override
    {
        if (!available)
            return false;
        shown = true;
        toolTip = tip;
        ++shows;
        return true;
    }
    void setToolTip(const QString& tip) override { toolTip = tip; }
    void hide() override { shown = false; }
    bool isShown() const override { return shown; }
    void setMouseHandler(std::function<void(int)> h) override { handler = std::move(h); }
    void click(int code)
    {
        if (handler)
            handler(code);
    }

    bool available = true;
    bool shown = false;
    int shows = 0;
    QString toolTip;
    std::function<void(int)> handler;
};
