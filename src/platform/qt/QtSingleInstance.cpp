#include "platform/qt/QtSingleInstance.h"

#include "platform/OwnFiles.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcInstance, "mirovell.instance", QtWarningMsg)

namespace {

const QByteArray kHello = "MIROVELL-ACTIVATE 1";
const QByteArray kPing = "MIROVELL-PING 1";
const QByteArray kAnswer = "OK";
constexpr qint64 kMaxRequest = 8192;
constexpr int kIdleMs = 5000;
// how long a three-line request waits for a fourth line, the file: older starts send none
constexpr int kFileLineWaitMs = 250;

QString userId()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    QString user = qEnvironmentVariable("USERNAME");
    return user.isEmpty() ? QStringLiteral("user") : user;
#endif
}

QByteArray encode(const QString& keys)
{
    return QUrl::toPercentEncoding(keys);
}

QString decode(const QByteArray& line)
{
    return QUrl::fromPercentEncoding(line);
}

}  // namespace

QtSingleInstance::QtSingleInstance(const QString& programPath, const QStringList& folders, QObject* parent)
    : ISingleInstance(parent)
{
    const QFileInfo program(programPath);
    QString canonical = program.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = program.absoluteFilePath();
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    name_ = QStringLiteral("mirovell-") + userId() + u'-' + QString::fromLatin1(hash);
    // a folder others may write lets them plant a lock or a socket under our names
    QStringList refused;
    for (const QString& f : folders) {
        QString why;
        const QString folder = ownfiles::privateFolder(QDir(f).absolutePath(), &why);
        if (!folder.isEmpty()) {
            folder_ = folder;
            break;
        }
        refused << why;
    }
    if (folder_.isEmpty())
        problem_ = refused.isEmpty() ? QStringLiteral("no folder for the lock") : refused.join(QStringLiteral("; "));
}

QtSingleInstance::~QtSingleInstance()
{
    if (server_)
        server_->close();  // removes the socket file
    if (lock_)
        lock_->unlock();
}

QStringList QtSingleInstance::defaultFolders()
{
    return platform::userRuntimeDirCandidates();
}

QString QtSingleInstance::lockPath() const
{
    return folder_.isEmpty() ? QString() : folder_ + u'/' + name_ + QStringLiteral(".lock");
}

QString QtSingleInstance::socketPath() const
{
    return folder_.isEmpty() ? QString() : folder_ + u'/' + name_ + QStringLiteral(".socket");
}

bool QtSingleInstance::holdsLock() const
{
    return lock_ && lock_->isLocked();
}

bool QtSingleInstance::isListening() const
{
    return server_ && server_->isListening();
}

bool QtSingleInstance::ownedByOtherUser(const QString& path) const
{
    // the entry itself: a link of someone else's counts as theirs, wherever it points
    const QFileInfo info(path);
    return (info.exists() || info.isSymLink()) && !ownfiles::isOurs(path);
}

bool QtSingleInstance::anotherInstanceRunning()
{
    if (folder_.isEmpty()) {
        qCWarning(lcInstance).noquote() << "starting without handing over to a running instance:" << problem_;
        return false;
    }
    lock_ = std::make_unique<QLockFile>(lockPath());
    // an instance may run for weeks: only a dead owner makes the lock stale, never its age
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        listen();
        return false;
    }
    if (lock_->error() == QLockFile::LockFailedError && !ownedByOtherUser(lockPath())) {
        qint64 pid = 0;
        QString host, app;
        if (lock_->getLockInfo(&pid, &host, &app) || probe())
            return true;
        // a lock nobody can have written whole and nobody answers for: left by a crash
        qCWarning(lcInstance) << "removing an unreadable instance lock" << lockPath();
        if (lock_->removeStaleLockFile() && lock_->tryLock(0)) {
            listen();
            return false;
        }
    }
    // no lock here: without it, only an answering instance counts, and this start goes on
    qCWarning(lcInstance).noquote() << "starting without the instance lock: it cannot be taken at" << lockPath();
    lock_.reset();
    if (probe())
        return true;
    listen();
    return false;
}

