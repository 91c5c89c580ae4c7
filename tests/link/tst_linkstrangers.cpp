#include "LinkFixture.h"

namespace {

const QStringList kList{"/m/a.avi", "/m/b.mkv", "/m/c.mpg", "/m/zz.avi"};

// The peer has gone from the sender's side: it sees its connection end.
bool turnedAway(QTcpSocket& peer)
{
    return QTest::qWaitFor([&] { return peer.state() == QAbstractSocket::UnconnectedState; }, 10000);
}

}  // namespace

// Hosts on the LAN where scripts/strangers.sh does not reach: requests read in one go, the user's
// answers across a restart, a full audience and the member timeout to the millisecond. Several
// receivers let in, served and following one's request: scripts/three-pcs.sh.
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
    void cleanup()
    {
        w.reset();
        QCOMPARE(SocketWatchApp::deletedInOwnEvent, 0);
    }

    // Of the requests read in one go only the last moves its entry; a flood beyond the budget is
    // dropped and its peer disconnected, and the list is served again afterwards. A flood of
    // 1.1 MB against the real window: scripts/strangers.sh.
    void requestsAreBounded_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("three in one write") << QByteArray("1113STARTTRACK:/m/b.mkv1113STARTTRACK:/m/c.mpg"
                                                          "1113STARTTRACK:/m/zz.avi")
                                            << QStringList{"/m/zz.avi", "/m/a.avi", "/m/b.mkv", "/m/c.mpg"} << false;
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

    // Serving several, the user's answers outlive the program and can be taken back; what a
    // stranger gets before and after them: scripts/strangers.sh.
    void answersOutliveTheProgram()
    {
        serveSeveral();
        QTcpSocket asking, denied;
        QVERIFY(connectFrom(asking, "127.0.0.2", ports.request));
        QTRY_VERIFY((*w)->AdmitFrame.visible());
        QCOMPARE((*w)->AdmitLabel.text(), "127.0.0.2\rmöchte die Liste");
        (*w)->AdmitBtn.fire(ControlEvent::Click);
        QVERIFY(!(*w)->AdmitFrame.visible() && (*w)->ForgetBtn.visible());
        QVERIFY(connectFrom(denied, "127.0.0.3", ports.request));
        QTRY_VERIFY((*w)->AdmitFrame.visible());
        (*w)->DenyBtn.fire(ControlEvent::Click);
        QVERIFY(turnedAway(denied));
        QCOMPARE(sendingOf(*w).audienceSize(), 1);
        (*w)->SendenUniCastCheck.setValue(1);
        (*w)->SendenUniCastCheck_Click();  // serving one again lets the audience go
        QCOMPARE(sendingOf(*w).audienceSize(), 0);

        const QByteArray ini = readAll(w->path("mirovell.ini"));
        QVERIFY(ini.contains("AllowedReceivers=127.0.0.2\r\n") && ini.contains("DeniedReceivers=127.0.0.3\r\n"));
        w->restart();
        (*w)->Form_Load();
        QCOMPARE(sendingOf(*w).allowedHosts(), QStringList{"127.0.0.2"});
        QCOMPARE(sendingOf(*w).deniedHosts(), QStringList{"127.0.0.3"});
        (*w)->ForgetBtn_Click();
        QVERIFY(sendingOf(*w).allowedHosts().isEmpty() && !(*w)->ForgetBtn.visible());
        QVERIFY(readAll(w->path("mirovell.ini")).contains("AllowedReceivers=\r\n"));
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
        members[0]->disconnectFromHost();  // one that goes leaves the others served
        QTRY_COMPARE(sendingOf(*w).audienceSize(), SendingEnd::kMaxAudience - 1);

        // nobody listens on the members' list port: their list channels never come up
        now += SendingEnd::kMemberTimeoutMs - 1;
        w->tick();
        QCOMPARE(sendingOf(*w).audienceSize(), SendingEnd::kMaxAudience - 1);
        now += 2;
        w->tick();
        QCOMPARE(sendingOf(*w).audienceSize(), 0);
        QVERIFY(turnedAway(back));
    }
};

LINK_TEST_MAIN(TestLinkStrangers)
#include "tst_linkstrangers.moc"
