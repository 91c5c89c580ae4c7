#include "LinkFixture.h"
#include "platform/Codec.h"

#include <QTcpServer>

namespace {

const QStringList kList{"/m/a.avi", "/m/b.mkv", "/m/c.mpg", "/m/zz.avi"};

// The peer has gone from the sender's side: it sees its connection end.
bool turnedAway(QTcpSocket& peer)
{
    return QTest::qWaitFor([&] { return peer.state() == QAbstractSocket::UnconnectedState; }, 10000);
}

}  // namespace

// Hosts on the LAN that are not the receiver the user chose: they flood, join uninvited, vanish,
// retry, and speak on the ports of a sender and a receiver.
class TestLinkStrangers : public QObject {
    Q_OBJECT

    LinkPorts ports;
    std::unique_ptr<LinkWindow> w;

    void serveSeveral()
    {
        (*w)->MultiCastCheck.setValue(1);
        (*w)->MultiCastCheck_Click();
    }

private slots:
    void init()
    {
        ports = freeLinkPorts();
        w = sendingWindow(ports, kList);
    }
    void cleanup() { w.reset(); }

    // Of the requests read in one go only the last moves its entry; a flood beyond the budget is
    // dropped and its peer disconnected, and the list is served again afterwards.
    void requestsAreBounded_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("three in one write") << QByteArray("1113STARTTRACK:/m/b.mkv1113STARTTRACK:/m/c.mpg"
                                                          "1113STARTTRACK:/m/zz.avi")
                                            << QStringList{"/m/zz.avi", "/m/a.avi", "/m/b.mkv", "/m/c.mpg"} << false;
        QTest::newRow("1 MiB of one request") << QByteArray("1113STARTTRACK:zz").repeated(1024 * 1024 / 17)
                                              << QStringList{"/m/zz.avi", "/m/a.avi", "/m/b.mkv", "/m/c.mpg"} << true;
        QTest::newRow("resets") << QByteArray("1113RESETPLAYLIST:").repeated(200) << kList << true;
    }
    void requestsAreBounded()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, after);
        QFETCH(bool, disconnected);
        QTcpSocket peer;
        QVERIFY(connectFrom(peer, "127.0.0.1", ports.request));
        QTRY_COMPARE(w->requestSocket().state(), LinkState::Connected);
        peer.write(bytes);
        if (disconnected)
            QVERIFY(turnedAway(peer));
        QTRY_COMPARE((*w)->FilmList.items(), after);
        peer.disconnectFromHost();
        QTRY_COMPARE(w->requestSocket().state(), LinkState::Listening);
        QTcpSocket next;
        QVERIFY(connectFrom(next, "127.0.0.1", ports.request));
        QTRY_COMPARE(w->requestSocket().state(), LinkState::Connected);
        next.write("1113STARTTRACK:/m/c.mpg");
        QTRY_COMPARE((*w)->FilmList.item(0), "/m/c.mpg");
    }

    // Sending to one receiver, requests are heard only from that receiver's host.
    void oneReceiverHearsOnlyItsHost()
    {
        QTcpSocket stranger;
        QVERIFY(connectFrom(stranger, "127.0.0.2", ports.request));
        stranger.write("1113STARTTRACK:/m/c.mpg");
        QVERIFY(turnedAway(stranger));
        QTcpSocket receiver;
        QVERIFY(connectFrom(receiver, "127.0.0.1", ports.request));
        receiver.write("1113STARTTRACK:/m/b.mkv");
        QTRY_COMPARE((*w)->FilmList.item(0), "/m/b.mkv");
        QCOMPARE((*w)->FilmList.item(1), "/m/a.avi");
    }

    // Serving several, a receiver nobody let in gets nothing and steers nothing until the user
    // lets it in; a denied one stays out; the answers outlive the program and can be taken back.
    void receiversAreLetIn()
    {
        serveSeveral();
        QTcpServer listPort;  // where the list would go to the asking host
        QVERIFY(listPort.listen(QHostAddress("127.0.0.2"), ports.list));
        QTcpSocket asking;
        QVERIFY(connectFrom(asking, "127.0.0.2", ports.request));
        QTRY_COMPARE(sendingOf(*w).waitingSize(), 1);
        QVERIFY((*w)->AdmitFrame.visible());
        QCOMPARE((*w)->AdmitLabel.text(), "127.0.0.2\rmöchte die Liste");
        asking.write("1113STARTTRACK:/m/c.mpg");
        for (int i = 0; i < 3; ++i)
            w->tick();
        QTest::qWait(300);
        QCOMPARE((*w)->FilmList.items(), kList);
        QVERIFY(!listPort.hasPendingConnections());

        (*w)->AdmitBtn.fire(ControlEvent::Click);
        QVERIFY(!(*w)->AdmitFrame.visible() && (*w)->ForgetBtn.visible());
        QTRY_VERIFY(listPort.hasPendingConnections());
        QTcpSocket* list = listPort.nextPendingConnection();
        QTRY_VERIFY(list->bytesAvailable() > 0);
        QVERIFY(list->readAll().startsWith("1113TRACKLIST:4;"));
        asking.write("1113STARTTRACK:/m/c.mpg");
        QTRY_COMPARE((*w)->FilmList.item(0), "/m/c.mpg");

        QTcpSocket denied;
        QVERIFY(connectFrom(denied, "127.0.0.3", ports.request));
        QTRY_VERIFY((*w)->AdmitFrame.visible());
        (*w)->DenyBtn.fire(ControlEvent::Click);
        QVERIFY(turnedAway(denied));
        QTcpSocket again;
        QVERIFY(connectFrom(again, "127.0.0.3", ports.request));
        QVERIFY(turnedAway(again));

        const QByteArray ini = readAll(w->path("mirovell.ini"));
        QVERIFY(ini.contains("AllowedReceivers=127.0.0.2\r\n") && ini.contains("DeniedReceivers=127.0.0.3\r\n"));
        w->restart();
        (*w)->Form_Load();
        QCOMPARE(sendingOf(*w).allowedHosts(), QStringList{"127.0.0.2"});
        QCOMPARE(sendingOf(*w).deniedHosts(), QStringList{"127.0.0.3"});
        (*w)->ForgetBtn_Click();
        QVERIFY(sendingOf(*w).allowedHosts().isEmpty() && !(*w)->ForgetBtn.visible());
        QVERIFY(readAll(w->path("mirovell.ini")).contains("AllowedReceivers=\r\n"));
        QCOMPARE(SocketWatchApp::deletedInOwnEvent, 0);
    }

    // A receiver that comes back from its address takes its old place even when every place is
    // taken; a member whose list channel stays down leaves after the timeout.
    void placesAreKeptAndExpire()
    {
        QStringList allowed;
        for (int i = 1; i <= SendingEnd::kMaxAudience + 1; ++i)
            allowed << QString("127.0.1.%1").arg(i);
        qint64 now = 0;
        sendingOf(*w).setClock([&now] { return now; });
        sendingOf(*w).setAnswers(allowed, {});
        serveSeveral();
        std::vector<std::unique_ptr<QTcpSocket>> members;
        for (int i = 1; i <= SendingEnd::kMaxAudience; ++i) {
            members.push_back(std::make_unique<QTcpSocket>());
            QVERIFY(connectFrom(*members.back(), allowed[i - 1], ports.request));
            QTRY_COMPARE(sendingOf(*w).audienceSize(), i);
        }
        QTRY_COMPARE(sendingOf(*w).audienceSize(), SendingEnd::kMaxAudience);
        QTcpSocket late;
        QVERIFY(connectFrom(late, allowed.last(), ports.request));
        QVERIFY(turnedAway(late));
        QTcpSocket back;
        QVERIFY(connectFrom(back, allowed[4], ports.request));
        QVERIFY(turnedAway(*members[4]));  // the old channel it left behind goes
        QCOMPARE(back.state(), QAbstractSocket::ConnectedState);
        QCOMPARE(sendingOf(*w).audienceSize(), SendingEnd::kMaxAudience);

        // nobody listens on the members' list port: their list channels never come up
        now += SendingEnd::kMemberTimeoutMs - 1;
        w->tick();
        QCOMPARE(sendingOf(*w).audienceSize(), SendingEnd::kMaxAudience);
        now += 2;
        w->tick();
        QCOMPARE(sendingOf(*w).audienceSize(), 0);
        QVERIFY(turnedAway(back));
    }

    // A receiver keeps the list of the sender its request channel is connected to: another host
    // cannot bring its own list nor become the target of the requests.
    void receiverKeepsItsSender()
    {
        w.reset();
        const LinkPorts rp = freeLinkPorts();
        LinkWindow r(rp, "192.0.2.1");  // its own sending end aims elsewhere
        r->EmpfangenTabButton_Click();
        QTcpServer senderRequests;  // the sender's request port, where the receiver asks
        QVERIFY(senderRequests.listen(QHostAddress("127.0.0.1"), rp.request));
        QTcpSocket sender;
        QVERIFY(connectFrom(sender, "127.0.0.1", rp.list));
        sender.write("1113TRACKLIST:2;/m/a.avi;/m/b.mkv;");
        QTRY_COMPARE(r->FilmRemoteList.items(), (QStringList{"/m/a.avi", "/m/b.mkv"}));
        r.tick();
        QTRY_VERIFY(senderRequests.hasPendingConnections());
        QTcpSocket* requests = senderRequests.nextPendingConnection();
        QTRY_COMPARE(WindowProbe::receiving(*r.window).requestSocket().state(), LinkState::Connected);
        // the remote control's greeting comes first; a sender of the old kind drops it
        QTRY_VERIFY(requests->bytesAvailable() > 0);
        QCOMPARE(requests->readAll(), "1113REMOTE:1;");

        sender.disconnectFromHost();  // the list channel goes, the request channel stays
        QTRY_COMPARE(r.remoteListSocket().state(), LinkState::Listening);
        QTcpSocket stranger;
        QVERIFY(connectFrom(stranger, "127.0.0.2", rp.list));
        stranger.write("1113TRACKLIST:1;/fremd.avi;");
        QVERIFY(turnedAway(stranger));
        QVERIFY(!r->FilmRemoteList.items().contains("/fremd.avi"));
        QTcpSocket senderAgain;
        QVERIFY(connectFrom(senderAgain, "127.0.0.1", rp.list));
        senderAgain.write("1113TRACKLIST:1;/m/c.mpg;");
        QTRY_COMPARE(r->FilmRemoteList.items(), QStringList{"/m/c.mpg"});
        r->FilmRemoteList.setListIndex(0);
        r->FilmRemoteList_DblClick();
        QTRY_VERIFY(requests->bytesAvailable() > 0);
        QCOMPARE(requests->readAll(), "1113STARTTRACK:/m/c.mpg");
    }

    // A receiver turned away at once is not back at once: its attempts thin out.
    void refusedReceiverBacksOff()
    {
        w.reset();
        const LinkPorts rp = freeLinkPorts();
        LinkWindow r(rp, "192.0.2.1");  // its own sending end aims elsewhere
        r->EmpfangenTabButton_Click();
        int attempts = 0;
        QTcpServer senderRequests;  // a sender with no room: it closes every request channel at once
        QVERIFY(senderRequests.listen(QHostAddress("127.0.0.1"), rp.request));
        connect(&senderRequests, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* s = senderRequests.nextPendingConnection()) {
                ++attempts;
                s->abort();
                s->deleteLater();
            }
        });
        QTcpSocket sender;
        QVERIFY(connectFrom(sender, "127.0.0.1", rp.list));
        sender.write("1113TRACKLIST:1;/m/a.avi;");
        QTRY_COMPARE(r->FilmRemoteList.items(), QStringList{"/m/a.avi"});
        r.tick();
        QTRY_VERIFY(attempts >= 1);
        // waits of 0.5, 1 and 2 s at most a quarter shorter: no more than four in 3.5 s
        QTest::qWait(3500);
        QVERIFY2(attempts <= 4, qPrintable(QString::number(attempts)));
        QVERIFY(attempts >= 2);
    }
};

LINK_TEST_MAIN(TestLinkStrangers)
#include "tst_linkstrangers.moc"
