// A track list over loopback, end to end (build, send, frame, parse, split), against a raw
// loopback copy of the same bytes. Prints both times and their ratio for three list sizes.
#include "link/LinkMessages.h"
#include "link/MessageReader.h"
#include "platform/Codec.h"
#include "platform/qt/TcpLinkSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

QStringList makeEntries(int n)
{
    QStringList e;
    e.reserve(n);
    for (int i = 0; i < n; ++i)
        e << QStringLiteral("/srv/media/Filme und Serien/Staffel %1/Folge %2 - ein langer Titel.mkv")
                 .arg(i / 100)
                 .arg(i);
    return e;
}

bool waitFor(const std::function<bool()>& done, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Whole road through the program's own parts; returns nanoseconds.
qint64 linkRoad(const QStringList& entries)
{
    TcpLinkSocket listener, sender;
    QStringList received;
    bool got = false;
    MessageReader reader(16 * 1024 * 1024);
    QObject::connect(&reader, &MessageReader::message, [&](const QByteArray& m) {
        received = linkmsg::TrackListEntries(m);
        got = true;
    });
    QObject::connect(&listener, &ILinkSocket::connectionRequest, [&](qint64 id) {
        listener.close();
        listener.accept(id);
    });
    QObject::connect(&listener, &ILinkSocket::dataArrival, [&](qint64) { reader.feed(listener.getData()); });
    listener.listen(0);
    sender.connectTo(QStringLiteral("127.0.0.1"), listener.localPort());
    if (!waitFor([&] { return sender.state() == LinkState::Connected && listener.state() == LinkState::Connected; }))
        return -1;
    QElapsedTimer t;
    t.start();
    sender.sendData(linkmsg::EncodeTrackList(entries));
    if (!waitFor([&] { return got; }))
        return -1;
    const qint64 ns = t.nsecsElapsed();
    return received == entries ? ns : -1;
}

// The same bytes copied over loopback by plain sockets; returns nanoseconds.
qint64 rawCopy(const QByteArray& bytes)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QTcpSocket out;
    out.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QTcpSocket* in = nullptr;
    if (!waitFor([&] {
            return (in = in ? in : server.nextPendingConnection()) && out.state() == QAbstractSocket::ConnectedState;
        }))
        return -1;
    QByteArray got;
    got.reserve(bytes.size());
    QObject::connect(in, &QTcpSocket::readyRead, [&] { got += in->readAll(); });
    QElapsedTimer t;
    t.start();
    out.write(bytes);
    if (!waitFor([&] { return got.size() >= bytes.size(); }))
        return -1;
    return t.nsecsElapsed();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("%8s %10s %12s %12s %8s %12s\n", "entries", "bytes", "link ms", "raw ms", "ratio", "link ns/byte");
    for (int n : {1000, 10000, 32767}) {
        const QStringList entries = makeEntries(n);
        const QByteArray bytes = codec::encodeForLink(linkmsg::BuildTrackList(entries));
        qint64 bestLink = -1, bestRaw = -1;
        for (int round = 0; round < 5; ++round) {
            const qint64 l = linkRoad(entries);
            const qint64 r = rawCopy(bytes);
            if (l < 0 || r < 0) {
                std::fprintf(stderr, "round failed at %d entries\n", n);
                return 1;
            }
            bestLink = bestLink < 0 ? l : std::min(bestLink, l);
            bestRaw = bestRaw < 0 ? r : std::min(bestRaw, r);
        }
        std::printf("%8d %10lld %12.3f %12.3f %8.1f %12.2f\n", n, qint64(bytes.size()), bestLink / 1e6, bestRaw / 1e6,
                    double(bestLink) / double(bestRaw), double(bestLink) / double(bytes.size()));
    }
    return 0;
}
