#include "LinkFixture.h"
#include "platform/qt/AvahiServiceDiscovery.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

const QStringList kList{"/media/a.avi", "/media/b.mkv", "/media/c d.mpg"};

// The LAN as the program meets it through discovery: what it offers, and peers the test makes
// appear and go.
class LanDouble : public IServiceDiscovery {
public:
    void publish(PeerRole role, quint16 port, const QMap<QString, QString>&) override { offered = {{role, port}}; }
    void withdraw() override { offered.reset(); }
    void browse(PeerRole role) override { browsing = role; }
    void stopBrowsing() override { browsing.reset(); }
    QList<DiscoveredPeer> peers() const override { return found; }
    void show(const QList<DiscoveredPeer>& peers)
    {
        found = peers;
        if (peersChanged_)
            peersChanged_(found);
    }
    std::optional<std::pair<PeerRole, quint16>> offered;
    std::optional<PeerRole> browsing;
    QList<DiscoveredPeer> found;
};

DiscoveredPeer peer(const QString& name, PeerRole role)
{
    return {name, QStringLiteral("127.0.0.1"), 1, role, QStringLiteral("Mirovell on ") + name, {}};
}

}  // namespace

// A sender serving several receivers over loopback: a real receiving window that picks up from it,
// and a receiver written by someone else that only asks for tracks; and the names found on the LAN.
class SeveralReceiversTest : public QObject {
    Q_OBJECT
private slots:
    void everyReceiverGetsTheListAndAnyMayAsk()
    {
        const LinkPorts ports = freeLinkPorts();
        QVERIFY(ports.list && ports.request);
        LinkWindow sender(ports), receiver(ports);
        sender->FilmList.setItems(kList);
        sender->SendenTabButton_Click();
        sender->MultiCastCheck.setValue(1);
        sender->MultiCastCheck_Click();
        QVERIFY(sender->sendingEnd().several() && !sender->TargetText.enabled());

        receiver->EmpfangenTabButton_Click();
        receiver->TargetTextClient.setText(QStringLiteral("127.0.0.1"));
        receiver->MulitCastCheck.setValue(1);
        receiver->MulitCastCheck_Click();
        // picking up makes the receiver known at once; the list follows on its own channel
        QTRY_COMPARE(sender->sendingEnd().audienceSize(), 1);
        QTRY_COMPARE(receiver->FilmRemoteList.items(), kList);
        QCOMPARE(receiver->SenderLabel.text(), QStringLiteral("Sender:\r127.0.0.1"));

        // another receiver, from another address, asks for the third track as soon as it is known
        QTcpSocket other;
        other.bind(QHostAddress(QStringLiteral("127.0.0.2")));
        other.connectToHost(QHostAddress::LocalHost, ports.request);
        QVERIFY(other.waitForConnected(5000));
        QTRY_COMPARE(sender->sendingEnd().audienceSize(), 2);
        other.write("1113STARTTRACK:/media/c d.mpg");
        const QStringList moved{"/media/c d.mpg", "/media/a.avi", "/media/b.mkv"};
        QTRY_COMPARE(sender->FilmList.items(), moved);
        QTRY_COMPARE(sender.launcher.starts.size(), size_t(1));
        QCOMPARE(sender.launcher.starts[0].arguments.value(2),
                 QStringLiteral(":sout=#standard{mux=ts,dst=239.255.22.55:1234,access=udp:}"));
        QTRY_COMPARE(receiver->FilmRemoteList.items(), moved);

        // the last request wins, from whichever receiver it comes
        receiver->FilmRemoteList.setListIndex(2);
        receiver->FilmRemoteList.fire(ControlEvent::DblClick);
        QTRY_COMPARE(sender->FilmList.item(0), QStringLiteral("/media/b.mkv"));
        other.write("1113STARTTRACK:/media/a.avi");
        QTRY_COMPARE(sender->FilmList.item(0), QStringLiteral("/media/a.avi"));
        QTRY_COMPARE(receiver->FilmRemoteList.items(), sender->FilmList.items());

        // a receiver that goes leaves the others served; back to one receiver, the audience goes
        other.disconnectFromHost();
        QTRY_COMPARE(sender->sendingEnd().audienceSize(), 1);
        sender->FilmList.addItem(QStringLiteral("/media/e.avi"));
        sender->UpdateFileCount();
        QTRY_COMPARE(receiver->FilmRemoteList.count(), 4);
        sender->SendenUniCastCheck.setValue(1);
        sender->SendenUniCastCheck_Click();
        QCOMPARE(sender->sendingEnd().audienceSize(), 0);
        QCOMPARE(SocketWatchApp::deletedInOwnEvent, 0);
    }

