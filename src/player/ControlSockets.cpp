#include "player/ControlSockets.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace controlsockets {

namespace {

#ifdef Q_OS_UNIX
// The user's own socket, the entry itself: a link is never followed.
bool ownSocket(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
}

// Someone accepts connections there (a connect to a socket without a listener fails at once).
bool listenedOn(const QByteArray& path)
{
    sockaddr_un address{};
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true;  // not knowable: kept
    const int r = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    const bool listening = r == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return listening;
}
#endif

}  // namespace

QString pathFor(const QString& folder, qint64 pid, int number)
{
    return folder + QStringLiteral("/mirovell-vlc-") + QString::number(pid) + u'-' + QString::number(number) +
           QStringLiteral(".sock");
}

bool remove(const QString& path)
{
#ifdef Q_OS_UNIX
    const QByteArray p = QFile::encodeName(path);
    return !p.isEmpty() && ownSocket(p) && ::unlink(p.constData()) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

int removeStale(const QString& folder)
{
    int removed = 0;
#ifdef Q_OS_UNIX
    if (folder.isEmpty())
        return 0;
    static const QRegularExpression ours(QStringLiteral("^mirovell-vlc-[0-9]+-[0-9]+\\.sock$"));
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("mirovell-vlc-*.sock")}, QDir::System | QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (!ours.match(name).hasMatch())
            continue;
        const QByteArray p = QFile::encodeName(folder + u'/' + name);
        if (ownSocket(p) && !listenedOn(p) && ::unlink(p.constData()) == 0)
            ++removed;
    }
#else
    Q_UNUSED(folder);
#endif
    return removed;
}

}  // namespace controlsockets
