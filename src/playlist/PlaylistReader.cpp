#include "playlist/PlaylistReader.h"

#include "platform/Codec.h"
#include "platform/PathHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtAlgorithms>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MIROVELL_SSE2 1
#endif

#include <algorithm>
#include <optional>
#include <vector>

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
bool isBinaryByte(unsigned char c)
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A && c != 0x1B;
}

bool looksBinary(QByteArrayView bytes)
{
    for (char ch : bytes)
        if (isBinaryByte(static_cast<unsigned char>(ch)))
            return true;
    return false;
}

enum class ScanEnd { Done, Stopped, Binary, Failed };

// The first position from i on that holds a byte below 0x20 (a line end or a control byte), or n.
qsizetype skipText(const unsigned char* bytes, qsizetype i, qsizetype n)
{
#ifdef MIROVELL_SSE2
    const __m128i below = _mm_set1_epi8(0x1F);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        // max(v, 0x1F) == 0x1F exactly for the bytes up to 0x1F
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, below), below));
        if (hits != 0)
            return i + qCountTrailingZeroBits(unsigned(hits));
    }
#endif
    while (i < n && bytes[i] >= 0x20)
        ++i;
    return i;
}

// Hands every line (CR LF, CR or LF end one) to onLine, reading the file piece by piece; stops
// when onLine returns false. Lines longer than kMaxLineBytes are skipped whole. A piece with a
// byte no text file holds makes the whole file binary, also after a stop within that piece.
template <typename OnLine> ScanEnd scanLines(QFile& file, OnLine&& onLine)
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
    QByteArray chunk;
    for (;;) {
        // small files get a small buffer; the buffer is kept from piece to piece
        const qint64 want = qBound<qint64>(4096, file.size() - file.pos(), kChunkBytes);
        chunk.resize(want);
        const qint64 got = file.read(chunk.data(), want);
        if (got < 0 || file.error() != QFileDevice::NoError)
            return ScanEnd::Failed;
        if (got == 0)
            break;
        const auto* const bytes = reinterpret_cast<const unsigned char*>(chunk.constData());
        const qsizetype n = got;
        qsizetype i = 0;
        if (afterCR && bytes[0] == '\n')
            i = 1;
        afterCR = false;
        qsizetype start = i;
        // one pass: line ends and binary bytes are both below 0x20
        for (; i < n; ++i) {
            i = skipText(bytes, i, n);
            if (i == n)
                break;
            const unsigned char c = bytes[i];
            if (c != '\r' && c != '\n') {
                if (isBinaryByte(c))
                    return ScanEnd::Binary;
                continue;
            }
            if (!emitLine(QByteArrayView(chunk).sliced(start, i - start)))
                return looksBinary(QByteArrayView(chunk).first(n).sliced(i)) ? ScanEnd::Binary : ScanEnd::Stopped;
            if (c == '\r') {
                if (i + 1 < n) {
                    if (bytes[i + 1] == '\n')
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
                partial.append(QByteArrayView(chunk).sliced(start, n - start));
            }
        }
    }
    if (!overlong && !partial.isEmpty())
        emitLine({});
    return ScanEnd::Done;
}

template <typename OnLine> ReadResult scanFile(const QString& path, OnLine&& onLine, qint64* size = nullptr)
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
    if (size)
        *size = file.size();
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

// The scheme of "scheme://...": ASCII letters, digits, "+", "-" and ".", after a letter.
bool isUrlView(QStringView entry)
{
    qsizetype i = 0;
    const qsizetype n = entry.size();
    for (; i < n; ++i) {
        const char16_t c = entry[i].unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' ||
              c == u'-' || c == u'.'))
            break;
    }
    if (i < 1 || !entry.sliced(i).startsWith(u"://"))
        return false;
    const char16_t first = entry[0].unicode();
    return (first >= u'a' && first <= u'z') || (first >= u'A' && first <= u'Z');
}

// No ".", ".." or empty part and no backslash: joining it to a clean folder gives a clean path.
bool isCleanName(QStringView name)
{
    qsizetype part = 0;
    const qsizetype n = name.size();
    for (qsizetype i = 0; i <= n; ++i) {
        if (i < n && name[i] == u'\\')
            return false;
        if (i < n && name[i] != u'/')
            continue;
        const qsizetype len = i - part;
        if (len == 0 || (name[part] == u'.' && (len == 1 || (len == 2 && name[part + 1] == u'.'))))
            return false;
        part = i + 1;
    }
    return true;
}

// Resolves the entries of one play list; what the folder allows is worked out once.
class EntryResolver {
public:
    explicit EntryResolver(const QString& folder) : folder_(folder)
    {
        known_ = !(folder.isEmpty() || paths::FileNameOf(folder) == folder);
    }

