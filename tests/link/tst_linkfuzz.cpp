#include "LinkFixture.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {

const QStringList kList{"/media/a.avi", "/media/b.mkv", "/media/Folge 1.mpg", "/media/Folge 11.mpg", "/m/ä ö.avi"};

}  // namespace

// Random bytes, random splits, half and whole messages, floods, closes and resets, sent for a
// while to the ports of a sending and a receiving window linked to each other.
// MIROVELL_LINK_FUZZ_SECONDS sets how long (default 5); MIROVELL_LINK_FUZZ_SEED repeats a run.
class TestLinkFuzz : public QObject {
    Q_OBJECT
private slots:
    void peersThatMisbehave()
    {
        const int seconds = qEnvironmentVariableIntValue("MIROVELL_LINK_FUZZ_SECONDS");
        const quint32 seed = qEnvironmentVariableIsSet("MIROVELL_LINK_FUZZ_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("MIROVELL_LINK_FUZZ_SEED"))
                                 : QRandomGenerator::system()->generate();
        qInfo("seed %u, %d s", seed, seconds > 0 ? seconds : 5);
        QRandomGenerator rnd(seed);

        const LinkPorts ports = freeLinkPorts();
        LinkWindow sender(ports), receiver(ports);
        receiver->EmpfangenTabButton_Click();
        sender->FilmList.setItems(kList);
        sender->SendenTabButton_Click();
        const quint16 targets[] = {ports.request, ports.list};

        std::vector<std::unique_ptr<QTcpSocket>> peers;
        const QByteArray valid[] = {"1113STARTTRACK:/media/b.mkv",
                                    "1113STARTTRACK:/media/Folge 1",
                                    "1113STARTTRACK:/m/\xE4 \xF6.avi",
                                    "1113RESETPLAYLIST:",
                                    "1111Server",
                                    "1112",
                                    "1113TRACKLIST:3;a;b;c;",
                                    "1113TRACKLIST:99999;x;"};
        int runs = 0;
        qint64 sent = 0;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < (seconds > 0 ? seconds : 5) * 1000) {
            ++runs;
            if (peers.size() < 3 || rnd.bounded(10) == 0) {
                auto p = std::make_unique<QTcpSocket>();
                p->connectToHost(QHostAddress::LocalHost, targets[rnd.bounded(2)]);
                (void)QTest::qWaitFor([&] { return p->state() != QAbstractSocket::ConnectingState; }, 200);
                peers.push_back(std::move(p));
            }
            std::erase_if(peers, [](const auto& p) { return p->state() != QAbstractSocket::ConnectedState; });
            if (peers.empty())
                continue;
            QTcpSocket& peer = *peers[rnd.bounded(int(peers.size()))];
            QByteArray bytes;
            switch (rnd.bounded(6)) {
            case 0:  // random bytes
                bytes.resize(rnd.bounded(1, 2048));
                for (char& c : bytes)
                    c = char(rnd.bounded(256));
                break;
            case 1:  // whole messages, several in one write
                for (int n = rnd.bounded(1, 4); n > 0; --n)
                    bytes += valid[rnd.bounded(int(std::size(valid)))];
                break;
            case 2: {  // half a message
                const QByteArray& m = valid[rnd.bounded(int(std::size(valid)))];
                bytes = m.left(rnd.bounded(1, int(m.size())));
                break;
            }
            case 3:  // a flood: a long list or a long name
                bytes = rnd.bounded(2) ? "1113TRACKLIST:50000;" + QByteArray("a;").repeated(40000)
                                       : "1113STARTTRACK:" + QByteArray(rnd.bounded(1, 3) << 20, 'n');
                break;
            case 4:  // gone, with a close or a reset
                rnd.bounded(2) ? reset(peer) : peer.disconnectFromHost();
                break;
            default:  // the windows' own timers
                sender.tick();
                receiver.tick();
                break;
            }
            // random splits: the pieces go out with a little time between them
            for (qsizetype at = 0; at < bytes.size() && peer.state() == QAbstractSocket::ConnectedState;) {
                const qsizetype n = std::min<qsizetype>(bytes.size() - at, rnd.bounded(1, 1 << 16));
                peer.write(bytes.mid(at, n));
                at += n;
                sent += n;
                QCoreApplication::processEvents(QEventLoop::AllEvents, rnd.bounded(3));
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, rnd.bounded(20));
        }
        peers.clear();
        QTest::qWait(MessageReader::kQuietMs + 1100);
        qInfo("%d rounds, %lld bytes sent, %zu VLC starts", runs, sent, sender.launcher.starts.size());

        QCOMPARE(SocketWatchApp::deletedInOwnEvent, 0);
        const QStringList kept = sender->FilmList.items();
        QVERIFY(std::is_permutation(kept.begin(), kept.end(), kList.begin(), kList.end()));
        QVERIFY(sender.launcher.running() <= 1);
        QVERIFY(receiver->FilmRemoteList.count() <= 32767);

        // the link still works: the list reaches the receiver, and a double-click there is obeyed
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                sender.tick();
                receiver.tick();
                return receiver->FilmRemoteList.items() == sender->FilmList.items() &&
                       WindowProbe::receiving(*receiver).requestSocket().state() == LinkState::Connected;
            }(),
            15000);
        const QString wanted = receiver->FilmRemoteList.item(3);
        receiver->FilmRemoteList.setListIndex(3);
        receiver->FilmRemoteList.fire(ControlEvent::DblClick);
        QTRY_COMPARE(sender->FilmList.item(0), wanted);
    }
};

LINK_TEST_MAIN(TestLinkFuzz)
#include "tst_linkfuzz.moc"
