#include "LinkFixture.h"

#include <QTcpSocket>

namespace {

const QStringList kList{"/media/a.avi", "/media/b.mkv", "/media/c d.mpg"};

// The LAN as discovery shows it: what this instance offers, and the peers the test makes appear.
struct LanDouble : IServiceDiscovery {
    void publish(PeerRole role, quint16 port, const QMap<QString, QString>&) override { offered = {{role, port}}; }
    void withdraw() override { offered.reset(); }
    void browse(PeerRole role) override { browsing = role; }
    void stopBrowsing() override { browsing.reset(); }
    QList<DiscoveredPeer> peers() const override { return {}; }
    void show(const QStringList& names, PeerRole role)
    {
        QList<DiscoveredPeer> found;
        for (const QString& name : names)
            found.append({name, "127.0.0.1", 1, role, name, {}});
        emit peersChanged(found);
    }
    std::optional<std::pair<PeerRole, quint16>> offered;
    std::optional<PeerRole> browsing;
};

}  // namespace

// A sender serving several receivers over loopback: a receiving window that picks up from it and
// a receiver written by someone else that only asks for tracks; and the names found on the LAN.
class SeveralReceiversTest : public QObject {
    Q_OBJECT
private slots:
    void everyReceiverGetsTheListAndAnyMayAsk()
    {
        const LinkPorts ports = freeLinkPorts();
        LinkWindow sender(ports), receiver(ports);
        sender->FilmList.setItems(kList);
        sender->SendenTabButton_Click();
        sender->MultiCastCheck.setValue(1);
        sender->MultiCastCheck_Click();
        receiver->EmpfangenTabButton_Click();
        receiver->TargetTextClient.setText("127.0.0.1");
        receiver->MulitCastCheck.setValue(1);
        receiver->MulitCastCheck_Click();
        // nobody is served before the user lets it in
        QTRY_VERIFY(sender->AdmitFrame.visible());
        sender->AdmitBtn.fire(ControlEvent::Click);
        QTRY_COMPARE(receiver->FilmRemoteList.items(), kList);

        QTcpSocket other;  // a receiver from another address that only asks
        other.bind(QHostAddress("127.0.0.2"));
        other.connectToHost(QHostAddress::LocalHost, ports.request);
        QTRY_COMPARE(WindowProbe::sending(*sender).waitingSize(), 1);
        sender->AdmitBtn.fire(ControlEvent::Click);
        QCOMPARE(WindowProbe::sending(*sender).audienceSize(), 2);
        other.write("1113STARTTRACK:/media/c d.mpg");
        const QStringList moved{"/media/c d.mpg", "/media/a.avi", "/media/b.mkv"};
        QTRY_COMPARE(receiver->FilmRemoteList.items(), moved);
        receiver->FilmRemoteList.setListIndex(2);
        receiver->FilmRemoteList.fire(ControlEvent::DblClick);
        QTRY_COMPARE(sender->FilmList.item(0), "/media/b.mkv");
        other.write("1113STARTTRACK:/media/a.avi");  // the last request wins
        QTRY_COMPARE(receiver->FilmRemoteList.items(), (QStringList{"/media/a.avi", "/media/b.mkv", "/media/c d.mpg"}));

        other.disconnectFromHost();  // one that goes leaves the others served
        QTRY_COMPARE(WindowProbe::sending(*sender).audienceSize(), 1);
        sender->SendenUniCastCheck.setValue(1);
        sender->SendenUniCastCheck_Click();
        QCOMPARE(WindowProbe::sending(*sender).audienceSize(), 0);
        QCOMPARE(SocketWatchApp::deletedInOwnEvent, 0);
    }

    void namesFoundOnTheLan()
    {
        const LinkPorts ports = freeLinkPorts();
        LanDouble senderLan, receiverLan;
        LinkWindow receiver(ports), sender(ports, "192.0.2.1");  // a target nobody answers
        for (auto [w, lan] : {std::pair{&receiver, &receiverLan}, {&sender, &senderLan}}) {
            w->options.discovery = lan;
            w->restart();
            (*w)->Form_Load();
        }
        receiver->EmpfangenTabButton_Click();
        sender->SendenTabButton_Click();
        QVERIFY(receiverLan.offered == std::pair(PeerRole::Receiver, ports.list) &&
                receiverLan.browsing == PeerRole::Sender);
        QVERIFY(senderLan.offered == std::pair(PeerRole::Sender, ports.request) &&
                senderLan.browsing == PeerRole::Receiver);
        senderLan.show({"buero", "wohnzimmer"}, PeerRole::Receiver);
        QCOMPARE(sender->TargetText.items(), (QStringList{"buero", "wohnzimmer"}));
        // picked from the offered names, as the drop-down does it: only a pick stands for the address found
        sender->TargetText.setListIndex(1);
        sender->TargetText.setText("wohnzimmer");
        sender->TargetText_LostFocus();
        sender->UpdateFileCount();
        QTRY_COMPARE(receiver->ConnectStatus.text(), "Client verbunden");
        receiverLan.show({"arbeitszimmer"}, PeerRole::Sender);
        QCOMPARE(receiver->SenderLabel.text(), "Sender:\rarbeitszimmer");
        sender->LokalStarteBtn_Click();
        receiver->Form_QueryUnload();
        QVERIFY(!senderLan.offered && !senderLan.browsing && sender->TargetText.items().isEmpty());
        QVERIFY(!receiverLan.offered && !receiverLan.browsing);
    }
};

LINK_TEST_MAIN(SeveralReceiversTest)
#include "tst_severalreceivers.moc"
