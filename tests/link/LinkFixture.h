#pragma once

#include "Doubles.h"
#include "app/MainWindow.h"
#include "link/MessageReader.h"
#include "platform/qt/TcpLinkSocket.h"

#include <QAbstractSocket>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

// Two ports nobody listens on right now, so parallel tests do not meet.
inline LinkPorts freeLinkPorts()
{
    QTcpServer a, b;
    if (!a.listen(QHostAddress::Any, 0) || !b.listen(QHostAddress::Any, 0))
        return {};
    return {a.serverPort(), b.serverPort()};
}

// Ends the connection with a reset instead of a close.
inline void reset(QTcpSocket& peer)
{
    const linger hard{1, 0};
    setsockopt(int(peer.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    peer.abort();
}

// A started main window in a temporary program folder, with real link sockets on the given ports.
struct LinkWindow : TestWindow {
    explicit LinkWindow(LinkPorts ports, const QString& target = "127.0.0.1", LinkClock ticks = steadyLinkClock())
        : TestWindow({.sockets = &tcp, .ports = ports, .ticks = std::move(ticks)})
    {
        writeFile(path("vlc"), "#!/bin/sh\n");
        writeFile(path("mirovell.ini"), "[LastSettings]\r\nLastConnection=" + target.toUtf8() +
                                            "\r\nvlc.exe=" + folderPath.toUtf8() +
                                            "vlc\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n\r\n[Settings]\r\n"
                                            "WebRemote=0\r\n");  // its port is one for all windows
        window->Form_Load();
    }
    void tick() { window->ServerSendTimer.fire(ControlEvent::Timer); }
    const ILinkSocket& requestSocket() { return WindowProbe::sending(*window).requestSocket(); }
    const ILinkSocket& listSocket() { return WindowProbe::sending(*window).listSocket(); }
    const ILinkSocket& remoteListSocket() { return WindowProbe::receiving(*window).listSocket(); }

    static inline TcpLinkSocketFactory tcp;  // made before any window that uses it
};

// Stands in for a sending VLC's control interface, at the socket its command line names: records
// every command line and answers it as VLC does; it can fall silent or drop the connection.
class FakeVlcControl : public QObject {
public:
    explicit FakeVlcControl(const QStringList& arguments)
    {
        const QString path = arguments.value(int(arguments.indexOf("--rc-unix")) + 1);
        QLocalServer::removeServer(path);
        if (path.isEmpty() || !server.listen(path))
            return;
        // one client at a time, as VLC: the next waits until the one before has gone (a sweep of
        // stale sockets in a test beside it may knock first)
        connect(&server, &QLocalServer::newConnection, this, &FakeVlcControl::takeNext);
    }
    bool listening() const { return server.isListening(); }
    // what was asked besides the status that is asked for every second
    QStringList steering() const { return commands.filter(QRegularExpression("^(?!status$)")); }

    QLocalServer server;
    QPointer<QLocalSocket> peer;
    QStringList commands;
    bool silent = false;
    QByteArray input;  // the address VLC reports as playing
    bool paused = false;

private:
    void takeNext()
    {
        if (peer && peer->state() == QLocalSocket::ConnectedState)
            return;
        peer = server.nextPendingConnection();
        if (!peer)
            return;
        buffer.clear();
        connect(peer, &QLocalSocket::readyRead, this, [this] { read(); });
        connect(peer, &QLocalSocket::disconnected, this, &FakeVlcControl::takeNext, Qt::QueuedConnection);
    }
    void read()
    {
        buffer += peer->readAll();
        for (qsizetype nl; (nl = buffer.indexOf('\n')) >= 0;) {
            const QByteArray line = buffer.left(nl);
            buffer.remove(0, nl + 1);
            commands << QString::fromUtf8(line);
            if (!silent)
                answer(line);
        }
    }
    void answer(const QByteArray& line)
    {
        const QByteArray name = line.split(' ').first();
        QByteArray out;
        if (name == "pause") {
            paused = !paused;
            out +=
                paused ? "status change: ( pause state: 3 ): Pause\r\n" : "status change: ( play state: 2 ): Play\r\n";
        } else if (name == "status" && !input.isEmpty()) {
            out += "status change: ( new input: " + input + " )\r\n";
            out += paused ? "status change: ( pause state: 4 )\r\n" : "status change: ( play state: 3 )\r\n";
        }
        peer->write(out + name + ": returned 0 (no error)\r\n");
    }
    QByteArray buffer;
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

// The sending end of a window, for what only a test changes (its clock, its timeouts).
inline SendingEnd& sendingOf(LinkWindow& w)
{
    return const_cast<SendingEnd&>(WindowProbe::sending(*w));
}

// A peer connected from a loopback address of its own (127.0.0.x) to a port on this machine.
inline bool connectFrom(QTcpSocket& peer, const QString& address, quint16 port)
{
    if (!peer.bind(QHostAddress(address)))
        return false;
    peer.connectToHost(QHostAddress::LocalHost, port);
    return peer.waitForConnected(5000);
}
