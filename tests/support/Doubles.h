#pragma once

#include "app/MainWindow.h"
#include "platform/IClock.h"
#include "platform/IDialogs.h"
#include "platform/IEventPump.h"
#include "platform/ILinkSocketFactory.h"
#include "platform/IProcessLauncher.h"
#include "platform/IProgressDialog.h"
#include "platform/IServiceDiscovery.h"
#include "platform/ISingleInstance.h"
#include "platform/ITrayIcon.h"
#include "platform/IWindowHost.h"

// what nearly every test uses
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <memory>
#include <set>
#include <vector>

// Dialog answers given in advance; asking with none left, or leaving one unused, fails the test.
class ScriptedDialogs : public IDialogs {
public:
    struct Message {
        QString text, title;
        MessageIcon icon;
        MessageButtons buttons;
    };
    ~ScriptedDialogs() override
    {
        if (!inputs_.empty() || !answers_.empty() || !files_.empty())
            QTest::qFail("a scripted dialog answer was left unused", __FILE__, __LINE__);
    }
    void answerInput(const QString& text) { inputs_.push_back(text); }
    void answerMessage(MessageAnswer a) { answers_.push_back(a); }
    void answerOpenFile(const QString& path) { files_.push_back(path); }

    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon, MessageButtons buttons) override
    {
        messages.push_back({text, title, icon, buttons});
        if (buttons == MessageButtons::Ok && answers_.empty())
            return MessageAnswer::Ok;  // an OK box needs no scripted answer
        return next(answers_, "question: " + text, MessageAnswer::No);
    }
    QString input(const QString& prompt, const QString& title, const QString& proposal) override
    {
        prompts << title + u'|' + prompt + u'|' + proposal;
        return next(inputs_, "input dialog: " + prompt, QString());
    }
    QString openFile(const QString& folder, const QString& title, const QString& name, const QString& filters) override
    {
        openFileCalls << title + u'|' + folder + u'|' + name + u'|' + filters;
        return next(files_, "file dialog: " + title, QString());
    }

    std::vector<Message> messages;
    QStringList prompts;        // "title|prompt|proposal"
    QStringList openFileCalls;  // "title|initialFolder|fileName|filters"

private:
    template <typename T> static T next(std::deque<T>& answers, const QString& what, T none)
    {
        if (answers.empty()) {
            QTest::qFail(qPrintable("unexpected " + what), __FILE__, __LINE__);
            return none;
        }
        T a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<QString> inputs_;
    std::deque<MessageAnswer> answers_;
    std::deque<QString> files_;
};

// Records every start; the processes it "starts" run until they are ended. Process ids are
// 1001, 1002, ... in the order of the starts.
class RecordingLauncher : public IProcessLauncher {
public:
    struct Start {
        QString program;
        QStringList arguments;
        WindowStyle style;
    };
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) override
    {
        starts.push_back({program, arguments, style});
        const qint64 pid = 1000 + qint64(starts.size());
        if (refuseStarts)
            ended.insert(pid);  // never ran
        return refuseStarts ? 0 : pid;
    }
    bool isRunning(qint64 pid) override
    {
        return pid > 1000 && pid <= 1000 + qint64(starts.size()) && !ended.count(pid);
    }
    bool terminate(qint64 pid) override { return kill(pid); }
    bool kill(qint64 pid) override { return isRunning(pid) && ended.insert(pid).second; }
    int running() const { return int(starts.size() - ended.size()); }

    std::vector<Start> starts;  // attempted ones too
    std::set<qint64> ended;
    bool refuseStarts = false;  // every start fails, as for a file that is no program
};

// The window as the window system sees it; it really runs the events that wait, as the window
// does, so re-entrancy shows in tests.
class RecordingWindowHost : public IWindowHost, public IEventPump {
public:
    void processPendingEvents() override { QCoreApplication::processEvents(); }
    void minimize() override { minimized = true; }
    void restoreAndActivate() override
    {
        minimized = false;
        ++activations;
    }
    bool isMinimized() const override { return minimized; }
    bool isMaximized() const override { return maximized; }
    void setTopmost(bool on) override { topmost = on; }
    bool canStayOnTop() const override { return stayOnTop; }
    void startSystemMove() override {}
    void quit() override { ++quits; }

