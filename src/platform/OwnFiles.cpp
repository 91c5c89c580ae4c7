#include "platform/OwnFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ownfiles {

#ifdef Q_OS_UNIX
namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A group made for the user alone, as Debian makes one per user: same name, no other member.
bool groupOfOursAlone(gid_t gid)
{
    const passwd* user = ::getpwuid(::geteuid());
    if (!user || user->pw_gid != gid)
        return false;
    const QByteArray userName(user->pw_name);
    const group* g = ::getgrgid(gid);
    if (!g || userName != g->gr_name)
        return false;
    for (char** member = g->gr_mem; member && *member; ++member)
        if (userName != *member)
            return false;
    return true;
}

}  // namespace
#endif

bool isOurs(const QString& path)
{
    if (path.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == ::geteuid();
#else
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
#endif
}

bool othersMayWrite(const QString& folder)
{
    if (folder.isEmpty())
        return true;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return true;
    if (st.st_uid != ::geteuid() || (st.st_mode & S_IWOTH))
        return true;
    return (st.st_mode & S_IWGRP) && !groupOfOursAlone(st.st_gid);
#else
    return false;
#endif
}

QString privateFolder(const QString& path, QString* why)
{
    const auto refuse = [&](const QString& reason) {
        if (why)
            *why = path + QStringLiteral(": ") + reason;
        return QString();
    };
    if (path.isEmpty())
        return refuse(QStringLiteral("no folder given"));
    // a trailing slash would make lstat follow a link
    const QString folder = QDir::cleanPath(path);
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) == 0) {
        // a umask may have taken the owner's bits
        if (::chmod(name.constData(), 0700) != 0)
            return refuse(QStringLiteral("cannot be set to mode 0700 (%1)").arg(lastError()));
    } else if (errno != EEXIST) {
        return refuse(QStringLiteral("cannot be made (%1)").arg(lastError()));
    }
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return refuse(lastError());
    if (S_ISLNK(st.st_mode))
        return refuse(QStringLiteral("is a symbolic link"));
    if (!S_ISDIR(st.st_mode))
        return refuse(QStringLiteral("is not a folder"));
    if (st.st_uid != ::geteuid())
        return refuse(QStringLiteral("belongs to another user (uid %1)").arg(st.st_uid));
    if ((st.st_mode & 07777) != 0700)
        return refuse(QStringLiteral("has mode %1, not 0700").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0')));
#else
    if (!QDir().mkpath(folder))
        return refuse(QStringLiteral("cannot be made"));
#endif
    return folder;
}

}  // namespace ownfiles

namespace platform {

QStringList userRuntimeDirCandidates()
{
    QStringList folders;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        folders << runtime;
#ifdef Q_OS_UNIX
    folders << QDir::tempPath() + QStringLiteral("/mirovell-") + QString::number(::geteuid());
#else
    folders << QDir::tempPath();  // the user's own on Windows
#endif
    return folders;
}

QString userRuntimeDir(QString* why)
{
    QStringList refused;
    for (const QString& candidate : userRuntimeDirCandidates()) {
        QString reason;
        const QString folder = ownfiles::privateFolder(candidate, &reason);
        if (!folder.isEmpty())
            return folder;
        refused << reason;
    }
    if (why)
        *why = refused.join(QStringLiteral("; "));
    return QString();
}

}  // namespace platform