    void namesFoundOnTheLan()
    {
        const LinkPorts ports = freeLinkPorts();
        LanDouble senderLan, receiverLan;
        LinkWindow receiver(ports);
        LinkWindow sender(ports, QStringLiteral("192.0.2.1"));  // a target nobody answers
        receiver.options.discovery = &receiverLan;
        sender.options.discovery = &senderLan;
        receiver.restart();
        sender.restart();
        receiver->Form_Load();
        sender->Form_Load();

        receiver->EmpfangenTabButton_Click();
        QVERIFY(receiverLan.offered == std::make_pair(PeerRole::Receiver, ports.list));
        QCOMPARE(receiverLan.browsing, PeerRole::Sender);
        sender->SendenTabButton_Click();
        QVERIFY(senderLan.offered == std::make_pair(PeerRole::Sender, ports.request));
        QCOMPARE(senderLan.browsing, PeerRole::Receiver);

        // the receivers found are offered by name; the one picked is reached at its address
        senderLan.show({peer(QStringLiteral("buero"), PeerRole::Receiver),
                        peer(QStringLiteral("wohnzimmer"), PeerRole::Receiver)});
        QCOMPARE(sender->TargetText.items(), (QStringList{"buero", "wohnzimmer"}));
        sender->TargetText.setText(QStringLiteral("Wohnzimmer.local"));
        sender->TargetText_LostFocus();
        sender->FilmList.setItems(kList);
        sender->UpdateFileCount();
        QTRY_COMPARE(receiver->ConnectStatus.text(), QStringLiteral("Client verbunden"));
        // the receiver names its sender where the LAN knows the name
        QCOMPARE(receiver->SenderLabel.text(), QStringLiteral("Sender:\r127.0.0.1"));
        receiverLan.show({peer(QStringLiteral("arbeitszimmer"), PeerRole::Sender)});
        QCOMPARE(receiver->SenderLabel.text(), QStringLiteral("Sender:\rarbeitszimmer"));
        QCOMPARE(receiver->TargetTextClient.items(), QStringList{"arbeitszimmer"});

        // leaving the mode withdraws the offer and the names
        sender->LokalStarteBtn_Click();
        QVERIFY(!senderLan.offered && !senderLan.browsing);
        QVERIFY(sender->TargetText.items().isEmpty());
        receiver->Form_QueryUnload();
        QVERIFY(!receiverLan.offered && !receiverLan.browsing);
    }

    // Without a D-Bus system bus (Windows, a minimal system) every mode is as before: nothing
    // asked, nothing offered, and the link as always.
    void noSystemBus()
    {
        AvahiServiceDiscovery::Options nowhere;
        nowhere.busAddress = QStringLiteral("unix:path=/nonexistent/system_bus_socket");
        AvahiServiceDiscovery lan(nowhere);
        LinkWindow w(freeLinkPorts());
        w.options.discovery = &lan;
        w.restart();
        w->Form_Load();
        for (Control* tab : {&w->SendenTabButton, &w->EmpfangenTabButton, &w->LokalStarteBtn, &w->SendenTabButton})
            tab->fire(ControlEvent::Click);
        QTRY_COMPARE(lan.state(), AvahiServiceDiscovery::State::NoBus);
        QVERIFY(w.dialogs.messages.empty() && w->TargetText.items().isEmpty());
        QCOMPARE(w.requestSocket().state(), LinkState::Listening);
        w->ExitBtn_Click();
    }
};

LINK_TEST_MAIN(SeveralReceiversTest)
#include "tst_severalreceivers.moc"
