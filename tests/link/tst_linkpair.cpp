#include "LinkFixture.h"
#include "app/Ini.h"
#include "link/RemoteMessages.h"

#include <QNetworkInterface>
#include <QProcess>

namespace {

const QString kWaiting = "Warte auf Playlist ...";
const QStringList kList{"/media/a.avi", "/media/b.mkv", "/media/c d.mpg"};

}  // namespace

// Two main windows in one process, linked over loopback as two PCs would be; the sending side
// alone; and either side against a peer of the first versions, made of a script.
class TestLinkPair : public QObject {
    Q_OBJECT

    std::unique_ptr<LinkWindow> sender, receiver;
    QTemporaryDir dir;

    // classic_peer.py in its role on the ports; once it is done, what each of its reads brought
    QProcess* classicPeer(const QString& role, const LinkPorts& ports, const QStringList& entries)
    {
        auto* p = new QProcess(this);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start("python3", QStringList{QFINDTESTDATA("classic_peer.py"), role, QString::number(ports.list),
                                        QString::number(ports.request), dir.filePath(role)} +
                                entries);
        return p;
    }
    QList<QByteArray> readsOf(const QString& role)
    {
        QList<QByteArray> reads;
        for (const QByteArray& line : readAll(dir.filePath(role)).split('\n'))
            if (!line.isEmpty())
                reads << QByteArray::fromHex(line);
        return reads;
    }

    void link()
    {
        const LinkPorts ports = freeLinkPorts();
        sender = std::make_unique<LinkWindow>(ports);
        receiver = std::make_unique<LinkWindow>(ports);
        // both made their start-up connect attempt to a list port nobody listens on yet
        QTRY_COMPARE(sender->listSocket().state(), LinkState::Error);
        QTRY_COMPARE(receiver->listSocket().state(), LinkState::Error);

        (*receiver)->EmpfangenTabButton_Click();
        QCOMPARE((*receiver)->ConnectStatus.text(), "Warte auf Server..");
        // a receiver keeps off the request port, or on one machine it would be asked for its own tracks
        receiver->tick();
        QCOMPARE(receiver->requestSocket().state(), LinkState::Closed);

        (*sender)->FilmList.setItems(kList);
        (*sender)->SendenTabButton_Click();
        QCOMPARE((*sender)->ConnectStatusServer.text(), "Warte auf Remote..");
        QTRY_COMPARE((*sender)->ConnectStatus.text(), "Client gefunden");
        QTRY_COMPARE((*receiver)->ConnectStatus.text(), "Client verbunden");
        QCOMPARE((*receiver)->SenderLabel.text(), "Sender:\r127.0.0.1");

        // the first connected tick only starts the rhythm; the second sends the list
        sender->tick();
        QTest::qWait(300);
        QCOMPARE((*receiver)->FilmRemoteList.items(), QStringList{kWaiting});
        sender->tick();
        QTRY_COMPARE((*receiver)->FilmRemoteList.items(), kList);
        QCOMPARE((*receiver)->ConnectStatus.text(), "Verbunden..");
        QCOMPARE((*receiver)->List_Count.text(), "Dateien: 3");

        // one tick of the receiver opens the request channel back to the sender
        receiver->tick();
        QCOMPARE((*receiver)->ConnectStatusServer.text(), "Client connected to Server ");
        QTRY_COMPARE((*receiver)->ConnectStatusServer.text(), "Verbunden..");
        QTRY_COMPARE((*sender)->ConnectStatusServer.text(), "Client (Remote) verbunden..");
    }

private slots:
    // Every start of the program connects to the receiver in its settings, a private address of
    // whatever network the machine is in: the tests run where no other machine can be reached.
    void noOtherMachineReachable()
    {
        for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
            QVERIFY2(!(i.flags() & QNetworkInterface::IsUp) || (i.flags() & QNetworkInterface::IsLoopBack),
                     qPrintable(i.name() + " is up: run the tests in a network namespace of their own"));
    }

    void cleanup()
    {
        sender.reset();
        receiver.reset();
    }

