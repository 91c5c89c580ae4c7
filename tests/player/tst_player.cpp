#include "Doubles.h"
#include "platform/qt/QtProcessLauncher.h"
#include "player/ControlSockets.h"
#include "player/RunFile.h"
#include "player/VlcCommand.h"
#include "player/VlcControl.h"
#include "player/VlcStarter.h"

#include <QLocalServer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QUdpSocket>

#include <unistd.h>

namespace {

// Real processes; counts the starts made while a process started before still runs.
struct CheckingLauncher : QtProcessLauncher {
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) override
    {
        for (qint64 pid : pids)
            overlaps += isRunning(pid);
        pids.push_back(QtProcessLauncher::start(program, arguments, style));
        return pids.back();
    }
    std::vector<qint64> pids;
    int overlaps = 0;
};

// A socket file no one listens on, as a VLC that ended leaves it.
bool leaveSocket(const QString& path)
{
    const QString bind = QStringLiteral("import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])");
    return QProcess::execute(QStringLiteral("python3"), {QStringLiteral("-c"), bind, path}) == 0;
}

}  // namespace

// The player's command lines (a stand-in records them), the check of VLC's path, the one sending
// VLC and its control connection, the socket files ended sessions leave, and files opened with the
// desktop's associations.
class PlayerTest : public QObject {
    Q_OBJECT
    // a desktop of our own in temporary XDG folders: the system's MIME types, none of its programs
    QTemporaryDir xdg_;
    QString browser_, player_, editor_;
    const QByteArray mimeapps_ = "[Default Applications]\ntext/html=testbrowser.desktop\n"
                                 "video/x-matroska=missing.desktop;testplayer.desktop\n";

private slots:
    void startsThePlayer_data()
    {
        QTest::addColumn<QString>("folder");    // below the test folder: the player and the program
        QTest::addColumn<QString>("protocol");  // "-" = local playback
        QTest::addColumn<QString>("argument");  // what the player gets; %1 = the temporary play list
        // picking up from a sender's group: scripts/three-pcs.sh
        // clang-format off
        QTest::newRow("local") << "my prog" << "-" << "%1";
        QTest::newRow("receive, protocol in capitals with blanks") << "my prog" << " RTP " << "rtp://@";
        QTest::newRow("receive, no protocol") << "prog" << "" << "://@";
        // clang-format on
    }
    void startsThePlayer()
    {
        QFETCH(QString, folder);
        QFETCH(QString, protocol);
        QFETCH(QString, argument);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(folder)));
        writeProgram(dir.filePath(folder + "/vlc"), kArgsRecorder);
        writeFile(dir.filePath(folder + "/mirovell.ini"),
                  "[LastSettings]\r\nMinimizeOnStart=1\r\nAutoSavePlaylist=0\r\n");
        QtProcessLauncher launcher;
        TestWindow w({.folder = dir.filePath(folder), .processes = &launcher});
        w->Form_Load();
        w->VlcPath.setText(w.path("vlc"));
        w->ProtokollCombo.setText(protocol);
        w->FilmList.addItems({"/m/a film.mkv", "/m/b.avi"});
        (protocol == u"-" ? w->Command2 : w->StartClientBtn).fire(ControlEvent::Click);

        const QString record = w.path("args.txt");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QCOMPARE(QString::fromUtf8(readAll(record)), (protocol == u"-" ? argument.arg(w.kept()) : argument) + u'\n');
        QVERIFY(w.host.minimized && w.dialogs.messages.empty());
        QCOMPARE(readAll(w.kept()), protocol == u"-" ? QByteArray("#EXTM3U\r\n/m/a film.mkv\r\n/m/b.avi\r\n") : "");
    }

    void locationCheck_data()
    {
        QTest::addColumn<QString>("pathText");  // %1 = test folder (no trailing '/'); it holds the file "vlc"
        QTest::addColumn<bool>("green");        // the field's colour when it loses the focus
        QTest::addColumn<QString>("answer");    // the file dialog's answer; "-" = not asked
        QTest::addColumn<QString>("startedWith");
        QTest::addColumn<QString>("dialogStart");  // folder the dialog opens in
        QTest::addColumn<bool>("send");            // the send start instead of the local one
        // clang-format off
        QTest::newRow("found") << "%1/vlc" << true << "-" << "%1/vlc" << "" << false;
        QTest::newRow("quoted, blanks around") << " \"%1/vlc\"" << true << "-" << "%1/vlc" << "" << false;
        QTest::newRow("missing, chosen") << "/nowhere/vlc" << false << "%1/vlc" << "%1/vlc" << "/nowhere/" << false;
        QTest::newRow("missing, cancelled") << "/nowhere/vlc" << false << "" << "/nowhere/vlc" << "/nowhere/" << false;
        QTest::newRow("bare name is a cancel") << "/nowhere/vlc" << false << "vlc" << "/nowhere/vlc" << "/nowhere/" << false;
        QTest::newRow("folder with files passes") << "%1" << false << "-" << "%1" << "" << false;
        QTest::newRow("empty folder") << "%1/empty" << false << "%1/vlc" << "%1/vlc" << "%1/empty/" << false;
        QTest::newRow("only quotes, cancelled") << "\"\"" << false << "" << "" << "" << false;
        QTest::newRow("send start, empty, cancelled") << "" << false << "" << "" << "" << true;
        // clang-format on
    }
    void locationCheck()
    {
        QFETCH(QString, pathText);
        QFETCH(QString, answer);
        QFETCH(QString, startedWith);
        TestWindow w;
        const auto at = [root = w.folderPath.chopped(1)](QString t) { return t.replace("%1", root); };
        writeFile(w.path("vlc"), "#!/bin/sh\n");
        QDir().mkpath(w.path("empty"));
        w->Form_Load();
        w->FilmList.addItem("/m/a.avi");
        w->VlcPath.setText(at(pathText));
        w->VlcPath.fire(ControlEvent::GotFocus);
        QCOMPARE(w->VlcPath.foreColor(), kSystemWindowText);
        w->VlcPath.fire(ControlEvent::LostFocus);
        QCOMPARE(w->VlcPath.foreColor(), row<bool>("green") ? qint64(0x008000) : qint64(0x0000FF));
        QCOMPARE(w->VlcPath.backColor(), qint64(0xFFFFFF));
        if (answer != u"-")
            w.dialogs.answerOpenFile(at(answer));
        QFETCH(bool, send);
        send ? w->RunVLCBtn_Click() : w->Command2_Click();

        QCOMPARE(w.dialogs.messages.size(), size_t(answer == u"-" ? 0 : 1));
        if (answer != u"-") {
            QCOMPARE(w.dialogs.messages[0].title, "VLC.exe nicht gefunden");
            QCOMPARE(w.dialogs.messages[0].text, "VLC.exe konnte in diesem Pfad nicht gefunden werden: \r'" +
                                                     at(pathText) + "'\r\rBitte den Pfad auswählen");
            QCOMPARE(w.dialogs.openFileCalls,
                     QStringList{"VLC.EXE wurde nicht gefunden|" + at(row<QString>("dialogStart")) +
                                 "|vlc|vlc*|vlc*|Alle Dateien|*.*"});
        }
        QCOMPARE(w.launcher.starts.size(), size_t(startedWith.isEmpty() ? 0 : 1));
        if (send)  // nor is the streaming list written
            QVERIFY(!QFile::exists(w.kept()));
        if (!startedWith.isEmpty())
            QCOMPARE(w.launcher.starts[0].program, at(startedWith));
    }

    // Each entry goes to the running VLC as one word of its command line: VLC's reader splits at
    // blanks and groups by quotes, so neither may stay in what it is given.
    void entriesAsVlcNamesThem_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("mrl");
        QTest::newRow("blank") << QString("/m/clip one.mpg") << "file:///m/clip%20one.mpg";
        QTest::newRow("quotes") << QString("/m/Rock'n'Roll \"live\".mpg")
                                << "file:///m/Rock%27n%27Roll%20%22live%22.mpg";
        QTest::newRow("umlaut and hash") << QString("/m/Übung #2.mpg") << "file:///m/%C3%9Cbung%20%232.mpg";
        QTest::newRow("line break") << QString("/m/a\nquit") << "file:///m/a%0Aquit";
        QTest::newRow("an address") << QString("http://host/a b.ts") << "http://host/a%20b.ts";
        QTest::newRow("a colon option after a blank")
            << QString("/m/x :sout=#file{dst=/tmp/y}") << "file:///m/x%20:sout=%23file%7Bdst=/tmp/y%7D";
    }
    void entriesAsVlcNamesThem() { QTEST(VlcControl::mrlFor(row<QString>("entry")), "mrl"); }

    // Exactly one sending VLC runs: a restart waits, on the event loop, until the old one has
    // ended, and kills it when it does not end within the grace period.
    void sendingVlcEndsBeforeTheNextStarts_data()
    {
        QTest::addColumn<QByteArray>("onTerm");  // what the stand-in does when it is told to end
        QTest::addColumn<bool>("killed");
        QTest::newRow("ends at once") << QByteArray("exit 0") << false;
        QTest::newRow("ends after 300 ms") << QByteArray("sleep 0.3; exit 0") << false;
        QTest::newRow("ignores it") << QByteArray() << true;
    }
    void sendingVlcEndsBeforeTheNextStarts()
    {
        QTemporaryDir dir;
        const QString player = dir.filePath("vlc"), list = dir.filePath("list.m3u");
        writeProgram(player,
                     "#!/bin/sh\ntrap '" + row<QByteArray>("onTerm") + "' TERM\nwhile :; do sleep 0.05; done\n");
        Control path("VlcPath", ControlKind::TextBox, nullptr, {}, player);
        CheckingLauncher launcher;
        ScriptedDialogs dialogs;
        const int grace = 1500;
        VlcStarter starter(path, launcher, dialogs, grace);
        const QStringList options{"#EXTVLCOPT:sout=#standard{dst=h}"};
        starter.startSending(list, options);
        QCOMPARE(launcher.pids.size(), size_t(1));
        const qint64 first = starter.sendingVlcProcess();
        QTest::qWait(200);  // the stand-in has set up its trap
        QElapsedTimer waited;
        waited.start();
        starter.startSending(list, options);
        starter.startSending(list, options);  // still one start waits
        QTRY_COMPARE_WITH_TIMEOUT(launcher.pids.size(), size_t(2), 10000);
        QTEST(waited.elapsed() >= grace, "killed");
        QCOMPARE(launcher.overlaps, 0);
        QVERIFY(!launcher.isRunning(first));
        QCOMPARE(starter.sendingVlcProcess(), launcher.pids.back());
        starter.shutDown();
        launcher.kill(launcher.pids.back());
    }

    void initTestCase()
    {
        const QString root = xdg_.path();
        for (const char* sub : {"config", "data/applications", "sys", "my bin"})
            QVERIFY(QDir().mkpath(root + u'/' + QLatin1String(sub)));
        QVERIFY(QFile::link("/usr/share/mime", root + "/sys/mime"));
        // programs that write their arguments to args.txt, and their desktop entries
        for (auto [program, name, exec] : {std::tuple{&browser_, "browser", "--new-window %u"},
                                           {&player_, "player", "--play %F"},
                                           {&editor_, "editor", "--edit %F"}}) {
            *program = root + "/my bin/" + QLatin1String(name);
            writeProgram(*program, kArgsRecorder);
            writeFile(root + QStringLiteral("/data/applications/test%1.desktop").arg(QLatin1String(name)),
                      "[Desktop Entry]\nType=Application\nName=Test\nExec=\"" + program->toUtf8() + "\" " + exec +
                          '\n');
        }
        for (auto [name, value] : {std::pair{"XDG_CONFIG_HOME", "config"},
                                   {"XDG_CONFIG_DIRS", "config"},
                                   {"XDG_DATA_HOME", "data"},
                                   {"XDG_DATA_DIRS", "sys"}})
            qputenv(name, (root + u'/' + QLatin1String(value)).toUtf8());
        writeFile(root + "/config/mimeapps.list", mimeapps_);
    }

    // Existing files are asked about directly, missing ones through a short-lived probe file.
    void findAssociatedProgram_data()
    {
        QTest::addColumn<QString>("path");  // below a fresh folder
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("answer");       // -1 not asked, else MessageAnswer
        QTest::addColumn<QString>("program");  // the data rows are made after initTestCase
        QTest::newRow("existing file") << "a/page.html" << true << -1 << browser_;
        QTest::newRow("other letter case") << "a/PAGE.HTM" << true << -1 << browser_;
        QTest::newRow("unknown type") << "a/data.zzqq" << true << -1 << QString();
        QTest::newRow("known type, no program") << "a/picture.png" << true << -1 << QString();
        QTest::newRow("missing file") << "a/gone.html" << false << -1 << browser_;
        QTest::newRow("missing folder, first entry missing") << "nowhere/a film.mkv" << false << -1 << player_;
        QTest::newRow("leading star") << "a/*.html" << false << -1 << browser_;
        QTest::newRow("star inside, cancel") << "a/x*y.html" << false << int(MessageAnswer::Yes) << QString();
        QTest::newRow("star inside, go on") << "a/x*y.html" << false << int(MessageAnswer::No) << browser_;
        QTest::newRow("no extension, no program") << "a/README" << false << -1 << QString();
        QTest::newRow("backslashes") << "a\\b.html" << false << -1 << browser_;
    }
    void findAssociatedProgram()
    {
        QFETCH(bool, exists);
        QFETCH(int, answer);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("a")));
        const QString file = dir.filePath(row<QString>("path"));
        if (exists)
            writeFile(file, " \r\n");
        ScriptedDialogs dialogs;
        if (answer >= 0)
            dialogs.answerMessage(MessageAnswer(answer));
        const QString cwd = QDir::currentPath();
        QTEST(runfile::FindAssociatedProgram(&dialogs, file), "program");
        QCOMPARE(QDir::currentPath(), cwd);
        QCOMPARE(QFile::exists(file), exists);  // a file made for the look-up is gone again
        if (answer >= 0)
            QCOMPARE(dialogs.messages.at(0).text, "x*y.htmlEnthält ungültige Zeichen Abbrechen?");
    }

    // The kept list opens in the desktop's plain-text handler, never in the play list's own (the player).
    void openKeptListInEditor()
    {
        writeFile(xdg_.filePath("config/mimeapps.list"),
                  mimeapps_ + "text/plain=testeditor.desktop\naudio/x-mpegurl=testplayer.desktop\n");
        TestWindow w;
        w->Form_Load();
        w->List_Count.fire(ControlEvent::Click);
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        QCOMPARE(QStringList{w.launcher.starts[0].program} + w.launcher.starts[0].arguments,
                 (QStringList{editor_, "--edit", w.kept()}));
        // no editor anywhere: the user is told, nothing ends
        writeFile(xdg_.filePath("config/mimeapps.list"), mimeapps_);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", xdg_.path().toLocal8Bit());
        w->List_Count.fire(ControlEvent::Click);
        qputenv("PATH", path);
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        QCOMPARE(w.dialogs.messages.size(), size_t(1));
        QVERIFY(w.dialogs.messages[0].text.contains(w.kept()));
    }

    void openInBrowser()
    {
        const QString address = "https://example.org/seite?a=1&b=%20x";
        QtProcessLauncher launcher;
        QVERIFY(runfile::OpenInBrowser(launcher, address, WindowStyle::NormalFocus) > 0);
        const QString record = QFileInfo(browser_).path() + "/args.txt";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QCOMPARE(readAll(record), "--new-window\n" + address.toUtf8() + '\n');  // the whole Exec line

        // no browser: the desktop's URL opener
        writeFile(xdg_.filePath("config/mimeapps.list"), "[Default Applications]\n");
        RecordingLauncher opener;
        QVERIFY(runfile::OpenInBrowser(opener, address, WindowStyle::NormalFocus) > 0);
        QCOMPARE(opener.starts.at(0).program + u' ' + opener.starts.at(0).arguments.join(u' '), "xdg-open " + address);
    }

    // The real VLC over TCP to 127.0.0.1 (the way on Windows; the local socket is steered by the real
    // program in scripts/two-pcs.sh and scripts/web-remote.sh) is reached, plays the track asked for, pauses.
    void steersTheRealVlc()
    {
        const QString cvlc = QStandardPaths::findExecutable("cvlc"), ffmpeg = QStandardPaths::findExecutable("ffmpeg");
        if (cvlc.isEmpty() || ffmpeg.isEmpty())
            QSKIP("needs cvlc and ffmpeg (scripts/deps.sh installs them)");
        QTemporaryDir dir;
        QFile::setPermissions(dir.path(), QFile::Permissions(0x7777));  // VLC may run as another user
        const QStringList clips{dir.filePath("clip one.mpg"), dir.filePath("clip two.mpg")};
        for (const QString& clip : clips)
            QCOMPARE(
                QProcess::execute(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                                           "testsrc=duration=30:size=320x240:rate=25", "-c:v", "mpeg2video", clip}),
                0);
        QTcpServer probe;  // for a free port
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const vlc::ControlAddress address{QString(), probe.serverPort()};
        probe.close();
        QUdpSocket sink;  // the stream goes here
        QVERIFY(sink.bind(QHostAddress::LocalHost));
        const vlc::Command command = vlc::sendingControlled(
            cvlc, clips.at(0),
            {QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ts,dst=127.0.0.1:%1,access=udp}").arg(sink.localPort())},
            address);
        QStringList line = QStringList{command.program} + command.arguments;
        if (::geteuid() == 0)  // VLC refuses to run as root: then as the ordinary user the test stages use
            line = QStringList{"setpriv", "--reuid=mirovell-test", "--regid=mirovell-test", "--init-groups"} + line;
        QProcess vlc;
        vlc.start(line.takeFirst(), line);
        QVERIFY(vlc.waitForStarted());
        VlcControl control;
        QSignalSpy attached(&control, &VlcControl::attached);
        QSignalSpy playing(&control, &VlcControl::nowPlaying);
        control.attach(address, {clips.at(0)}, [&vlc] { return vlc.state() == QProcess::Running; });
        QTRY_VERIFY_WITH_TIMEOUT(attached.count() == 1, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(control.playingIndex(), 0, 5000);

        control.play({clips.at(0), clips.at(1)}, 1);
        QTRY_COMPARE_WITH_TIMEOUT(control.playingIndex(), 1, 5000);
        control.play({clips.at(1), clips.at(0)}, 0);  // the requested one first, as a request does
        QTRY_COMPARE_WITH_TIMEOUT(control.playingIndex(), 0, 5000);
        QCOMPARE(control.entries().first(), clips.at(1));
        // a pause while VLC still opens the track can be lost: paused once it streams the track
        while (sink.hasPendingDatagrams())
            sink.receiveDatagram();
        QTRY_VERIFY_WITH_TIMEOUT(sink.hasPendingDatagrams(), 5000);
        control.pause();
        QTRY_VERIFY_WITH_TIMEOUT(control.paused(), 5000);
        QVERIFY(control.ready());  // no command went unanswered

        control.detach();
        vlc.terminate();
        QVERIFY(vlc.waitForFinished(10000));
    }

    // Only what is certainly a left socket of ours goes.
    void staleSocketsGo()
    {
        QTemporaryDir run;
        const QString dir = run.path();
        const auto ours = [&dir](qint64 pid) { return controlsockets::pathFor(dir, pid, 1); };
        QVERIFY(leaveSocket(ours(4711)));
        QVERIFY(leaveSocket(dir + "/other-vlc-4711-1.sock"));  // not our name
        QLocalServer live;                                     // a VLC that still listens
        QVERIFY(live.listen(ours(4712)));
        writeFile(ours(4713), "not a socket");
        QVERIFY(leaveSocket(dir + "/target.sock"));
        QVERIFY(QFile::link(dir + "/target.sock", ours(4714)));  // never followed

        QCOMPARE(controlsockets::removeStale(dir), 1);
        QVERIFY(!QFile::exists(ours(4711)));
        for (const QString& kept : {dir + "/other-vlc-4711-1.sock", ours(4712), ours(4713), dir + "/target.sock"})
            QVERIFY2(QFile::exists(kept), qPrintable(kept));
        QVERIFY(QFileInfo(ours(4714)).isSymLink());
        QVERIFY(!controlsockets::remove(ours(4714)));  // a link is not ours to remove
        QVERIFY(!controlsockets::remove(ours(4713)));  // nor a plain file
    }
};

QTEST_GUILESS_MAIN(PlayerTest)
#include "tst_player.moc"
