#include "platform/AtomicSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace atomicsave {

namespace {

const QLatin1StringView kMarker(".part-");
constexpr int kRandomLength = 6;
const QLatin1StringView kRandomChars("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");

// A link is followed, so that a settings file kept elsewhere and linked here stays where it is.
QString targetOf(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
    }
    return path;
}

QString temporaryName(const QString& target)
{
    QString name = target + kMarker;
    for (int i = 0; i < kRandomLength; ++i)
        name += kRandomChars[QRandomGenerator::global()->bounded(int(kRandomChars.size()))];
    return name;
}

bool syncToDisk(QFile& file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

bool replace(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(QFileInfo(from).filesystemFilePath(), QFileInfo(to).filesystemFilePath(), error);
    return !error;
}

}  // namespace

bool isLeftoverName(const QString& name, const QString& fileName)
{
    if (name.size() != fileName.size() + kMarker.size() + kRandomLength || !name.startsWith(fileName) ||
        QStringView(name).sliced(fileName.size(), kMarker.size()) != kMarker)
        return false;
    for (QChar c : QStringView(name).last(kRandomLength))
        if (!kRandomChars.contains(c))
            return false;
    return true;
}

bool save(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
    const QString target = targetOf(path);
    QFile file;
    // the name is random, so a taken one is unlikely; a few tries get past it
    for (int attempt = 0; attempt < 5; ++attempt) {
        file.setFileName(temporaryName(target));
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
    }
    if (!file.isOpen())
        return false;
    bool ok = file.write(bytes) == bytes.size() && syncToDisk(file);
    file.close();
    ok = ok && file.error() == QFileDevice::NoError;
    if (ok && QFileInfo::exists(target))
        file.setPermissions(QFile::permissions(target));
    if (!ok || !replace(file.fileName(), target)) {
        file.remove();
        return false;
    }
    return true;
}

int removeLeftovers(const QString& path)
{
    if (path.isEmpty())
        return 0;
    const QFileInfo target(targetOf(path));
    QDir folder = target.dir();
    int removed = 0;
    const QString fileName = target.fileName();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks))
        if (isLeftoverName(name, fileName) && folder.remove(name))
            ++removed;
    return removed;
}

}  // namespace atomicsave
