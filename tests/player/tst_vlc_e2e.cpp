#include "Doubles.h"
#include "platform/qt/QtProcessLauncher.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {

const char* const kTestUser = "mirovell-test";

// Missing tools end the test: as a failure in CI, where they must be there, else as a skip.
#define REQUIRE(cond, why)                                                                                             \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            if (const QString ci = qEnvironmentVariable("CI"); !ci.isEmpty() && ci != u"false" && ci != u"0")          \
                QFAIL(why);                                                                                            \
            QSKIP(why);                                                                                                \
        }                                                                                                              \
    } while (false)

// When we are root VLC runs as an ordinary user: what it reads and writes is open to all.
const auto kOpenToAll = QFileDevice::Permissions(0x7777);

}  // namespace

// The list plays in the real VLC: the window writes its temporary play list and starts the
// player with its own command line; the player's log shows the clip opened and played through.
class VlcEndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        cvlc_ = QStandardPaths::findExecutable("cvlc");
        REQUIRE(!cvlc_.isEmpty(), "cvlc is not installed (packages vlc-bin, vlc-plugin-base)");
        REQUIRE(!QStandardPaths::findExecutable("ffmpeg").isEmpty(), "ffmpeg is not installed");
        if (::geteuid() == 0) {
            // VLC refuses to run as root
            REQUIRE(::getpwnam(kTestUser) != nullptr,
                    "the ordinary user mirovell-test is missing (scripts/test.sh makes it)");
            runAs_ = "runuser -u " + QLatin1String(kTestUser) + " -- ";
        }
    }

    void listPlaysToTheEnd()
    {
        QTemporaryDir dir;
        const QString films = dir.filePath("my films");
        const QString program = dir.filePath("program folder");
        const QString home = dir.filePath("home");
        for (const QString& f : {dir.path(), films, program, home})
            QVERIFY(QDir().mkpath(f) && QFile::setPermissions(f, kOpenToAll));
        const QString clip = films + "/clip one.mkv";
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                "testsrc=duration=3:size=160x120:rate=15", "-f", "lavfi", "-i",
                                "sine=frequency=440:duration=3", "-c:v", "mpeg4", "-c:a", "mp2", "-shortest", clip});
        QVERIFY(ffmpeg.waitForFinished(30000));
        QCOMPARE(ffmpeg.exitCode(), 0);
        QFile::setPermissions(clip, kOpenToAll);

        // the program starts this as its VLC; it hands every argument on to the real player
        const QString log = dir.filePath("vlc.log");
        const QString player = dir.filePath("vlc");
        writeProgram(player, QStringLiteral("#!/bin/sh\nexport HOME='%1'\nexec %2'%3' --play-and-exit -vv --vout dummy "
                                            "--aout dummy \"$@\" > '%4' 2>&1\n")
                                 .arg(home, runAs_, cvlc_, log)
                                 .toUtf8());

        QtProcessLauncher launcher;
        TestWindow doubles({.folder = program, .processes = &launcher});
        MainWindow& w = *doubles;
        w.Form_Load();
        w.VlcPath.setText(player);
        w.FilmList_OLEDragDrop({clip});
        w.LokalStarteBtn_Click();
        w.Command2.fire(ControlEvent::Click);

        QString out;
        QTRY_VERIFY_WITH_TIMEOUT((out = QString::fromUtf8(readAll(log))).contains("end of playlist, exiting"), 25000);
        const auto opened = [&](const QString& path) {
            return out.indexOf(
                QStringLiteral("`%1' successfully opened").arg(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)));
        };
        const qsizetype listOpened = opened(doubles.kept()), filmOpened = opened(clip);
        QVERIFY2(listOpened >= 0, qPrintable(out.right(3000)));
        QVERIFY2(filmOpened > listOpened, qPrintable(out.right(3000)));
        QVERIFY2(out.contains("using video decoder module"), "no video decoded");
        QVERIFY2(out.contains("using audio decoder module"), "no audio decoded");
        QVERIFY2(out.indexOf("EOF reached", filmOpened) > filmOpened, "the clip did not play to its end");
        QVERIFY(doubles.dialogs.messages.empty());
    }

private:
    QString cvlc_;
    QString runAs_;  // "" when we are an ordinary user already
};

QTEST_GUILESS_MAIN(VlcEndToEndTest)
#include "tst_vlc_e2e.moc"
