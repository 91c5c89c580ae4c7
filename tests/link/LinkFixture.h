#pragma once

#include "Doubles.h"
#include "app/MainWindow.h"
#include "link/MessageReader.h"
#include "link/TcpLinkSocket.h"

#include <QAbstractSocket>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTest>

// Two ports nobody listens on right now, so parallel tests do not meet.
inline LinkPorts freeLinkPorts()
{
    QTcpServer a, b;
    if (!a.listen(QHostAddress::Any, 0) || !b.listen(QHostAddress::Any, 0))
        return {};
    return {a.serverPort(), b.serverPort()};
}

// A started main window in a temporary program folder, with real link sockets on the given ports.
struct LinkWindow {
    explicit LinkWindow(LinkPorts ports, const QString& target = QStringLiteral("127.0.0.1"),
                        IProcessLauncher* processes = nullptr)
    {
        folder = dir.path() + u'/';
        writeFile(folder + QStringLiteral("vlc"), "#!/bin/sh\n");
        writeFile(folder + QStringLiteral("mirovell.ini"),
                  "[LastSettings]\r\nLastConnection=" + target.toUtf8() + "\r\nvlc.exe=" + folder.toUtf8() +
                      "vlc\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n");
        MainWindowServices s;
        s.processes = processes ? processes : &launcher;
        s.dialogs = &dialogs;
        s.window = &host;
        s.clock = &clock;
        s.sockets = &sockets;
        s.linkPorts = ports;
        s.tray = &tray;
        s.environment.programFolder = folder;
        s.environment.exeBaseName = QStringLiteral("mirovell");
        window = std::make_unique<MainWindow>(s);
        window->Form_Load();
    }
    MainWindow* operator->() { return window.get(); }
    void tick() { window->ServerSendTimer.fire(ControlEvent::Timer); }
    // VLC processes started for sending and not ended since
    int runningStarts() const
    {
        int n = 0;
        for (size_t i = 0; i < launcher.starts.size(); ++i)
            n += launcher.isRunning(qint64(1001 + i));
        return n;
    }

    QTemporaryDir dir;
    QString folder;
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    RecordingWindowHost host;
    RecordingTray tray;
    FixedClock clock;
    TcpLinkSocketFactory sockets;
    std::unique_ptr<MainWindow> window;
};

// An application that counts sockets deleted while one of their own events is still being
// handled: the caller up the stack would go on with a freed object.
class SocketWatchApp : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        // a socket's events reach it through the notifiers of its socket engine
        QPointer<QAbstractSocket> socket;
        if (qobject_cast<QSocketNotifier*>(receiver) && receiver->parent())
            socket = qobject_cast<QAbstractSocket*>(receiver->parent()->parent());
        const bool watched = !socket.isNull();
        const bool handled = QCoreApplication::notify(receiver, event);
        if (watched && socket.isNull())
            ++deletedInOwnEvent;
        return handled;
    }
    static inline int deletedInOwnEvent = 0;
};

#define LINK_TEST_MAIN(TestObject)                                                                                     \
    int main(int argc, char** argv)                                                                                    \
    {                                                                                                                  \
        SocketWatchApp app(argc, argv);                                                                                \
        TestObject tc;                                                                                                 \
        QTEST_SET_MAIN_SOURCE_PATH                                                                                     \
        return QTest::qExec(&tc, argc, argv);                                                                          \
    }