void QtSingleInstance::listen()
{
    const QString path = socketPath();
    if (path.isEmpty())
        return;
    if (ownedByOtherUser(path)) {
        qCWarning(lcInstance) << "the instance socket belongs to another user; later starts cannot reach us" << path;
        return;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // a socket file left by a crashed instance; ours, as we hold the lock or nobody answered
    if (holdsLock())
        QLocalServer::removeServer(path);
    if (!server_->listen(path)) {
        qCWarning(lcInstance) << "cannot listen for later starts:" << server_->errorString();
        delete server_;
        server_ = nullptr;
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection())
            serve(s);
    });
}

void QtSingleInstance::serve(QLocalSocket* socket)
{
    socket->setParent(this);
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, &QLocalSocket::abort);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::errorOccurred, socket, &QObject::deleteLater);
    auto* fileLine = new QTimer(socket);
    fileLine->setSingleShot(true);
    const auto activate = [this, socket, fileLine] {
        fileLine->stop();
        const QList<QByteArray> lines = socket->readAll().split('\n');
        if (lines.value(0) != kHello) {
            socket->abort();
            return;
        }
        const QString keys1 = decode(lines.value(1));
        const QString keys2 = decode(lines.value(2));
        qCInfo(lcInstance) << "activation request received";
        emit activationRequested(keys1, keys2);
        // only a whole fourth line names a file; our current folder is not the sender's
        const QString file = lines.size() > 4 ? decode(lines.at(3)) : QString();
        if (QDir::isAbsolutePath(file))
            emit openRequested(file);
        socket->write(kAnswer + '\n');
        socket->disconnectFromServer();
    };
    connect(fileLine, &QTimer::timeout, socket, activate);
    connect(socket, &QLocalSocket::readyRead, socket, [socket, fileLine, activate] {
        if (socket->bytesAvailable() > kMaxRequest) {
            socket->abort();
            return;
        }
        // a ping is one line; an activation is hello, keys1, keys2 and, from newer starts, the file
        const QByteArray buffered = socket->peek(kMaxRequest);
        if (buffered.startsWith(kPing + '\n')) {
            socket->readAll();
            socket->write(kAnswer + '\n');
            socket->disconnectFromServer();
            return;
        }
        const qsizetype lines = buffered.count('\n');
        if (lines < 3)
            return;
        // an older start sends three lines and waits for the answer
        if (lines == 3) {
            if (!fileLine->isActive())
                fileLine->start(kFileLineWaitMs);
            return;
        }
        activate();
    });
    idle->start(kIdleMs);
}

bool QtSingleInstance::probe()
{
    const QString path = socketPath();
    if (path.isEmpty() || !QFileInfo::exists(path) || ownedByOtherUser(path))
        return false;
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kConnectWaitMs))
        return false;
    socket.write(kPing + '\n');
    return socket.waitForBytesWritten(kConnectWaitMs) && readAnswer(socket);
}

bool QtSingleInstance::readAnswer(QLocalSocket& socket)
{
    QElapsedTimer waited;
    waited.start();
    QByteArray answer;
    while (!answer.contains('\n') && waited.elapsed() < kAnswerWaitMs) {
        if (!socket.waitForReadyRead(int(kAnswerWaitMs - waited.elapsed())))
            break;
        answer += socket.readAll();
    }
    return answer.startsWith(kAnswer + '\n');
}

bool QtSingleInstance::activateRunning(const QString& keys1, const QString& keys2, const QString& file)
{
    // always four lines, in one write, so that the running instance need not wait for the fourth
    QByteArray request = kHello + '\n' + encode(keys1) + '\n' + encode(keys2) + '\n';
    QByteArray fileLine = QUrl::toPercentEncoding(file, "/") + '\n';
    if (request.size() + fileLine.size() > kMaxRequest) {
        qCWarning(lcInstance) << "the file's name is too long to hand over:" << file;
        fileLine = "\n";
    }
    request += fileLine;
    const QString path = socketPath();
    if (path.isEmpty())
        return false;
    QLocalSocket socket;
    // the running instance may have taken the lock a moment ago and not be listening yet
    QDeadlineTimer deadline(kConnectWaitMs);
    while (true) {
        if (QFileInfo::exists(path) && !ownedByOtherUser(path)) {
            socket.connectToServer(path);
            if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
                break;
            socket.abort();
        }
        if (deadline.hasExpired()) {
            qCWarning(lcInstance) << "the running instance does not answer at" << path;
            return false;
        }
        QThread::msleep(50);
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(kConnectWaitMs))
        return false;
    return readAnswer(socket);
}
