#include "playlist/PlaylistReader.h"

#include "platform/Codec.h"
#include "platform/PathHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <map>

namespace playlist {

namespace {

constexpr qint64 kChunkBytes = qint64(1) << 20;
// Longer lines are no path of any file system; skipping them keeps a line-less file from filling memory.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

bool isEntryLine(QByteArrayView line)
{
    for (char c : line) {
        if (c == ' ' || c == '\t')
            continue;
        return c != '#';
    }
    return false;  // blank
}

bool isEntry(const QString& line)
{
    for (QChar c : line) {
        if (c == u' ' || c == u'\t')
            continue;
        return c != u'#';
    }
    return false;
}

// Control bytes that no play list holds (tab, line breaks, form feed, ^Z and escape are let through).
bool looksBinary(QByteArrayView bytes)
{
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A && c != 0x1B)
            return true;
    }
    return false;
}

enum class ScanEnd { Done, Stopped, Binary, Failed };

// Hands every line (CR LF, CR or LF end one) to onLine, reading the file piece by piece; stops
// when onLine returns false. Lines longer than kMaxLineBytes are skipped whole.
ScanEnd scanLines(QFile& file, const std::function<bool(QByteArrayView)>& onLine)
{
    QByteArray partial;
    bool overlong = false;
    bool afterCR = false;
    bool first = true;
    auto emitLine = [&](QByteArrayView piece) {
        bool go = true;
        if (!overlong) {
            QByteArrayView line = piece;
            if (!partial.isEmpty()) {
                partial.append(piece);
                line = partial;
            }
            if (line.size() <= kMaxLineBytes) {
                if (first && line.startsWith("\xEF\xBB\xBF"))
                    line = line.sliced(3);
                go = onLine(line);
            }
        }
        first = false;
        partial.clear();
        overlong = false;
        return go;
    };
    for (;;) {
        // small files get a small buffer: read() allocates the whole size it is asked for
        const QByteArray chunk = file.read(qBound<qint64>(4096, file.size() - file.pos(), kChunkBytes));
        if (file.error() != QFileDevice::NoError)
            return ScanEnd::Failed;
        if (chunk.isEmpty())
            break;
        if (looksBinary(chunk))
            return ScanEnd::Binary;
        const qsizetype n = chunk.size();
        qsizetype i = 0;
        if (afterCR && chunk.at(0) == '\n')
            i = 1;
        afterCR = false;
        qsizetype start = i;
        for (; i < n; ++i) {
            const char c = chunk.at(i);
            if (c != '\r' && c != '\n')
                continue;
            if (!emitLine(QByteArrayView(chunk).sliced(start, i - start)))
                return ScanEnd::Stopped;
            if (c == '\r') {
                if (i + 1 < n) {
                    if (chunk.at(i + 1) == '\n')
                        ++i;
                } else {
                    afterCR = true;
                }
            }
            start = i + 1;
        }
        if (!overlong && start < n) {
            if (partial.size() + (n - start) > kMaxLineBytes) {
                overlong = true;
                partial.clear();
            } else {
                partial.append(QByteArrayView(chunk).sliced(start));
            }
        }
    }
    if (!overlong && !partial.isEmpty())
        emitLine({});
    return ScanEnd::Done;
}

ReadResult scanFile(const QString& path, const std::function<bool(QByteArrayView)>& onLine)
{
    ReadResult result;
    if (!textfile::fileExists(path))
        return result;
    // a pipe or device would block the window waiting for bytes that never end
    if (!QFileInfo(path).isFile()) {
        result.status = textfile::ReadStatus::Unreadable;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = textfile::ReadStatus::Unreadable;
        return result;
    }
    switch (scanLines(file, onLine)) {
    case ScanEnd::Done:
    case ScanEnd::Stopped: result.status = textfile::ReadStatus::Ok; break;
    case ScanEnd::Binary:
        result.binary = true;
        result.status = textfile::ReadStatus::Unreadable;
        break;
    case ScanEnd::Failed: result.status = textfile::ReadStatus::Unreadable; break;
    }
    return result;
}

bool endsWithNoCase(const QString& text, QLatin1StringView suffix)
{
    return text.endsWith(suffix, Qt::CaseInsensitive);
}

