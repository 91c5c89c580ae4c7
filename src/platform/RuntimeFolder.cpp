#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace runtimefolder {

#ifdef Q_OS_UNIX
namespace {

// A folder that another user made, or a link planted in its place, could hand our socket to them.
bool ownPrivateFolder(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

}  // namespace

QString userRuntimeFolder()
{
    const QByteArray xdg = qgetenv("XDG_RUNTIME_DIR");
    if (!xdg.isEmpty() && ownPrivateFolder(xdg))
        return QString::fromLocal8Bit(xdg);
    const QString folder = QDir::tempPath() + QStringLiteral("/mirovell-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return ownPrivateFolder(native) ? folder : QString();
}
#else
QString userRuntimeFolder()
{
    // there the control interface listens on the loopback address instead
    return {};
}
#endif

}  // namespace runtimefolder
