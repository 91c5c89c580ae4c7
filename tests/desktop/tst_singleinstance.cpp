// The lock and the socket for real: a running instance on its own thread, later starts from
// the test's thread, and the ways a lock folder or a socket name can be spoiled.
#include "platform/qt/QtSingleInstance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMutex>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

// An instance that runs its own event loop, as the first start of the program does.
class Running {
public:
    Running(const QString& program, const QStringList& folders)
    {
        instance_ = new QtSingleInstance(program, folders);
        instance_->moveToThread(&thread_);
        thread_.start();
        QMetaObject::invokeMethod(
            instance_,
            [this] {
                instance_->setActivationHandler([this](const QString& k1, const QString& k2) {
                    QMutexLocker lock(&mutex_);
                    requests_ << k1 + u'|' + k2;
                });
                otherFound_ = instance_->anotherInstanceRunning();
            },
            Qt::BlockingQueuedConnection);
    }
    ~Running()
    {
        QMetaObject::invokeMethod(instance_, [this] { delete instance_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool otherFound() const { return otherFound_; }
    bool listening() const { return instance_->isListening(); }
    bool holdsLock() const { return instance_->holdsLock(); }
    QStringList requests()
    {
        QMutexLocker lock(&mutex_);
        return requests_;
    }

private:
    QThread thread_;
    QtSingleInstance* instance_ = nullptr;
    bool otherFound_ = false;
    QMutex mutex_;
    QStringList requests_;
};

qint64 endedPid()
{
    QProcess p;
    p.start(QStringLiteral("true"), {});
    p.waitForFinished();
    return p.processId() ? p.processId() : 999999;
}

// A socket file nobody listens on, as a killed instance leaves it.
bool leaveDeadSocket(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const QByteArray p = QFile::encodeName(path);
    if (fd < 0 || size_t(p.size()) >= sizeof(addr.sun_path))
        return false;
    memcpy(addr.sun_path, p.constData(), size_t(p.size()));
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
#else
    Q_UNUSED(path);
    return false;
#endif
}

}  // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private slots:
    void init();
    void secondStartReachesFirst();
    void leftovers_data();
    void leftovers();
    void unusableFolders_data();
    void unusableFolders();
    void socketNameTaken();
    void filesOfAnotherUser();
    void runningInstanceThatDoesNotAnswer();
    void garbageOnTheSocket();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    QString program_;
};

void TestSingleInstance::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    folder_ = dir_->filePath(QStringLiteral("run"));
    program_ = dir_->filePath(QStringLiteral("bin/mirovell"));
    QDir().mkpath(QFileInfo(program_).path());
    QFile(program_).open(QIODevice::WriteOnly);
}

void TestSingleInstance::secondStartReachesFirst()
{
    Running first(program_, {folder_});
    QVERIFY(!first.otherFound());
    QVERIFY(first.holdsLock());
    QVERIFY(first.listening());

    QtSingleInstance second(program_, {folder_});
    QVERIFY(second.anotherInstanceRunning());
    QVERIFY(!second.holdsLock());
    QVERIFY(second.activateRunning(QStringLiteral("^o"), QStringLiteral("{ENTER}\nx")));
    QVERIFY(second.activateRunning(QString(), QString()));
    QCOMPARE(first.requests(), (QStringList{QStringLiteral("^o|{ENTER}\nx"), QStringLiteral("|")}));
}

// Whatever a dead instance left behind, the next start runs and later starts reach it.
void TestSingleInstance::leftovers_data()
{
    QTest::addColumn<QByteArray>("lockContent");   // "" for no lock file
    QTest::addColumn<bool>("deadSocket");
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    const QByteArray stale = QByteArray::number(endedPid()) + "\nmirovell\n" + host + "\n";
    QTest::newRow("stale lock") << stale << false;
    QTest::newRow("stale lock and dead socket") << stale << true;
    QTest::newRow("dead socket only") << QByteArray() << true;
    QTest::newRow("unreadable lock") << QByteArray("\x01\x02garbage") << false;
    QTest::newRow("empty lock") << QByteArray("\n") << true;
}