// "File12=value" (any case, blanks around the key and the "=") gives 12 and value.
bool plsFileKey(QByteArrayView line, int& number, QByteArrayView& value)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (n - i < 5 || QByteArrayView(line).sliced(i, 4).compare("file", Qt::CaseInsensitive) != 0)
        return false;
    i += 4;
    qint64 v = 0;
    const qsizetype digits = i;
    while (i < n && line[i] >= '0' && line[i] <= '9') {
        v = v * 10 + (line[i] - '0');
        if (v > 999999999)
            return false;
        ++i;
    }
    if (i == digits)
        return false;
    while (i < n && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i >= n || line[i] != '=')
        return false;
    number = int(v);
    value = line.sliced(i + 1).trimmed();
    return true;
}

ReadResult readPls(const QString& path, int maxEntries)
{
    std::map<int, QByteArray> files;
    ReadResult result = scanFile(path, [&](QByteArrayView line) {
        int number = 0;
        QByteArrayView value;
        if (!plsFileKey(line, number, value) || value.isEmpty() || files.count(number))
            return true;  // the first value of a key holds, as in any INI file
        files.emplace(number, value.toByteArray());
        // keep only the lowest numbers: they are the ones that fit into the list
        if (files.size() > size_t(std::max(maxEntries, 0)))
            files.erase(std::prev(files.end()));
        return true;
    });
    if (result.status != textfile::ReadStatus::Ok)
        return result;
    const QString folder = paths::LeadingPath(path);
    for (const auto& [number, value] : files) {
        const QString text = codec::decodeLine(value);  // a stray byte-order mark decodes to nothing
        if (!text.trimmed().isEmpty())
            result.entries.append(resolveEntry(text, folder));
    }
    return result;
}

}  // namespace

ReadResult readEntries(const QString& path, int maxEntries)
{
    QStringList entries;
    ReadResult result = scanFile(path, [&](QByteArrayView line) {
        if (entries.size() >= maxEntries)
            return false;
        if (isEntryLine(line)) {
            // decoding drops a byte-order mark, which may leave a blank or a directive
            const QString text = codec::decodeLine(line);
            if (isEntry(text))
                entries.append(text);
        }
        return true;
    });
    if (result.status == textfile::ReadStatus::Ok)
        result.entries = entries;
    return result;
}

ReadResult readPlaylist(const QString& path, int maxEntries)
{
    if (endsWithNoCase(path, QLatin1StringView(".pls")))
        return readPls(path, maxEntries);
    ReadResult result = readEntries(path, maxEntries);
    const QString folder = paths::LeadingPath(path);
    for (QString& entry : result.entries)
        entry = resolveEntry(entry, folder);
    return result;
}

bool isPlaylistName(const QString& path)
{
    for (const char* ext : {".m3u", ".m3u8", ".pls", ".lst"})
        if (endsWithNoCase(path, QLatin1StringView(ext)))
            return true;
    return false;
}

bool isUrl(const QString& entry)
{
    const qsizetype colon = entry.indexOf(QStringLiteral("://"));
    if (colon < 1 || !entry.at(0).isLetter() || entry.at(0).unicode() > 0x7F)
        return false;
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = entry.at(i);
        if (c.unicode() > 0x7F || !(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return true;
}

QString resolveEntry(const QString& entry, const QString& folder)
{
    // Blanks in front do not change what an entry names, and the entry keeps them.
    qsizetype start = 0;
    while (start < entry.size() && (entry.at(start) == u' ' || entry.at(start) == u'\t'))
        ++start;
    const QString name = entry.mid(start);
    if (name.isEmpty() || isUrl(name))
        return entry;
    // "/x", "\x", "\\server\x", "C:\x" and "C:/x" are absolute on one system or another
    if (name.startsWith(u'/') || name.startsWith(u'\\'))
        return entry;
    if (name.size() >= 3 && name.at(0).isLetter() && name.at(1) == u':' && (name.at(2) == u'\\' || name.at(2) == u'/'))
        return entry;
    if (folder.isEmpty() || paths::FileNameOf(folder) == folder)
        return entry;  // a bare play-list name: its folder is not known
#ifdef Q_OS_WIN
    return entry.left(start) + QDir::toNativeSeparators(QDir::cleanPath(folder + name));
#else
    return entry.left(start) + QDir::cleanPath(folder + name);
#endif
}

}  // namespace playlist