    QString resolve(const QString& entry) const
    {
        // Blanks in front do not change what an entry names, and the entry keeps them.
        qsizetype start = 0;
        while (start < entry.size() && (entry.at(start) == u' ' || entry.at(start) == u'\t'))
            ++start;
        const QStringView name = QStringView(entry).sliced(start);
        if (name.isEmpty() || isUrlView(name))
            return entry;
        // "/x", "\x", "\\server\x", "C:\x" and "C:/x" are absolute on one system or another
        if (name.startsWith(u'/') || name.startsWith(u'\\'))
            return entry;
        if (name.size() >= 3 && name.at(0).isLetter() && name.at(1) == u':' &&
            (name.at(2) == u'\\' || name.at(2) == u'/'))
            return entry;
        if (!known_)
            return entry;  // a bare play-list name: its folder is not known
        if (cleanFolder() && isCleanName(name)) {
            QString joined;
            joined.reserve(entry.size() + folder_.size());
            joined.append(QStringView(entry).first(start)).append(folder_).append(name);
            return joined;
        }
#ifdef Q_OS_WIN
        return entry.left(start) + QDir::toNativeSeparators(QDir::cleanPath(folder_ + name.toString()));
#else
        return entry.left(start) + QDir::cleanPath(folder_ + name.toString());
#endif
    }

private:
    bool cleanFolder() const
    {
#ifdef Q_OS_WIN
        return false;
#else
        if (!clean_)
            clean_ = !folder_.contains(u'\\') && (folder_ == u"/" || QDir::cleanPath(folder_) + u'/' == folder_);
        return *clean_;
#endif
    }

    const QString& folder_;
    bool known_ = false;
    mutable std::optional<bool> clean_;
};

// A FileN value of a .pls: its number, and where its bytes are in the values' buffer.
struct PlsValue {
    int number;
    qsizetype at;
    qsizetype size;
};

// The lowest keep numbers in order, each with its first value; values_ is packed again.
void keepLowest(std::vector<PlsValue>& files, QByteArray& values, size_t keep)
{
    const auto byNumber = [](const PlsValue& a, const PlsValue& b) { return a.number < b.number; };
    const auto descending = [](const PlsValue& a, const PlsValue& b) { return a.number > b.number; };
    // lists are numbered up or down: those need no sort
    if (std::is_sorted(files.begin(), files.end(), descending) &&
        std::adjacent_find(files.begin(), files.end(),
                           [](const PlsValue& a, const PlsValue& b) { return a.number == b.number; }) == files.end())
        std::reverse(files.begin(), files.end());
    else
        std::stable_sort(files.begin(), files.end(), byNumber);  // the first value of a key stays first
    files.erase(std::unique(files.begin(), files.end(),
                            [](const PlsValue& a, const PlsValue& b) { return a.number == b.number; }),
                files.end());
    if (files.size() > keep)
        files.resize(keep);
    QByteArray packed;
    qsizetype total = 0;
    for (const PlsValue& f : files)
        total += f.size;
    packed.reserve(total);
    for (PlsValue& f : files) {
        const qsizetype at = packed.size();
        packed.append(values.constData() + f.at, f.size);
        f.at = at;
    }
    values = std::move(packed);
}

ReadResult readPls(const QString& path, int maxEntries)
{
    const size_t keep = size_t(std::max(maxEntries, 0));
    std::vector<PlsValue> files;
    QByteArray values;  // the values one after another, no buffer per key
    ReadResult result = scanFile(path, [&](QByteArrayView line) {
        int number = 0;
        QByteArrayView value;
        if (!plsFileKey(line, number, value) || value.isEmpty())
            return true;
        files.push_back({number, values.size(), value.size()});
        values.append(value);
        // far more keys than fit: only the lowest numbers can end up in the list
        if (files.size() >= 2 * keep + 1024)
            keepLowest(files, values, keep);
        return true;
    });
    if (result.status != textfile::ReadStatus::Ok)
        return result;
    keepLowest(files, values, keep);
    const QString folder = paths::LeadingPath(path);
    const EntryResolver resolver(folder);
    result.entries.reserve(qsizetype(files.size()));
    for (const PlsValue& f : files) {
        // a stray byte-order mark decodes to nothing
        const QString text = codec::decodeLine(QByteArrayView(values).sliced(f.at, f.size));
        if (!text.trimmed().isEmpty())
            result.entries.append(resolver.resolve(text));
    }
    return result;
}

}  // namespace

ReadResult readEntries(const QString& path, int maxEntries)
{
    QStringList entries;
    qint64 size = 0;
    ReadResult result = scanFile(
        path,
        [&](QByteArrayView line) {
            if (entries.size() >= maxEntries)
                return false;
            if (entries.capacity() == 0)
                entries.reserve(qsizetype(qMin<qint64>(maxEntries, size / 16 + 16)));  // a guess from the size
            if (isEntryLine(line)) {
                // decoding drops a byte-order mark, which may leave a blank or a directive
                QString text = codec::decodeLine(line);
                if (isEntry(text))
                    entries.append(std::move(text));
            }
            return true;
        },
        &size);
    if (result.status == textfile::ReadStatus::Ok)
        result.entries = std::move(entries);
    return result;
}

ReadResult readPlaylist(const QString& path, int maxEntries)
{
    if (endsWithNoCase(path, QLatin1StringView(".pls")))
        return readPls(path, maxEntries);
    ReadResult result = readEntries(path, maxEntries);
    const QString folder = paths::LeadingPath(path);
    const EntryResolver resolver(folder);
    for (QString& entry : result.entries)
        entry = resolver.resolve(entry);
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
    return isUrlView(entry);
}

QString resolveEntry(const QString& entry, const QString& folder)
{
    return EntryResolver(folder).resolve(entry);
}

}  // namespace playlist
