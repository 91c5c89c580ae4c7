#include "LinkFixture.h"
#include "link/LinkMessages.h"
#include "link/RemoteMessages.h"

#include <QProcess>
#include <QStandardPaths>

namespace {

const QByteArray kSteering[] = {"REMOTE:", "NOWPLAYING:", "PAUSE:", "NEXT:", "PREV:"};

// The reads the peer script recorded, one hex line each.
QList<QByteArray> readsOf(const QString& path)
{
    QList<QByteArray> reads;
    for (const QByteArray& line : readAll(path).split('\n'))
        if (!line.isEmpty())
            reads << QByteArray::fromHex(line);
    return reads;
}

}  // namespace

// A peer that knows only the track list and the track request (a script that behaves as the
// program's first versions do) meets this program on either side: it hears none of the remote
// control's messages but the one greeting, and what it knows arrives byte for byte.
class TestClassicPeer : public QObject {
    Q_OBJECT

    QString script;
    QTemporaryDir dir;

    QProcess* runPeer(const QStringList& arguments)
    {
        auto* p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start("python3", QStringList{script} + arguments);
        return p;
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("python3").isEmpty())
            QSKIP("python3 is missing");
        script = QFINDTESTDATA("classic_peer.py");
        QVERIFY(!script.isEmpty());
    }

    // Our sender, whose VLC can be steered and reports what it plays, serves a classic receiver.
    void classicReceiver()
    {
        const LinkPorts ports = freeLinkPorts();
        const QString out = dir.filePath("receiver.txt");
        const QString wanted = QString::fromUtf8("/media/b\xc3\xa4.mkv");
        QProcess* peer =
            runPeer({"receiver", QString::number(ports.list), QString::number(ports.request), out, wanted});
        QVERIFY(peer->waitForStarted());
        LinkWindow w(ports);
        w->FilmList.setItems({"/media/a.avi", wanted});
        w->SendenTabButton_Click();
        w->RunVLCBtn_Click();
        FakeVlcControl vlc(w.launcher.starts.at(0).arguments);
        vlc.input = "file:///media/a.avi";
        QTRY_VERIFY(w->SendPauseBtn.enabled());
        for (int i = 0; i < 100 && !QFile::exists(out); ++i) {
            w.tick();
            QTest::qWait(200);
        }
        QVERIFY(QFile::exists(out));
        const QStringList moved{wanted, "/media/a.avi"};
        QCOMPARE(w->FilmList.items(), moved);
        QCOMPARE(w.launcher.starts.size(), size_t(1));  // switched, not restarted
        QTRY_COMPARE(vlc.steering().value(1), "add file:///media/b%C3%A4.mkv");
        const QList<QByteArray> reads = readsOf(out);
        QVERIFY(!reads.isEmpty());
        for (const QByteArray& r : reads) {
            QVERIFY2(r.startsWith("1113TRACKLIST:"), r.constData());
            for (const QByteArray& k : kSteering)
                QVERIFY2(!r.contains(k), r.constData());
        }
        QCOMPARE(reads.last(), linkmsg::EncodeTrackList(moved));
        QCOMPARE(reads.last(), QByteArray("1113TRACKLIST:2;/media/b\xe4.mkv;/media/a.avi;"));
        peer->waitForFinished();
    }

    // A classic sender serves our receiver: it gets the greeting, alone in its read, and then only
    // the track request; the steering buttons stay off and send nothing.
    void classicSender()
    {
        const LinkPorts ports = freeLinkPorts();
        const QString out = dir.filePath("sender.txt");
        LinkWindow w(ports);
        QTRY_COMPARE(w.listSocket().state(), LinkState::Error);  // its start-up attempt, to nobody yet
        w->EmpfangenTabButton_Click();
        QProcess* peer = runPeer({"sender", QString::number(ports.list), QString::number(ports.request), out, "a",
                                  QString::fromUtf8("b\xc3\xa4")});
        QVERIFY(peer->waitForStarted());
        QTRY_COMPARE(w->FilmRemoteList.items(), (QStringList{"a", QString::fromUtf8("b\xc3\xa4")}));
        w.tick();
        QTRY_COMPARE(w->ConnectStatusServer.text(), "Verbunden..");
        QTest::qWait(300);
        QVERIFY(!w->RemotePauseBtn.enabled());
        for (Control* b : {&w->RemotePauseBtn, &w->RemoteNextBtn, &w->RemotePrevBtn})
            b->fire(ControlEvent::Click);
        w->FilmRemoteList.setListIndex(1);
        w->FilmRemoteList.fire(ControlEvent::DblClick);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        const QList<QByteArray> reads = readsOf(out);
        QCOMPARE(reads.value(0), remotemsg::hello());
        QCOMPARE(reads.mid(1).join(), QByteArray("1113STARTTRACK:b\xe4"));
        QVERIFY(!w->RemotePauseBtn.enabled());
        peer->waitForFinished();
    }
};

LINK_TEST_MAIN(TestClassicPeer)
#include "tst_classicpeer.moc"