    // The sending VLC steered from the receiver over the link, and what it plays marked there; a
    // request switches the running VLC instead of starting another. A request that starts VLC:
    // tst_linkbadinput; the real stream restarted from a double-click: scripts/two-pcs.sh.
    void steeringFromTheReceiver_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("command");
        for (auto [button, command] :
             {std::pair{"RemotePauseBtn", "pause"}, {"RemoteNextBtn", "next"}, {"RemotePrevBtn", "prev"}, {"", "add"}})
            QTest::newRow(command) << QString(button) << QString(command);
    }
    void steeringFromTheReceiver()
    {
        link();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!(*receiver)->RemotePauseBtn.enabled());
        (*sender)->RunVLCBtn_Click();
        QCOMPARE(sender->launcher.starts.size(), size_t(1));
        FakeVlcControl vlc(sender->launcher.starts[0].arguments);
        QVERIFY(vlc.listening());
        QTRY_VERIFY((*sender)->SendPauseBtn.enabled());
        QTRY_VERIFY((*receiver)->RemotePauseBtn.enabled());
        vlc.input = "file:///media/b.mkv";
        QTRY_COMPARE((*receiver)->FilmRemoteList.markedIndex(), 1);

        const QString button = row<QString>("button");
        if (button.isEmpty()) {
            (*receiver)->FilmRemoteList.setListIndex(2);  // /media/c d.mpg
            (*receiver)->FilmRemoteList.fire(ControlEvent::DblClick);
            QCOMPARE((*receiver)->FilmRemoteList.count(), 0);
            // the requested track is played first, the rest of the list follows
            QTRY_COMPARE(vlc.steering().value(3), "enqueue file:///media/b.mkv");
            QCOMPARE(vlc.steering(), (QStringList{"clear", "add file:///media/c%20d.mpg", "enqueue file:///media/a.avi",
                                                  "enqueue file:///media/b.mkv"}));
            const QStringList moved{"/media/c d.mpg", "/media/a.avi", "/media/b.mkv"};
            QTRY_COMPARE((*receiver)->FilmRemoteList.items(), moved);
            vlc.input = "file:///media/c%20d.mpg";
            QTRY_COMPARE((*receiver)->FilmRemoteList.markedIndex(), 0);
        } else {
            (*receiver)->control(button)->fire(ControlEvent::Click);
            QTRY_COMPARE(vlc.steering(), QStringList{row<QString>("command")});
            if (button == "RemotePauseBtn") {
                QTRY_COMPARE((*receiver)->RemotePauseBtn.text(), "Weiter");
                QCOMPARE((*sender)->SendPauseBtn.text(), "Weiter");
                (*sender)->SendPauseBtn.fire(ControlEvent::Click);  // the sender's own button does the same
                QTRY_COMPARE((*receiver)->RemotePauseBtn.text(), "Pause");
            }
        }
        QCOMPARE(sender->launcher.starts.size(), size_t(1));  // never a second VLC
        sender.reset();                                       // the window goes while its VLC still listens
    }

    // The control socket goes away, or stops answering, or the VLC ends at once as one without
    // that interface does: it is replaced by one started as before, and the status strip says so.
    void fallsBackWhenVlcStopsAnswering_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("socket gone") << "gone";
        QTest::newRow("no answer") << "silent";
        QTest::newRow("no interface") << "ended";
    }
    void fallsBackWhenVlcStopsAnswering()
    {
        LinkWindow w(freeLinkPorts());
        w->SendenTabButton_Click();
        w->FilmList.setItems(kList);
        w->RunVLCBtn_Click();
        const QString how = row<QString>("how");
        // the list channel's own news may follow the message at once: every text shown counts
        QStringList shown;
        connect(&w->ConnectStatus, &Control::changed, &w->ConnectStatus,
                [&shown](Control* c, Control::Property) { shown.append(c->text()); });
        FakeVlcControl vlc(w.launcher.starts.at(0).arguments);
        if (how == "ended") {
            vlc.server.close();
            w.launcher.ended.insert(1001);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(w->SendPauseBtn.enabled(), 15000);
            if (how == "silent")
                vlc.silent = true;  // the next status asked for goes unanswered
            else
                vlc.peer->abort();
        }
        QTRY_COMPARE(w.launcher.starts.size(), size_t(2));
        QVERIFY(w.launcher.ended.count(1001));
        QCOMPARE(w.launcher.running(), 1);
        QVERIFY(!w.launcher.starts[1].arguments.contains("--rc-unix"));
        QTRY_VERIFY(shown.contains("VLC antwortete nicht und wurde neu gestartet"));
        QVERIFY(!w->SendPauseBtn.enabled());
    }

    void closingOneSideRestoresTheOthersWaitingTexts_data()
    {
        QTest::addColumn<bool>("senderExits");
        QTest::newRow("sender exits") << true;
        QTest::newRow("receiver exits") << false;
    }
    void closingOneSideRestoresTheOthersWaitingTexts()
    {
        link();
        if (QTest::currentTestFailed())
            return;
        if (row<bool>("senderExits")) {
            (*sender)->Form_QueryUnload();
            QCOMPARE((*sender)->ConnectStatus.text(), "Closed");
            QTRY_COMPARE((*receiver)->SenderLabel.text(), "Sender:\rnicht gefunden");
            QCOMPARE((*receiver)->FilmRemoteList.items(), QStringList{kWaiting});
            QCOMPARE((*receiver)->ConnectStatus.text(), "Warte auf Server..");
            QCOMPARE(receiver->remoteListSocket().state(), LinkState::Listening);
            // the waiting line is no track: a double-click on it asks for nothing
            (*receiver)->FilmRemoteList.setListIndex(0);
            (*receiver)->FilmRemoteList.fire(ControlEvent::DblClick);
            QCOMPARE((*receiver)->FilmRemoteList.items(), QStringList{kWaiting});
        } else {
            (*receiver)->Form_QueryUnload();
            QTRY_COMPARE((*sender)->ConnectStatusServer.text(), "Warte auf Remote..");
            QCOMPARE(sender->requestSocket().state(), LinkState::Listening);
            // the list channel stays closed until the list changes, then the sender looks again
            QTRY_COMPARE(sender->listSocket().state(), LinkState::Closing);
            sender->tick();
            QCOMPARE(sender->listSocket().state(), LinkState::Closing);
            (*sender)->FilmList.addItem("/media/e.avi");
            (*sender)->UpdateFileCount();
            QCOMPARE((*sender)->ConnectStatus.text(), "Suche Client..");
        }
    }

    // The stream output goes on the command line, one argument each, from the user's own settings.
    // The arguments that reach a real VLC's control: tst_player (TCP), scripts/two-pcs.sh (socket).
    void sendCommandLineFollowsTheSettings()
    {
        LinkWindow w(freeLinkPorts(), "pc 2\"x");
        const auto set = [&w](const char* key, const char* value) {
            ini::WriteIniValue("Settings", QLatin1String(key), QString::fromUtf8(value), w.path("mirovell.ini"), false);
        };
        set("EXTVLCOPT1", "#EXTVLCOPT:sout=#transcode{vcodec=h264}:standard{mux=ts,");
        set("EXTVLCOPT2", "#EXTVLCOPT:ttl=4");
        w->FilmList.setItems({"/m/a.avi"});
        w->RunVLCBtn_Click();
        const QString sout = ":sout=#transcode{vcodec=h264}:standard{mux=ts,dst=pc 2\"x,access=udp:}";
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        // the stream output is global, so that what the running VLC is given later is sent as well
        const QStringList& args = w.launcher.starts[0].arguments;
        QCOMPARE(args.mid(args.size() - 3), (QStringList{"--" + sout.mid(1), "--ttl=4", w.kept()}));
        // the control socket sits where only this user can reach it
        const QString socket = args.value(int(args.indexOf("--rc-unix")) + 1);
        QCOMPARE(QFileInfo(QFileInfo(socket).path()).permissions() & 0x0077, QFile::Permissions());
        QVERIFY(readAll(w.kept()).contains("#EXTVLCOPT" + sout.toUtf8() + "\r\n#EXTVLCOPT:ttl=4\r\n/m/a.avi\r\n"));
        // a hand edit of the settings file is seen by the next start
        set("EXTVLCOPT2", "#EXTVLCOPT:ttl=5");
        w->RunVLCBtn_Click();
        QCOMPARE(w.launcher.starts[1].arguments.value(w.launcher.starts[1].arguments.size() - 2), "--ttl=5");
        QVERIFY(readAll(w.kept()).contains("#EXTVLCOPT:ttl=5\r\n/m/a.avi\r\n"));
        // several receivers: one stream to a group; what is unusable in the settings counts as missing
        set("MulticastGroup", " 239.1.2.3 ");
        set("MulticastPort", "70000");
        set("MulticastTtl", "4");
        w->MultiCastCheck.setValue(1);
        w->MultiCastCheck_Click();
        w->RunVLCBtn_Click();
        QCOMPARE(
            w.launcher.starts[2].arguments.mid(w.launcher.starts[2].arguments.size() - 3, 2),
            (QStringList{"--sout=#transcode{vcodec=h264}:standard{mux=ts,dst=239.1.2.3:1234,access=udp:}", "--ttl=4"}));
    }

    void minimisesIntoTheTray()
    {
        for (auto [minimize, trayAvailable] : {std::pair{0, true}, {1, true}, {1, false}}) {
            LinkWindow w(freeLinkPorts());
            w.tray.available = trayAvailable;
            w->CheckMinimize.setValue(minimize);
            w->RunVLCBtn_Click();
            QCOMPARE(w.launcher.starts.size(), size_t(1));
            QCOMPARE(w.host.minimized, minimize == 1);
            QCOMPARE(w.tray.shown, minimize == 1 && trayAvailable);
            if (!w.tray.shown)
                continue;
            QCOMPARE(w.tray.toolTip, w->Form.text());
            for (TrayActivation other : {TrayActivation::Context, TrayActivation::MiddleClick, TrayActivation::Unknown})
                emit w.tray.activated(other);
            QVERIFY(w.tray.shown && w.host.minimized);
            emit w.tray.activated(TrayActivation::Trigger);  // only a left click brings the window back
            QVERIFY(!w.tray.shown && !w.host.minimized);
            QCOMPARE(w.host.activations, 1);
        }
    }

    // A peer of the first versions hears none of the steering but the one greeting, and what it
    // knows arrives byte for byte. Our sender, whose VLC reports what it plays, serves one here.
    void classicReceiver()
    {
        const LinkPorts ports = freeLinkPorts();
        const QString wanted = QString::fromUtf8("/media/b\xc3\xa4.mkv");
        QProcess* peer = classicPeer("receiver", ports, {wanted});
        QVERIFY(peer->waitForStarted());
        LinkWindow w(ports);
        w->FilmList.setItems({"/media/a.avi", wanted});
        w->SendenTabButton_Click();
        w->RunVLCBtn_Click();
        FakeVlcControl vlc(w.launcher.starts.at(0).arguments);
        vlc.input = "file:///media/a.avi";
        QTRY_VERIFY_WITH_TIMEOUT(w->SendPauseBtn.enabled(), 15000);
        for (int i = 0; i < 100 && !QFile::exists(dir.filePath("receiver")); ++i) {
            w.tick();
            QTest::qWait(200);
        }
        QCOMPARE(w->FilmList.items(), (QStringList{wanted, "/media/a.avi"}));
        const QList<QByteArray> reads = readsOf("receiver");
        QCOMPARE(reads.value(reads.size() - 1), QByteArray("1113TRACKLIST:2;/media/b\xe4.mkv;/media/a.avi;"));
        for (const QByteArray& r : reads) {
            QVERIFY2(r.startsWith("1113TRACKLIST:"), r.constData());
            for (const char* steering : {"REMOTE:", "NOWPLAYING:", "PAUSE:", "NEXT:", "PREV:"})
                QVERIFY2(!r.contains(steering), r.constData());
        }
        peer->waitForFinished();
    }

    // A classic sender serves our receiver: it gets the greeting, alone in its read, and then only
    // the track request; the steering buttons stay off and send nothing.
    void classicSender()
    {
        const LinkPorts ports = freeLinkPorts();
        LinkWindow w(ports);
        QTRY_COMPARE(w.listSocket().state(), LinkState::Error);  // its start-up attempt, to nobody yet
        w->EmpfangenTabButton_Click();
        QProcess* peer = classicPeer("sender", ports, {"a", QString::fromUtf8("b\xc3\xa4")});
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
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath("sender")), 10000);
        const QList<QByteArray> reads = readsOf("sender");
        QCOMPARE(reads.value(0), remotemsg::hello());
        QCOMPARE(reads.mid(1).join(), QByteArray("1113STARTTRACK:b\xe4"));
        QVERIFY(!w->RemotePauseBtn.enabled());
        peer->waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TestLinkPair)
#include "tst_linkpair.moc"
