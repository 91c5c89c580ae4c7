#include "platform/TextFile.h"

#include "platform/AtomicSave.h"
#include "platform/Codec.h"
#include "platform/OwnFiles.h"

#include <QFile>
#include <QFileInfo>

namespace textfile {

ReadResult readLines(const QString& path, qint64 maxBytes)
{
    ReadResult result;
    if (path.isEmpty() || !fileExists(path))
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    const QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError) {
        result.status = ReadStatus::Unreadable;
        return result;
    }
    result.status = ReadStatus::Ok;
    const auto raw = codec::splitLines(bytes);
    result.lines.reserve(raw.size());
    for (QByteArrayView line : raw)
        result.lines.append(codec::decodeLine(line));
    return result;
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    return atomicsave::save(path, bytes);
}

bool writeLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    qsizetype size = 0;
    for (const QString& l : lines)
        size += l.size() + 2;
    bytes.reserve(size + size / 8);
    for (const QString& l : lines) {
        bytes += codec::encodeForFile(l);
        bytes += "\r\n";
    }
    return writeBytes(path, bytes);
}

bool fileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool folderExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool removeFile(const QString& path)
{
    // a link is removed itself, and only the user's own, like any file
    return fileExists(path) && ownfiles::isOurs(path) && QFile::remove(path);
}

bool createEmptyFile(const QString& path)
{
    // only a new file: a link planted under the name would have it made wherever it points
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

}  // namespace textfile
