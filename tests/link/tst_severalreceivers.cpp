#include "LinkFixture.h"

#include <QTcpSocket>

namespace {

const QStringList kList{"/media/a.avi", "/media/b.mkv", "/media/c d.mpg"};

}  // namespace

// A sender serving several receivers over loopback: a receiving window that picks up from it and
// a receiver written by someone else that only asks for tracks. The names found on the LAN,
// published, picked and withdrawn between real daemons: scripts/offered-receivers.sh; where a
// picked name connects: tst_lannames.
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
        // a request from the receiving window, and both lists following it: scripts/three-pcs.sh
        other.write("1113STARTTRACK:/media/b.mkv");  // the last request wins
        QTRY_COMPARE(receiver->FilmRemoteList.items(), (QStringList{"/media/b.mkv", "/media/c d.mpg", "/media/a.avi"}));

        other.disconnectFromHost();  // one that goes leaves the others served
        QTRY_COMPARE(WindowProbe::sending(*sender).audienceSize(), 1);
        sender->SendenUniCastCheck.setValue(1);
        sender->SendenUniCastCheck_Click();
        QCOMPARE(WindowProbe::sending(*sender).audienceSize(), 0);
        QCOMPARE(SocketWatchApp::deletedInOwnEvent, 0);
    }
};

LINK_TEST_MAIN(SeveralReceiversTest)
#include "tst_severalreceivers.moc"
