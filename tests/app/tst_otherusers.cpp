// Another user on the same PC, made real: links and files of the user mirovell-test (planted by root
// with lchown) where the program keeps its lock, its settings and its kept list. Nothing planted may
// stop a start, take the lock, or be written through. Rows needing that user skip when not root.
#include "Doubles.h"
#include "app/Settings.h"
#include "platform/OwnFiles.h"
#include "platform/ProgramEnvironment.h"
#include "platform/TextFile.h"
#include "platform/qt/QtSingleInstance.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// none unless the test runs as root
const passwd* otherUser()
{
    return ::geteuid() == 0 ? ::getpwnam("mirovell-test") : nullptr;
}

// Hands path (a link itself, not where it points) to the other user.
bool giveAway(const QString& path)
{
    const passwd* other = otherUser();
    return other && ::lchown(QFile::encodeName(path).constData(), other->pw_uid, other->pw_gid) == 0;
}

bool setMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

// The program's path in the names the locks had in the shared temporary folder, before they
// moved to a folder of the user's own.
QString pathHash(const QString& program, QCryptographicHash::Algorithm algorithm)
{
    const QByteArray path = QFileInfo(program).canonicalFilePath().toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(path, algorithm).toHex().left(16));
}

}  // namespace

class OtherUsersTest : public QObject {
    Q_OBJECT
    const QString systemTmp_ = QDir::tempPath();  // before init() moves it
    std::unique_ptr<QTemporaryDir> dir_;

    QString path(const QString& name) const { return dir_->filePath(name); }
    // start-up's settings for a program in app/, the user's configuration folder being config/
    Settings startUp() const
    {
        ProgramEnvironment env;
        env.programFolder = path("app/");
        env.exeBaseName = "mirovell";
        env.configFolder = path("config");
        Settings settings;
        settings.InitSettingsFile(env);
        return settings;
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>(systemTmp_ + "/tst_otherusers-XXXXXX");
        // the other user must reach into it, as into /tmp
        QVERIFY(setMode(dir_->path(), 0755) && QDir().mkdir(path("tmp")) && setMode(path("tmp"), 01777));
        QVERIFY(QDir().mkdir(path("app")) && setMode(path("app"), 0700));
        // the lock folders under tmp, no runtime folder of the session's, and a home of the test's
        qputenv("TMPDIR", QFile::encodeName(path("tmp")));
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("HOME", QFile::encodeName(path("home")));
    }