void TestSingleInstance::leftovers()
{
    QFETCH(QByteArray, lockContent);
    QFETCH(bool, deadSocket);
    QtSingleInstance probe(program_, {folder_});
    if (!lockContent.isEmpty()) {
        QFile lock(probe.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(lockContent);
    }
    if (deadSocket)
        QVERIFY(leaveDeadSocket(probe.socketPath()));

    Running first(program_, {folder_});
    QVERIFY(!first.otherFound());
    QVERIFY(first.holdsLock());
    QVERIFY(first.listening());
    QtSingleInstance second(program_, {folder_});
    QVERIFY(second.anotherInstanceRunning());
    QVERIFY(second.activateRunning(QString(), QString()));
    QCOMPARE(first.requests().size(), 1);
}

void TestSingleInstance::unusableFolders_data()
{
    QTest::addColumn<bool>("fallback");
    QTest::newRow("no folder can be made") << false;
    QTest::newRow("first folder cannot be made, the next one can") << true;
}

void TestSingleInstance::unusableFolders()
{
    QFETCH(bool, fallback);
    // a file where the folder should be: not even root can make a folder below it
    const QString blocker = dir_->filePath(QStringLiteral("blocker"));
    QFile(blocker).open(QIODevice::WriteOnly);
    QStringList folders{blocker + QStringLiteral("/run")};
    if (fallback)
        folders << folder_;

    Running first(program_, folders);
    QVERIFY(!first.otherFound());   // starts
    QtSingleInstance second(program_, folders);
    if (fallback) {
        QVERIFY(second.anotherInstanceRunning());
        QVERIFY(second.activateRunning(QString(), QString()));
        QCOMPARE(first.requests().size(), 1);
    } else {
        QVERIFY(second.lockPath().isEmpty());
        QVERIFY(!second.anotherInstanceRunning());   // nothing to go by: it starts too
        QVERIFY(!second.activateRunning(QString(), QString()));
    }
#ifdef Q_OS_UNIX
    if (::geteuid() != 0) {
        // a folder that exists but refuses files
        const QString readOnly = dir_->filePath(QStringLiteral("readonly"));
        QDir().mkpath(readOnly);
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
        QtSingleInstance third(program_, {readOnly});
        QVERIFY(third.lockPath().isEmpty());
        QVERIFY(!third.anotherInstanceRunning());
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
#endif
}

void TestSingleInstance::socketNameTaken()
{
    // something that is no socket and cannot be removed sits at the socket's name
    const QString socketPath = QtSingleInstance(program_, {folder_}).socketPath();
    QDir().mkpath(socketPath);
    QFile(socketPath + QStringLiteral("/keep")).open(QIODevice::WriteOnly);

    Running first(program_, {folder_});
    QVERIFY(!first.otherFound());   // starts without a socket
    QVERIFY(first.holdsLock());
    QVERIFY(!first.listening());
    QtSingleInstance second(program_, {folder_});
    QVERIFY(second.anotherInstanceRunning());   // the lock still tells
    QVERIFY(!second.activateRunning(QString(), QString()));   // and it gives up instead of hanging
}

void TestSingleInstance::filesOfAnotherUser()
{
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        QSKIP("only root can give a file to another user");
    const QString socketPath = QtSingleInstance(program_, {folder_}).socketPath();
    QLocalServer foreign;
    QVERIFY(foreign.listen(socketPath));
    QVERIFY(::chown(QFile::encodeName(socketPath).constData(), 65534, 65534) == 0);

    // and a lock file of that user, naming a live process (this one)
    QtSingleInstance names(program_, {folder_});
    QFile lock(names.lockPath());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
               QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
               QSysInfo::machineHostName().toUtf8() + '\n');
    lock.close();
    QVERIFY(::chown(QFile::encodeName(names.lockPath()).constData(), 65534, 65534) == 0);

    Running first(program_, {folder_});
    QVERIFY(!first.otherFound());  // another user's lock does not stop us
    QVERIFY(!first.listening());   // and another user's socket is left alone
    QVERIFY(QFileInfo::exists(socketPath));
    QtSingleInstance second(program_, {folder_});
    QVERIFY(!second.activateRunning(QString(), QString()));   // never talks to it
    QVERIFY(!foreign.hasPendingConnections());
#else
    QSKIP("Unix only");
#endif
}

void TestSingleInstance::runningInstanceThatDoesNotAnswer()
{
    // an instance whose event loop is busy: the lock is held, the socket takes the connection,
    // nobody reads
    QtSingleInstance names(program_, {folder_});
    QLockFile lock(names.lockPath());
    QVERIFY(lock.tryLock(0));
    QLocalServer busy;
    QVERIFY(busy.listen(names.socketPath()));

    QtSingleInstance second(program_, {folder_});
    QVERIFY(second.anotherInstanceRunning());
    QVERIFY(!second.activateRunning(QStringLiteral("x"), QString()));
}

void TestSingleInstance::garbageOnTheSocket()
{
    Running first(program_, {folder_});
    QtSingleInstance names(program_, {folder_});
    for (const QByteArray& junk : {QByteArray("HELLO\n\n\n"), QByteArray(20000, 'x'), QByteArray("\n\n\n")}) {
        QLocalSocket s;
        s.connectToServer(names.socketPath());
        QVERIFY(s.waitForConnected(2000));
        s.write(junk);
        s.waitForBytesWritten(2000);
        s.waitForDisconnected(8000);   // the running instance hangs up
        QCOMPARE(s.state(), QLocalSocket::UnconnectedState);
    }
    QVERIFY(first.requests().isEmpty());
    QtSingleInstance second(program_, {folder_});
    QVERIFY(second.anotherInstanceRunning());
    QVERIFY(second.activateRunning(QString(), QString()));   // still serves real requests
    QCOMPARE(first.requests().size(), 1);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
