// The lock and the socket for real: a running instance on its own thread, later starts from
// the test's thread, and the ways a lock folder or a socket name can be spoiled. Then where text
// meets bytes, files replaced whole or not at all, and the path helpers; their other cases are met
// where the settings file, the drop import, the link messages and the VLC path use them.
#include "Doubles.h"
#include "platform/Codec.h"
#include "platform/Installation.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"
#include "platform/qt/QtSingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>

#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An instance that runs its own event loop, as the first start of the program does.
struct Running {
    Running(const QString& program, const QStringList& folders) : instance(new QtSingleInstance(program, folders))
    {
        instance->moveToThread(&thread);
        thread.start();
        run([this] {
            QObject::connect(instance, &ISingleInstance::activationRequested, instance,
                             [this](const QString& k1, const QString& k2) { requests_ << k1 + u'|' + k2; });
            otherFound = instance->anotherInstanceRunning();
            holdsLock = instance->holdsLock();
            listening = instance->isListening();
        });
    }
    ~Running()
    {
        run([this] { delete instance; });
        thread.quit();
        thread.wait();
    }
    void run(const std::function<void()>& f) { QMetaObject::invokeMethod(instance, f, Qt::BlockingQueuedConnection); }
    QStringList requests()
    {
        QStringList copy;
        run([&] { copy = requests_; });
        return copy;
    }
    QThread thread;
    QtSingleInstance* instance;
    QStringList requests_;
    bool otherFound = false, holdsLock = false, listening = false;
};

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        folder_ = dir_->filePath("run");
        program_ = dir_->filePath("mirovell");
        QFile(program_).open(QIODevice::WriteOnly);
    }

    // Whatever spoils the lock folder or the socket's name, or a killed instance left behind, the
    // first start runs, and a later start reaches it or ends without hanging. The built program
    // handing over to itself is met in scripts/tour.sh.
    void spoiled_data()
    {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<bool>("found");    // the later start sees a running instance
        QTest::addColumn<bool>("reached");  // and its request arrives
        QTest::newRow("garbage lock") << "garbage lock" << true << true;
        QTest::newRow("lock and socket of a killed instance") << "killed" << true << true;
        QTest::newRow("lock folder cannot be made") << "blocked" << false << false;
        QTest::newRow("lock folder refuses files") << "read-only" << false << false;
        QTest::newRow("first folder unusable, the next one works") << "blocked, fallback" << true << true;
        QTest::newRow("socket name taken by what is no socket and cannot be removed")
            << "socket taken" << true << false;
        QTest::newRow("instance too busy to read") << "busy" << true << false;
    }

    void spoiled()
    {
        QFETCH(QString, spoil);
        QFETCH(bool, found);
        QFETCH(bool, reached);
        const QString bad = dir_->filePath("bad");
        QStringList folders{folder_};
        if (spoil.startsWith(u"blocked")) {
            QFile(bad).open(QIODevice::WriteOnly);  // not even root makes a folder below a file
            folders = spoil.endsWith(u"fallback") ? QStringList{bad + "/run", folder_} : QStringList{bad + "/run"};
        } else if (spoil == u"read-only") {
            if (::geteuid() == 0)
                QSKIP("root writes anywhere");
            QDir().mkpath(bad);
            QFile::setPermissions(bad, QFile::ReadOwner | QFile::ExeOwner);
            folders = {bad};
        }
        QtSingleInstance second(program_, folders);
        if (spoil == u"garbage lock") {
            QFile garbage(second.lockPath());
            QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("\x01\x02garbage") > 0);
        } else if (spoil == u"socket taken") {
            QDir().mkpath(second.socketPath() + "/keep");
        } else if (spoil == u"killed") {
            QProcess gone;  // a process id nobody has now
            gone.start("true");
            QVERIFY(gone.waitForStarted());
            const qint64 pid = gone.processId();
            QVERIFY(gone.waitForFinished());
            writeFile(second.lockPath(),
                      QByteArray::number(pid) + "\ntrue\n" + QSysInfo::machineHostName().toUtf8() + '\n');
            sockaddr_un address{};  // a socket file nobody listens on any more
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, QFile::encodeName(second.socketPath()).constData(), sizeof address.sun_path);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::close(fd) == 0);
        }
        QLockFile lock(second.lockPath());
        QLocalServer busy;  // takes the connection, nobody reads
        std::optional<Running> first;
        if (spoil == u"busy") {
            QVERIFY(lock.tryLock(0) && busy.listen(second.socketPath()));
        } else {
            first.emplace(program_, folders);
            QVERIFY(!first->otherFound);
            QCOMPARE(first->holdsLock, found);
            if (found)
                QCOMPARE(first->listening, reached);
        }
        QCOMPARE(second.lockPath().isEmpty(), !found);
        QCOMPARE(second.anotherInstanceRunning(), found);
        QCOMPARE(second.activateRunning("^o", "{ENTER}\nx"), reached);
        if (first)
            QCOMPARE(first->requests(), reached ? QStringList{"^o|{ENTER}\nx"} : QStringList());
        // a copy in another folder is another program
        QVERIFY(!QtSingleInstance(dir_->filePath("copy/mirovell"), folders).anotherInstanceRunning());
        QFile::setPermissions(bad, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void filesOfAnotherUser()
    {
        if (::geteuid() != 0)
            QSKIP("only root can give a file to another user");
        QtSingleInstance second(program_, {folder_});
        QLocalServer foreign;
        QVERIFY(foreign.listen(second.socketPath()));
        // and a lock file of that user, naming a live process (this one)
        {
            QFile lock(second.lockPath());
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                       QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
                       QSysInfo::machineHostName().toUtf8() + '\n');
        }
        for (const QString& f : {second.socketPath(), second.lockPath()})
            QVERIFY(::chown(QFile::encodeName(f).constData(), 65534, 65534) == 0);

        Running first(program_, {folder_});
        QVERIFY(!first.otherFound);  // another user's lock does not stop us
        QVERIFY(!first.listening);   // and another user's socket is left alone
        QVERIFY(QFileInfo::exists(second.socketPath()));
        QVERIFY(!second.activateRunning(QString(), QString()));  // never talks to it
        QVERIFY(!foreign.hasPendingConnections());
    }

    void garbageOnTheSocket()
    {
        Running first(program_, {folder_});
        QtSingleInstance second(program_, {folder_});
        for (const QByteArray& junk : {QByteArray("HELLO\n\n\n"), QByteArray(20000, 'x')}) {
            QLocalSocket s;
            s.connectToServer(second.socketPath());
            QVERIFY(s.waitForConnected(2000));
            s.write(junk);
            s.waitForBytesWritten(2000);
            s.waitForDisconnected(8000);  // the running instance hangs up
            QCOMPARE(s.state(), QLocalSocket::UnconnectedState);
        }
        QVERIFY(first.requests().isEmpty());
        QVERIFY(second.activateRunning(QString(), QString()));  // it still serves real requests
        QCOMPARE(first.requests().size(), 1);
    }

    void decodeLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("Empf\xC3\xA4nger") << QStringLiteral("Empfänger");
        QTest::newRow("windows-1252 euro and quotes") << QByteArray("\x80 \x93x\x94") << QStringLiteral("€ “x”");
        QTest::newRow("truncated utf-8 falls back") << QByteArray("a\xC3") << QStringLiteral("aÃ");
        QTest::newRow("overlong utf-8 falls back") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    }
    void decodeLine() { QTEST(codec::decodeLine(row<QByteArray>("bytes")), "text"); }

    void windows1252RoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(codec::toWindows1252(codec::fromWindows1252(all)), all);
        QCOMPARE(codec::toWindows1252(QStringLiteral("日本 😀")), QByteArray("?? ?"));
        // lines end at CR LF, CR or LF; LF CR is two breaks
        QCOMPARE(codec::splitLines("a\n\rb\r\nc\r").size(), 4);
    }

    void failedWriteKeepsOldFile()
    {
        const QString dir = dir_->filePath("ro");
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + "/keep.m3u";
        writeFile(file, "old");
        // the temporary file cannot be created beside the target: the old file stays whole
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        const bool rootCanWrite = QFile(dir + "/probe").open(QIODevice::WriteOnly);
        QFile::remove(dir + "/probe");
        const bool ok = textfile::writeLines(file, {"new"});
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ok, rootCanWrite);
        QCOMPARE(readAll(file), rootCanWrite ? QByteArray("new\r\n") : QByteArray("old"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"keep.m3u"});
    }

    void replacedThroughALink()
    {
        // a file kept elsewhere and linked here stays a link to a file of the same mode
        const QString real = dir_->filePath("real.m3u"), link = dir_->filePath("link.m3u");
        writeFile(real, "old");
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
        const QFile::Permissions mode = QFile::permissions(real);
        QVERIFY(QFile::link(real, link) && textfile::writeLines(link, {"new"}));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(real), mode);
    }

    void folders_data()
    {
        QTest::addColumn<QString>("path");       // relative names are looked up in a folder holding the file "vlc"
        QTest::addColumn<QString>("folder");     // FolderOf; %1 = that folder
        QTest::addColumn<QString>("separated");  // AddTrailingSeparator; "-" = refused
        // clang-format off
        QTest::newRow("existing file") << "%1/vlc" << "%1/" << "%1/vlc/";
        QTest::newRow("existing file, no separator") << "vlc" << "" << "vlc";
        QTest::newRow("existing folder") << "%1" << "%1" << "%1/";
        QTest::newRow("missing file is itself") << "C:\\x\\vlc.exe" << "C:\\x\\vlc.exe" << "C:\\x\\vlc.exe\\";
        QTest::newRow("ends in its separator") << "C:\\a\\" << "C:\\a\\" << "C:\\a\\";
        QTest::newRow("quoted") << "\"C:\\a\"" << "\"C:\\a\"" << "\"C:\\a\\\"";
        QTest::newRow("mixed: the backslash decides") << "/a\\b" << "/a\\b" << "/a\\b\\";
        QTest::newRow("empty") << "" << "" << "-";
        // clang-format on
    }
    void folders()
    {
        QFETCH(QString, path);
        QTemporaryDir dir;
        QFile(dir.filePath("vlc")).open(QIODevice::WriteOnly);
        const auto at = [&dir](QString t) { return t.replace("%1", dir.path()); };
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString found = paths::FolderOf(at(path));
        QDir::setCurrent(before);
        QCOMPARE(found, at(row<QString>("folder")));
        QCOMPARE(paths::AddTrailingSeparator(at(path)).value_or("-"), at(row<QString>("separated")));
    }

    void installedCopy_data()
    {
        // folders inside a temporary folder that holds bin/ and link -> bin; "" for none
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("installFolder");
        QTest::addColumn<bool>("installed");
        // clang-format off
        QTest::newRow("the install folder") << "bin/" << "bin" << true;
        QTest::newRow("reached through a link") << "link/" << "bin" << true;
        QTest::newRow("another folder") << "/" << "bin" << false;
        QTest::newRow("install folder missing") << "bin/" << "nowhere" << false;
        QTest::newRow("no install folder") << "bin/" << "" << false;
        // clang-format on
    }
    void installedCopy()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        QVERIFY(QFile::link(dir.path() + "/bin", dir.path() + "/link"));
        const auto at = [&](const QString& p) { return p.isEmpty() ? p : dir.path() + u'/' + p; };
        QTEST(installation::isInstalledCopy(at(row<QString>("programFolder")), at(row<QString>("installFolder"))),
              "installed");
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_, program_;
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