    // What sits under the lock folder's name decides whether it is used; whatever it is, the program
    // starts, the updater does not step back as if another update ran, and a refused folder is named
    // with the reason. Nothing planted is followed or removed.
    void lockFolder_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::addColumn<bool>("needsOtherUser");
        QTest::addColumn<QString>("refusal");  // "" when the folder is used
        QTest::newRow("nothing: the folder is made") << "" << false << "";
        QTest::newRow("dangling link of another user under the old lock name") << "old lock" << true << "";
        QTest::newRow("the folder is a link") << "link" << false << "is a symbolic link";
        QTest::newRow("the folder is a link of another user") << "foreign link" << true << "is a symbolic link";
        QTest::newRow("the folder belongs to another user") << "foreign folder" << true << "belongs to another user";
        QTest::newRow("the folder is open to everyone") << "open folder" << false << "not 0700";
    }
    void lockFolder()
    {
        QFETCH(QString, planted);
        QFETCH(QString, refusal);
        if (row<bool>("needsOtherUser") && !otherUser())
            QSKIP("needs root and the user mirovell-test (scripts/test.sh makes it)");
        const QString tmp = path("tmp");
        const QString folder = tmp + QStringLiteral("/mirovell-%1").arg(::geteuid());
        const QString program = path("mirovell");
        QVERIFY(QFile::copy("/bin/true", program));  // the updater starts it again
        QVERIFY(QDir().mkdir(path("elsewhere")));
        QStringList links;
        if (planted == u"old lock") {  // the program's and the updater's
            links << tmp + QStringLiteral("/mirovell-%1-%2.lock")
                               .arg(::geteuid())
                               .arg(pathHash(program, QCryptographicHash::Sha256))
                  << tmp + "/mirovell-updater-" + pathHash(program, QCryptographicHash::Sha1) + ".lock";
            for (const QString& lock : links)
                QVERIFY(QFile::link(path("nowhere"), lock) && giveAway(lock));
        } else if (planted.endsWith(u"link")) {
            links << folder;
            QVERIFY(QFile::link(path("elsewhere"), folder));
            QVERIFY(planted == u"link" || giveAway(folder));
        } else if (planted == u"foreign folder") {
            QVERIFY(QDir().mkdir(folder) && setMode(folder, 0700) && giveAway(folder));
        } else if (planted == u"open folder") {
            QVERIFY(QDir().mkdir(folder) && setMode(folder, 0777));
        }
        QString why;
        QCOMPARE(platform::userRuntimeDir(&why), refusal.isEmpty() ? folder : QString());
        QVERIFY2(why.contains(refusal), qPrintable(why));
        // the bad address ends the updater right after its lock, the old program started again
        QProcess updater;
        updater.start(QStringLiteral(MIROVELL_UPDATER),
                      {"[URL]ftp://127.0.0.1/mirovell", "[PATH]" + program, "--console-only"});
        QVERIFY(updater.waitForFinished(60000));
        const QByteArray errors = updater.readAllStandardError();
        QCOMPARE(updater.exitCode(), 2);  // not 9: "already running"
        QVERIFY2(refusal.isEmpty() || errors.contains(folder.toUtf8()), errors.constData());

        QtSingleInstance first(program);
        if (!refusal.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("starting without handing over.*" + refusal));
        QVERIFY(!first.anotherInstanceRunning());
        QCOMPARE(first.holdsLock(), refusal.isEmpty());
        QCOMPARE(first.isListening(), refusal.isEmpty());
        QVERIFY(first.problem().contains(refusal));
        if (refusal.isEmpty()) {
            QCOMPARE(QFileInfo(first.lockPath()).path(), folder);
            QtSingleInstance second(program);
            QVERIFY(second.anotherInstanceRunning());  // the hand-over still works
        }
        // nothing planted was followed: the other folder stays empty, nothing appears where a link points
        QCOMPARE(QDir(path("elsewhere")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList());
        QVERIFY(!QFile::exists(path("nowhere")));
        for (const QString& link : links)
            QVERIFY(QFileInfo(link).isSymLink());
    }

    // A settings file or kept list under a name someone else prepared is never written through
    // or replaced; the victim's file keeps its content.
    void saves_data()
    {
        QTest::addColumn<QString>("planted");
        QTest::newRow("link of another user to the user's file") << "foreign link";
        QTest::newRow("dangling link of another user") << "foreign dangling link";
        QTest::newRow("the user's link to a file of another user") << "link to foreign";
        QTest::newRow("a file of another user") << "foreign file";
    }
    void saves()
    {
        QFETCH(QString, planted);
        if (!otherUser())
            QSKIP("needs root and the user mirovell-test (scripts/test.sh makes it)");
        const QString ini = path("app/mirovell.ini"), kept = path("app/mirovell_TmpPlst.m3u");
        const QString victim = path("bashrc");
        const QByteArray before = "export PATH=$HOME/bin:$PATH\n";
        writeFile(victim, before);
        for (const QString& name : {ini, kept}) {
            if (planted == u"foreign file") {
                writeFile(name, before);
                QVERIFY(giveAway(name));
                continue;
            }
            QVERIFY(QFile::link(planted.contains(u"dangling") ? path("nowhere") : victim, name));
            if (planted.startsWith(u"foreign"))
                QVERIFY(giveAway(name));
        }
        if (planted == u"link to foreign")
            QVERIFY(giveAway(victim));

        const Settings settings = startUp();
        QCOMPARE(settings.SettingsFilePath(), ini);
        settings.write(Settings::kLast, "LastConnection", "10.0.0.9");
        textfile::writeLines(kept, {"#EXTM3U"});
        textfile::removeFile(kept);

        QCOMPARE(readAll(victim), before);
        QVERIFY(!QFile::exists(path("nowhere")));
        // what the other user planted stays; the user's own link may go with the kept list
        if (planted.startsWith(u"foreign"))
            for (const QString& name : {ini, kept})
                QVERIFY(QFileInfo(name).isSymLink() || readAll(name) == before);
    }

    // Only a folder of the user's alone keeps the settings beside the program; any other goes to
    // the user's configuration folder.
    void programFolder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("othersGroup");
        QTest::addColumn<bool>("beside");
        QTest::newRow("the user's alone") << 0755 << false << true;
        QTest::newRow("world-writable") << 0777 << false << false;
        QTest::newRow("world-writable and sticky, as /tmp") << 01777 << false << false;
        QTest::newRow("group-writable, another user's group") << 0775 << true << false;
    }
    void programFolder()
    {
        QFETCH(int, mode);
        const bool othersGroup = row<bool>("othersGroup");
        if (othersGroup && !otherUser())
            QSKIP("needs root and the user mirovell-test (scripts/test.sh makes it)");
        QVERIFY(setMode(path("app"), mode_t(mode)));
        if (othersGroup)
            QVERIFY(::chown(QFile::encodeName(path("app")).constData(), ::geteuid(), otherUser()->pw_gid) == 0);
        const QString folder = row<bool>("beside") ? path("app") : path("config");
        QCOMPARE(QFileInfo(startUp().SettingsFilePath()).path(), folder);
        QVERIFY(QFile::exists(folder + "/mirovell.ini"));
        QCOMPARE(QFile::exists(path("app/mirovell.ini")), row<bool>("beside"));
    }

    // Start-up removes the copies of saves cut short, and nothing else.
    void leftovers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");  // "file", "foreign file", "link"
        QTest::addColumn<bool>("removed");
        // clang-format off
        QTest::newRow("a save cut short") << "mirovell.ini.part-AbC123" << "file" << true;
        QTest::newRow("the kept list's, cut short") << "mirovell_TmpPlst.m3u.part-x9Y8z7" << "file" << true;
        QTest::newRow("another program's") << "Mirovell.ini.part-Abc123" << "file" << false;
        QTest::newRow("a character the program never picks") << "mirovell_TmpPlst.m3u.part-A_1234" << "file" << false;
        QTest::newRow("the user's backup") << "mirovell.ini.part-backup" << "file" << false;
        QTest::newRow("all capitals and digits") << "mirovell.ini.part-OLD123" << "file" << false;
        QTest::newRow("a link") << "mirovell.ini.part-AbC123" << "link" << false;
        QTest::newRow("another user's") << "mirovell.ini.part-AbC123" << "foreign file" << false;
        // clang-format on
    }
    void leftovers()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        if (kind.startsWith(u"foreign") && !otherUser())
            QSKIP("needs root and the user mirovell-test (scripts/test.sh makes it)");
        const QString leftover = path("app/") + name;
        writeFile(path("elsewhere"), "keep");
        if (kind == u"link")
            QVERIFY(QFile::link(path("elsewhere"), leftover));
        else
            writeFile(leftover, "cut");
        if (kind.startsWith(u"foreign"))
            QVERIFY(giveAway(leftover));
        startUp();
        QCOMPARE(!QFileInfo(leftover).exists() && !QFileInfo(leftover).isSymLink(), row<bool>("removed"));
        QCOMPARE(readAll(path("elsewhere")), QByteArray("keep"));
    }
};

QTEST_GUILESS_MAIN(OtherUsersTest)
#include "tst_otherusers.moc"
