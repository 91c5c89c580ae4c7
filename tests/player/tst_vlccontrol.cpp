// The sending VLC's control connection against the real VLC over TCP to 127.0.0.1 (the way on
// Windows; the local socket is steered by the real program in scripts/two-pcs.sh and
// scripts/web-remote.sh), and the socket files that ended sessions leave in the runtime folder.
#include "Doubles.h"
#include "player/ControlSockets.h"
#include "player/VlcCommand.h"
#include "player/VlcControl.h"

#include <QLocalServer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <unistd.h>

namespace {

// A socket file no one listens on, as a VLC that ended leaves it.
bool leaveSocket(const QString& path)
{
    const QString bind = QStringLiteral("import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])");
    return QProcess::execute(QStringLiteral("python3"), {QStringLiteral("-c"), bind, path}) == 0;
}

}  // namespace

class VlcControlTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString vlc_;
    QStringList clips_;

private slots:
    void initTestCase()
    {
        vlc_ = QStandardPaths::findExecutable("cvlc");
        const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
        if (vlc_.isEmpty() || ffmpeg.isEmpty())
            QSKIP("needs cvlc and ffmpeg (scripts/deps.sh installs them)");
        QFile::setPermissions(dir_.path(), QFile::Permissions(0x7777));  // VLC may run as another user
        clips_ = QStringList{dir_.filePath("clip one.mpg"), dir_.filePath("clip two.mpg")};
        for (const QString& clip : clips_)
            QCOMPARE(
                QProcess::execute(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i",
                                           "testsrc=duration=30:size=320x240:rate=25", "-c:v", "mpeg2video", clip}),
                0);
    }

    // VLC is reached, plays the track asked for, pauses.
    void steersTheRealVlc()
    {
        QTcpServer probe;  // for a free port
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const vlc::ControlAddress address{QString(), probe.serverPort()};
        probe.close();
        QUdpSocket sink;  // the stream goes here
        QVERIFY(sink.bind(QHostAddress::LocalHost));
        const vlc::Command command = vlc::sendingControlled(
            vlc_, clips_.at(0),
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
        control.attach(address, {clips_.at(0)}, [&vlc] { return vlc.state() == QProcess::Running; });
        QTRY_VERIFY_WITH_TIMEOUT(attached.count() == 1, 15000);
        QTRY_COMPARE_WITH_TIMEOUT(control.playingIndex(), 0, 5000);

        control.play({clips_.at(0), clips_.at(1)}, 1);
        QTRY_COMPARE_WITH_TIMEOUT(control.playingIndex(), 1, 5000);
        control.play({clips_.at(1), clips_.at(0)}, 0);  // the requested one first, as a request does
        QTRY_COMPARE_WITH_TIMEOUT(control.playingIndex(), 0, 5000);
        QCOMPARE(control.entries().first(), clips_.at(1));
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

QTEST_GUILESS_MAIN(VlcControlTest)
#include "tst_vlccontrol.moc"