    int activations = 0, quits = 0;
    bool minimized = false, maximized = false, topmost = false, stayOnTop = true;
};

// The first instance; a later start's request is an emit of activationRequested().
class FirstInstance : public ISingleInstance {
public:
    bool anotherInstanceRunning() override { return false; }
    bool activateRunning(const QString&, const QString&, const QString&) override { return true; }
};

class FixedClock : public IClock {
public:
    QTime now() const override { return time; }
    QTime time{13, 14, 15};
};

// The notification area: records what is shown; a click is an emit of activated().
class RecordingTray : public ITrayIcon {
public:
    bool show(const QString& tip) override
    {
        shown = available;
        toolTip = tip;
        return available;
    }
    void hide() override { shown = false; }
    bool isShown() const override { return shown; }

    bool available = true, shown = false;
    QString toolTip;
};

// Records what a transfer showed; can press "cancel" once a given amount has arrived.
class RecordingProgress : public IProgressDialog {
public:
    void begin(const QString&, const QString&) override { ++begins; }
    void progress(qint64 received, qint64) override
    {
        if (cancelAfter >= 0 && received >= cancelAfter) {
            cancelAfter = -1;
            emit canceled();
        }
    }
    void end() override { ++ends; }
    qint64 cancelAfter = -1;
    int begins = 0, ends = 0;
};

// Sockets that never connect: where a test wires in no network, the link stays quietly down.
class OfflineSockets : public ILinkSocketFactory {
public:
    std::unique_ptr<ILinkSocket> create() override;
};

// A LAN where nobody else is found.
class NoLan : public IServiceDiscovery {
public:
    void publish(PeerRole, quint16, const QMap<QString, QString>&) override {}
    void withdraw() override {}
    void browse(PeerRole) override {}
    void stopBrowsing() override {}
    QList<DiscoveredPeer> peers() const override { return {}; }
};

// What a TestWindow takes from the test instead of its own doubles.
// What tests look at inside a window: its subsystems, which the window alone drives.
struct WindowProbe {
    static const SendingEnd& sending(const MainWindow& w) { return w.sending_; }
    static const ReceivingEnd& receiving(const MainWindow& w) { return w.receiving_; }
    static const VlcStarter& vlc(const MainWindow& w) { return w.vlc_; }
    static const AlwaysOnTop& pin(const MainWindow& w) { return w.pin_; }
    static const LanNames& lanNames(const MainWindow& w) { return w.lanNames_; }
};

struct TestWindowOptions {
    QString commandLine = {};
    QString folder = {};  // the program folder; a fresh temporary folder when empty
    IProcessLauncher* processes = nullptr;
    IWindowHost* window = nullptr;
    ILinkSocketFactory* sockets = nullptr;
    LinkPorts ports = {};
    IServiceDiscovery* discovery = nullptr;
    QByteArray updateKey = makerkey::publicKey();
    LinkClock ticks = steadyLinkClock();
};

// A main window in its own program folder, with every service a double unless the options hand
// in a real one.
struct TestWindow {
    using Options = TestWindowOptions;
    explicit TestWindow(const Options& options = {});
    MainWindow& operator*() { return *window; }
    MainWindow* operator->() { return window.get(); }
    QString path(const QString& name) const { return folderPath + name; }
    QString kept() const { return path("mirovell_TmpPlst.m3u"); }
    // a second window on the same folder, as the next start of the program
    void restart(const QString& commandLine = {});

    Options options;
    std::unique_ptr<QTemporaryDir> dir;
    QString folderPath;  // with trailing '/'
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    RecordingWindowHost host;
    FixedClock clock;
    FirstInstance instance;
    RecordingProgress progress;
    RecordingTray tray;
    OfflineSockets offline;
    NoLan offLan;
    std::unique_ptr<MainWindow> window;

private:
    void create();
};

// the current data row's value in a column, for a value used once
template <typename T> const T& row(const char* column)
{
    return *static_cast<const T*>(QTest::qData(column, qMetaTypeId<T>()));
}

QByteArray readAll(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// an executable script
void writeProgram(const QString& path, const QByteArray& script);
// A stand-in program that writes its arguments, one a line, to args.txt beside itself.
inline const QByteArray kArgsRecorder =
    "#!/bin/sh\nout=\"$(dirname \"$0\")/args.txt\"\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part\" && mv \"$out.part\" \"$out\"\n";
