// The lock and the socket for real: a running instance on its own thread, later starts from
// the test's thread, and the ways a lock folder or a socket name can be spoiled.
#include "Doubles.h"
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

class TestSingleInstance : public QObject {
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

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_, program_;
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
