#include "platform/AtomicSave.h"

#include "platform/OwnFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <filesystem>
#include <iterator>
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

// A link of the user's own to a file of the user's own is followed, so that a settings file kept
// elsewhere and linked here stays where it is. A link or a file of someone else's is neither
// written through nor replaced: empty.
QString targetOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return path;
    if (!ownfiles::isOurs(path))
        return QString();
    if (!info.isSymLink())
        return path;
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return path;  // a dangling link of our own: the new file takes its place
    return ownfiles::isOurs(target) ? target : QString();
}

// Six characters, never all of one kind: an upper-case letter, a lower-case letter and a digit
// each at least, so that a name the user picked, such as "part-backup", is never taken for one.
QString temporaryName(const QString& target)
{
    QString random(kRandomLength, u'0');
    auto* generator = QRandomGenerator::global();
    for (QChar& c : random)
        c = kRandomChars[generator->bounded(int(kRandomChars.size()))];
    const QLatin1StringView kinds[] = {kRandomChars.sliced(0, 26), kRandomChars.sliced(26, 26),
                                       kRandomChars.sliced(52)};
    int places[kRandomLength] = {0, 1, 2, 3, 4, 5};
    std::shuffle(std::begin(places), std::end(places), *generator);
    for (int i = 0; i < 3; ++i)
        random[places[i]] = kinds[i][generator->bounded(int(kinds[i].size()))];
    return target + kMarker + random;
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
    bool upper = false, lower = false, digit = false;
    for (QChar c : QStringView(name).last(kRandomLength)) {
        if (!kRandomChars.contains(c))
            return false;
        upper = upper || c.isUpper();
        lower = lower || c.isLower();
        digit = digit || c.isDigit();
    }
    return upper && lower && digit;
}

bool save(const QString& path, const QByteArray& bytes)
{
    if (path.isEmpty())
        return false;
    const QString target = targetOf(path);
    if (target.isEmpty())
        return false;
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
    const QString resolved = targetOf(path);
    const QFileInfo target(resolved.isEmpty() ? path : resolved);
    QDir folder = target.dir();
    int removed = 0;
    const QString fileName = target.fileName();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks))
        if (isLeftoverName(name, fileName) && ownfiles::isOurs(folder.filePath(name)) && folder.remove(name))
            ++removed;
    return removed;
}

}  // namespace atomicsave
