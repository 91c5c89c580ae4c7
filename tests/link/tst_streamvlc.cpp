#include "LinkFixture.h"
#include "platform/qt/QtServices.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>
#include <unistd.h>

namespace {

const QString kUser = QStringLiteral("mirovell-test");

bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// VLC refuses to run as root: as root, the program's VLC starts as an ordinary user.
class UserLauncher : public IProcessLauncher {
public:
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) override
    {
        lastArguments = arguments;
        if (geteuid() != 0)
            return real.start(program, arguments, style);
        return real.start(QStringLiteral("runuser"), QStringList{"-u", kUser, "--", program} + arguments, style);
    }
    bool terminate(qint64 pid) override { return real.terminate(pid); }
    bool isRunning(qint64 pid) const override { return real.isRunning(pid); }

    QtProcessLauncher real;
    QStringList lastArguments;
};

}  // namespace

// The real VLC streams the program's play list to 127.0.0.1; the datagrams are caught on port 1234.
class TestStreamVlc : public QObject {
    Q_OBJECT

    QTemporaryDir media;

    QByteArray capture(MainWindow& w, UserLauncher& launcher, const QStringList& clips)
    {
        QUdpSocket udp;
        if (!udp.bind(QHostAddress::LocalHost, 1234))
            return {};
        w.FilmList.setItems(clips);
        w.RunVLCBtn_Click();
        const qint64 pid = w.sendingVlcProcess();
        if (pid == 0)
            return {};
        QByteArray got;
        QElapsedTimer total, quiet;
        total.start();
        quiet.start();
        // VLC idles after the list: the stream is over once the datagrams stop
        while (total.elapsed() < 60000 && (got.isEmpty() || quiet.elapsed() < 2500)) {
            udp.waitForReadyRead(100);
            while (udp.hasPendingDatagrams()) {
                QByteArray d(int(udp.pendingDatagramSize()), Qt::Uninitialized);
                udp.readDatagram(d.data(), d.size());
                got += d;
                quiet.restart();
            }
        }
        launcher.terminate(pid);
        return got;
    }

private slots:
    void initTestCase()
    {
        for (const char* tool : {"cvlc", "ffmpeg", "ffprobe"})
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1 is missing; scripts/deps.sh installs it").arg(QLatin1String(tool))));
        if (geteuid() == 0 && !run(QStringLiteral("id"), {kUser}))
            QVERIFY(run(QStringLiteral("useradd"), {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser}));
        QFile::setPermissions(media.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                                QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        for (const char* name : {"one", "two"}) {
            const QString clip = media.path() + QStringLiteral("/clip %1.mpg").arg(QLatin1String(name));
            QVERIFY(run(QStringLiteral("ffmpeg"),
                        {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=duration=3:size=320x240:rate=25", "-f",
                         "lavfi", "-i", QStringLiteral("sine=frequency=%1:duration=3").arg(name[0] == 'o' ? 440 : 660),
                         "-c:v", "mpeg2video", "-c:a", "mp2", "-shortest", clip}));
        }
    }

    void bothEntriesReachTheTarget()
    {
        UserLauncher launcher;
        LinkWindow lw(freeLinkPorts(), QStringLiteral("127.0.0.1"), &launcher);
        QFile::setPermissions(lw.folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                             QFile::ExeOther);
        MainWindow& window = *lw.window;
        window.VlcPath.setText(QStandardPaths::findExecutable(QStringLiteral("cvlc")));
        const QString one = media.path() + QStringLiteral("/clip one.mpg");
        const QString two = media.path() + QStringLiteral("/clip two.mpg");

        const QByteArray single = capture(window, launcher, {one});
        QVERIFY2(single.size() > 100000, qPrintable(QString::number(single.size())));
        QCOMPARE(launcher.lastArguments.mid(1),
                 (QStringList{":sout=#standard{mux=ts,dst=127.0.0.1,access=udp:}", ":ttl=1"}));
        const QByteArray both = capture(window, launcher, {one, two});
        const double ratio = double(both.size()) / double(single.size());
        qInfo("one clip %lld bytes, two clips %lld bytes, ratio %.2f", qint64(single.size()), qint64(both.size()), ratio);
        QVERIFY2(ratio > 1.6 && ratio < 2.4, qPrintable(QString::number(ratio)));
        QCOMPARE(both.size() % 188, 0);   // whole transport-stream packets

        const QString ts = media.path() + QStringLiteral("/capture.ts");
        writeFile(ts, both);
        QByteArray streams;
        QVERIFY(run(QStringLiteral("ffprobe"),
                    {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", ts}, &streams));
        QVERIFY2(streams.contains("video") && streams.contains("audio"), streams.constData());
    }
};

QTEST_GUILESS_MAIN(TestStreamVlc)
#include "tst_streamvlc.moc"
