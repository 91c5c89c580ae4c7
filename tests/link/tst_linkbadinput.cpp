#include "LinkFixture.h"
#include "link/LinkMessages.h"
#include "platform/Codec.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <algorithm>
#include <sys/socket.h>

namespace {

const QStringList kList{"/media/a.avi", "/media/b.mkv", "/media/c.mpg"};

qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    const QByteArray status = f.readAll();
    return status.mid(status.indexOf("VmRSS:") + 6).trimmed().split(' ').value(0).toLongLong();
}

// Writes everything without letting the peer's own buffer grow past a few MiB.
void sendPaced(QTcpSocket& peer, const QByteArray& chunk, int times)
{
    for (int i = 0; i < times && peer.state() == QAbstractSocket::ConnectedState;) {
        if (peer.bytesToWrite() < 4 * chunk.size()) {
            peer.write(chunk);
            ++i;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

}  // namespace

// A sender in send mode, and peers on its request port that do not behave.
class TestLinkBadInput : public QObject {
    Q_OBJECT

    LinkPorts ports;
    std::unique_ptr<LinkWindow> w;

    bool connectPeer(QTcpSocket& peer)
    {
        peer.connectToHost(QHostAddress::LocalHost, ports.request);
        return QTest::qWaitFor([&] {
            return peer.state() == QAbstractSocket::ConnectedState &&
                   (*w)->Winsock_ServerListen->state() == linkstate::Connected;
        });
    }
    void listUnchangedAndNothingStarted()
    {
        QTest::qWait(MessageReader::kPauseMs * 2);
        QCOMPARE((*w)->FilmList.items(), kList);
        QCOMPARE(w->launcher.starts.size(), size_t(0));
    }

private slots:
    void init()
    {
        ports = freeLinkPorts();
        w = std::make_unique<LinkWindow>(ports);
        (*w)->FilmList.setItems(kList);
        (*w)->SendenTabButton_Click();
        QCOMPARE((*w)->Winsock_ServerListen->state(), linkstate::Listening);
    }
    void cleanup() { w.reset(); }

    // silent, then empty and unknown requests, then half a request and gone
    void peerThatSaysNothingOrNonsense()
    {
        QTcpSocket peer;
        QVERIFY(connectPeer(peer));
        QCOMPARE((*w)->ConnectStatusServer.text(), QStringLiteral("Client (Remote) verbunden.."));
        w->tick();
        listUnchangedAndNothingStarted();
        peer.write("1113STARTTRACK:");
        QTest::qWait(MessageReader::kPauseMs * 2);
        peer.write("1113STARTTRACK:/etc/passwd\r\n#EXTVLCOPT:sout=#file{dst=/tmp/x}");
        listUnchangedAndNothingStarted();
        peer.write("1113STARTTRACK:/media/b");
        peer.flush();
        peer.disconnectFromHost();
        QTRY_COMPARE((*w)->ConnectStatusServer.text(), QStringLiteral("Warte auf Remote.."));
        listUnchangedAndNothingStarted();
    }

    // A message that does not begin with its type code is not understood, even when a valid
    // message follows the junk in the same write.
    void messageWithJunkInFrontIsDropped()
    {
        QTcpSocket peer;
        QVERIFY(connectPeer(peer));
        peer.write(" 1113STARTTRACK:/media/b");
        peer.flush();
        listUnchangedAndNothingStarted();
        peer.write("1113STARTTRACK:/media/b");   // the next, well-formed one is obeyed
        QTRY_COMPARE((*w)->FilmList.item(0), QStringLiteral("/media/b.mkv"));
    }

    void hundredMegabytesWithoutAHead()
    {
        QTcpSocket peer;
        QVERIFY(connectPeer(peer));
        [[maybe_unused]] const qint64 before = residentKiB();
        QByteArray chunk;
        while (chunk.size() < (1 << 20))
            chunk += "garbage 111 without a head; 1112";
        sendPaced(peer, chunk, 100);
        QTRY_VERIFY(peer.bytesToWrite() == 0);
        QTest::qWait(100);
#ifndef __SANITIZE_ADDRESS__   // the sanitizer keeps freed memory in quarantine
        QVERIFY2(residentKiB() - before < 48 * 1024, "memory grew with the garbage");
#endif
        listUnchangedAndNothingStarted();
        peer.write("1113STARTTRACK:/media/c.mpg");   // the connection still takes a valid request
        QTRY_COMPARE((*w)->FilmList.item(0), QStringLiteral("/media/c.mpg"));
        QCOMPARE(w->launcher.starts.size(), size_t(1));
    }

    void oversizedMessageDropsTheConnection()
    {
        QTcpSocket peer;
        QVERIFY(connectPeer(peer));
        peer.write("1113STARTTRACK:");
        sendPaced(peer, QByteArray(1 << 20, 'n'), 40);
        QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE((*w)->Winsock_ServerListen->state(), linkstate::Listening);
        listUnchangedAndNothingStarted();
    }

    void receiverThatNeverReads()
    {
        QTcpServer fake;
        QVERIFY(fake.listen(QHostAddress::LocalHost, ports.list));
        // a small receive window, so the stall shows in this process and not in the kernel
        const int window = 64 * 1024;
        setsockopt(int(fake.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
        (*w)->SErverBtnTest_Click();
        QTRY_COMPARE((*w)->ConnectStatus.text(), QStringLiteral("Client gefunden"));
        QStringList big;
        for (int i = 0; i < 32767; ++i)
            big << QStringLiteral("/srv/media/a long folder name/film %1.mkv").arg(i);
        (*w)->FilmList.setItems(big);
        for (int i = 0; i < 60; ++i) {
            (*w)->ButtonServerSenden_Click();
            QCoreApplication::processEvents();
        }
        // what piled up for the stalled peer is bounded, not 60 lists
        QTcpSocket* in = fake.nextPendingConnection();
        QVERIFY(in);
        qint64 got = 0;
        for (QElapsedTimer quiet; !quiet.isValid() || quiet.elapsed() < 500;) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (const qint64 n = in->readAll().size(); n || !quiet.isValid()) {
                got += n;
                quiet.start();
            }
        }
        QVERIFY2(got < 24 * 1024 * 1024, qPrintable(QString::number(got)));
        QVERIFY(got >= codec::encodeForLink(linkmsg::BuildTrackList(big)).size());
        QCOMPARE((*w)->Winsock_ServerSend->state(), linkstate::Connected);
    }

    void thousandConnectionsInARow()
    {
        for (int i = 0; i < 1000; ++i) {
            QTcpSocket peer;
            peer.connectToHost(QHostAddress::LocalHost, ports.request);
            peer.waitForConnected(200);
            peer.abort();
            QCoreApplication::processEvents();
        }
        // a well-behaved receiver still gets through
        QTcpSocket peer;
        QTRY_VERIFY_WITH_TIMEOUT([&] {
            if (peer.state() == QAbstractSocket::UnconnectedState)
                peer.connectToHost(QHostAddress::LocalHost, ports.request);
            return (*w)->Winsock_ServerListen->state() == linkstate::Connected &&
                   peer.state() == QAbstractSocket::ConnectedState;
        }(), 10000);
        peer.write("1113STARTTRACK:/media/b.mkv");
        QTRY_COMPARE((*w)->FilmList.item(0), QStringLiteral("/media/b.mkv"));
    }

    // Only the last sending VLC is left running, and the list is only reordered.
    void requestsFasterThanVlcStarts()
    {
        QTcpSocket peer;
        QVERIFY(connectPeer(peer));
        QByteArray burst;
        for (int i = 0; i < 300; ++i)
            burst += "1113STARTTRACK:" + kList[i % 3].toUtf8();
        peer.write(burst);
        for (int i = 0; i < 30; ++i) {
            peer.write("1113STARTTRACK:" + kList[i % 3].toUtf8());
            QTest::qWait(i % 5);
        }
        peer.write("1113STARTTRACK:/media/a.avi");
        QTRY_COMPARE((*w)->FilmList.item(0), QStringLiteral("/media/a.avi"));
        QTest::qWait(MessageReader::kPauseMs * 2);
        QStringList sorted = (*w)->FilmList.items();
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, kList);
        QCOMPARE(w->runningStarts(), 1);
        QCOMPARE((*w)->sendingVlcProcess(), qint64(1000 + w->launcher.starts.size()));
    }
};

QTEST_GUILESS_MAIN(TestLinkBadInput)
#include "tst_linkbadinput.moc"
