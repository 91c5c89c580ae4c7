#include "playlist/PlaylistReader.h"

#include "platform/Codec.h"
#include "platform/PathHelpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtAlgorithms>
#include <QtEndian>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MIROVELL_SSE2 1
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

namespace playlist {

namespace {

constexpr qint64 kChunkBytes = qint64(1) << 20;
// Longer lines are no path of any file system; skipping them keeps a line-less file from filling memory.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

// Neither blank nor a directive: on the bytes before decoding, and again on the decoded text, as
// decoding drops a byte-order mark
template <typename View> bool isEntry(View line)
{
    for (auto c : line) {
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
        if (!partial.isEmpty())
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

bool isAsciiSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// "File12=value" (any case, blanks around the key and the "=") gives 12 and value.
bool plsFileKey(QByteArrayView line, int& number, QByteArrayView& value)
{
    const char* const s = line.data();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (n - i < 5)
        return false;
    // "file" in any letter case: such bytes differ from "file" in the case bit at most
    constexpr quint32 kFile = 'f' | 'i' << 8 | 'l' << 16 | quint32('e') << 24;
    if ((qFromLittleEndian<quint32>(s + i) | 0x20202020u) != kFile)
        return false;
    i += 4;
    qint64 v = 0;
    const qsizetype digits = i;
    while (i < n && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        if (v > 999999999)
            return false;
        ++i;
    }
    if (i == digits)
        return false;
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i >= n || s[i] != '=')
        return false;
    qsizetype end = n;
    ++i;
    while (i < end && isAsciiSpace(s[i]))
        ++i;
    while (end > i && isAsciiSpace(s[end - 1]))
        --end;
    number = int(v);
    value = line.sliced(i, end - i);
    return true;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isLetter(char16_t c)
{
    return QChar::isLetter(c);
}

// Letters, digits, "+", "-" and ".": the characters of a URL's scheme.
constexpr std::array<bool, 128> kSchemeChars = [] {
    std::array<bool, 128> chars{};
    for (int c = 0; c < 128; ++c)
        chars[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
                   c == '.';
    return chars;
}();

template <typename Ch> bool isSchemeChar(Ch c)
{
    const auto u = std::make_unsigned_t<Ch>(c);
    return u < 128 && kSchemeChars[u];
}

// The scheme of "scheme://...", after a letter. Ch is char for plain-ASCII bytes, char16_t for text.
template <typename Ch> bool isUrlChars(const Ch* s, qsizetype n)
{
    if (n == 0 || !((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z')))
        return false;
    qsizetype i = 1;
    while (i < n && isSchemeChar(s[i]))
        ++i;
    return n - i >= 3 && s[i] == ':' && s[i + 1] == '/' && s[i + 2] == '/';
}

// "/x", "\x", "\\server\x", "C:\x" and "C:/x" are absolute on one system or another.
template <typename Ch> bool isAbsoluteChars(const Ch* s, qsizetype n)
{
    if (n > 0 && (s[0] == '/' || s[0] == '\\'))
        return true;
    return n >= 3 && isLetter(s[0]) && s[1] == ':' && (s[2] == '\\' || s[2] == '/');
}

// The first "/" or "\" from i on, or n.
qsizetype nextSeparator(const char* s, qsizetype i, qsizetype n)
{
#ifdef MIROVELL_SSE2
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, backslash)));
        if (hits != 0)
            return i + qCountTrailingZeroBits(unsigned(hits));
    }
    if (i < n && n >= 16) {  // the last sixteen, overlapping what was searched
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
        const unsigned hits =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, backslash)))) &
            (~0u << (i - (n - 16)));
        return hits != 0 ? n - 16 + qCountTrailingZeroBits(hits) : n;
    }
#endif
    while (i < n && s[i] != '/' && s[i] != '\\')
        ++i;
    return i;
}

qsizetype nextSeparator(const char16_t* s, qsizetype i, qsizetype n)
{
    while (i < n && s[i] != u'/' && s[i] != u'\\')
        ++i;
    return i;
}

// No ".", ".." or empty part and no backslash: joining it to a clean folder gives a clean path.
template <typename Ch> bool isCleanName(const Ch* s, qsizetype n)
{
    for (qsizetype part = 0;;) {
        const qsizetype i = nextSeparator(s, part, n);
        if (i < n && s[i] == '\\')
            return false;
        const qsizetype len = i - part;
        if (len == 0 || (s[part] == '.' && (len == 1 || (len == 2 && s[part + 1] == '.'))))
            return false;
        if (i == n)
            return true;
        part = i + 1;
    }
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
        const char16_t* const s = QStringView(entry).utf16();
        const qsizetype start = blanks(s, entry.size());
        switch (kindOf(s + start, entry.size() - start)) {
        case Kind::AsItStands: return entry;
        case Kind::Join:
            return joined(entry.size() + folder_.size(), start,
                          [&](char16_t* d) { std::copy(s, s + entry.size(), d); });
        case Kind::Clean: break;
        }
        const QString name = entry.sliced(start);
#ifdef Q_OS_WIN
        return entry.left(start) + QDir::toNativeSeparators(QDir::cleanPath(folder_ + name));
#else
        return entry.left(start) + QDir::cleanPath(folder_ + name);
#endif
    }

    // The entry a line of the play list names, resolved. Plain ASCII is resolved on its bytes and
    // built straight into its one string; any other line is decoded first, and isEntry(text) says
    // whether it is an entry at all (a null string when not).
    template <typename IsEntry> QString fromBytes(QByteArrayView line, IsEntry isEntry) const
    {
        if (!codec::isAscii(line)) {
            const QString text = codec::decodeLine(line);
            return isEntry(text) ? resolve(text) : QString();
        }
        const char* const s = line.data();
        const qsizetype start = blanks(s, line.size());
        switch (kindOf(s + start, line.size() - start)) {
        case Kind::AsItStands: return QString::fromLatin1(line);
        case Kind::Join:
            return joined(line.size() + folder_.size(), start,
                          [&](char16_t* d) { codec::widenAscii(d, s, line.size()); });
        case Kind::Clean: break;
        }
        return resolve(QString::fromLatin1(line));
    }

private:
    enum class Kind { AsItStands, Join, Clean };

    // Blanks in front do not change what an entry names, and the entry keeps them.
    template <typename Ch> static qsizetype blanks(const Ch* s, qsizetype n)
    {
        qsizetype i = 0;
        while (i < n && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        return i;
    }

    template <typename Ch> Kind kindOf(const Ch* name, qsizetype n) const
    {
        if (n == 0 || isUrlChars(name, n) || isAbsoluteChars(name, n) || !known_)
            return Kind::AsItStands;  // without known_, a bare play-list name: its folder is not known
        return cleanFolder() && isCleanName(name, n) ? Kind::Join : Kind::Clean;
    }

    // The blanks of the entry, the folder and the name, in one string of the final size; copy
    // writes the whole entry, and its name is then moved behind the folder.
    template <typename Copy> QString joined(qsizetype size, qsizetype start, Copy copy) const
    {
        QString out(size, Qt::Uninitialized);
        auto* const d = reinterpret_cast<char16_t*>(out.data());
        const qsizetype folder = folder_.size();
        copy(d + folder);
        std::copy(d + folder, d + folder + start, d);
        const char16_t* const f = QStringView(folder_).utf16();
        std::copy(f, f + folder, d + start);
        return out;
    }

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

// The values of a .pls one after another: one buffer for all, no allocation per key.
class PlsValues {
public:
    void reserve(qsizetype size)
    {
        if (size > capacity_)
            moveTo(size);
    }
    qsizetype add(QByteArrayView value)
    {
        if (used_ + value.size() > capacity_)
            moveTo(std::max({2 * capacity_, used_ + value.size(), qsizetype(4096)}));
        const qsizetype at = used_;
        std::memcpy(bytes_.get() + used_, value.data(), size_t(value.size()));
        used_ += value.size();
        return at;
    }
    QByteArrayView at(const PlsValue& f) const { return QByteArrayView(bytes_.get() + f.at, f.size); }
    // Keeps only the values of files, packed, and updates where they are.
    void pack(std::vector<PlsValue>& files)
    {
        std::unique_ptr<char[]> packed(new char[size_t(capacity_)]);
        used_ = 0;
        for (PlsValue& f : files) {
            std::memcpy(packed.get() + used_, bytes_.get() + f.at, size_t(f.size));
            f.at = used_;
            used_ += f.size;
        }
        bytes_ = std::move(packed);
    }

private:
    void moveTo(qsizetype capacity)
    {
        std::unique_ptr<char[]> bytes(new char[size_t(capacity)]);  // not zeroed: only what add wrote is read
        if (used_ > 0)
            std::memcpy(bytes.get(), bytes_.get(), size_t(used_));
        bytes_ = std::move(bytes);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> bytes_;
    qsizetype capacity_ = 0;
    qsizetype used_ = 0;
};

// The lowest keep numbers in order, each with its first value.
void keepLowest(std::vector<PlsValue>& files, size_t keep)
{
    const auto sameNumber = [](const PlsValue& a, const PlsValue& b) { return a.number == b.number; };
    const auto descending = [](const PlsValue& a, const PlsValue& b) { return a.number > b.number; };
    const auto ascending = [](const PlsValue& a, const PlsValue& b) { return a.number < b.number; };
    // lists are numbered up or down: those need no sort
    if (std::is_sorted(files.begin(), files.end(), descending) &&
        std::adjacent_find(files.begin(), files.end(), sameNumber) == files.end())
        std::reverse(files.begin(), files.end());
    else if (!std::is_sorted(files.begin(), files.end(), ascending))
        std::stable_sort(files.begin(), files.end(), ascending);  // the first value of a key stays first
    files.erase(std::unique(files.begin(), files.end(), sameNumber), files.end());
    if (files.size() > keep)
        files.resize(keep);
}

ReadResult readPls(const QString& path, int maxEntries)
{
    const size_t keep = size_t(std::max(maxEntries, 0));
    std::vector<PlsValue> files;
    PlsValues values;
    qint64 size = 0;
    ReadResult result = scanFile(
        path,
        [&](QByteArrayView line) {
            int number = 0;
            QByteArrayView value;
            if (!plsFileKey(line, number, value) || value.isEmpty())
                return true;
            if (files.capacity() == 0) {  // a guess from the size: "FileN=" and a title line for each value
                files.reserve(std::min<size_t>(2 * keep + 1024, size_t(size / 48 + 16)));
                values.reserve(qsizetype(std::min<qint64>(size, 64 << 20)));
            }
            files.push_back({number, values.add(value), value.size()});
            // far more keys than fit: only the lowest numbers can end up in the list
            if (files.size() >= 2 * keep + 1024) {
                keepLowest(files, keep);
                values.pack(files);
            }
            return true;
        },
        &size);
    if (result.status != textfile::ReadStatus::Ok)
        return result;
    keepLowest(files, keep);
    const QString folder = paths::LeadingPath(path);
    const EntryResolver resolver(folder);
    // each kept value becomes its entry in place; a stray byte-order mark decodes to nothing
    QStringList entries(qsizetype(files.size()));
    QString* out = entries.data();
    for (const PlsValue& f : files) {
        *out = resolver.fromBytes(values.at(f), [](const QString& text) { return !text.trimmed().isEmpty(); });
        if (!out->isNull())
            ++out;
    }
    entries.resize(out - entries.constData());
    result.entries = std::move(entries);
    return result;
}

// The entry lines of a file, up to maxEntries, each made into an entry by entryOf (a null string:
// no entry after all).
template <typename EntryOf> ReadResult readEntryLines(const QString& path, int maxEntries, EntryOf entryOf)
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
            if (isEntry(line)) {
                QString entry = entryOf(line);
                if (!entry.isNull())
                    entries.append(std::move(entry));
            }
            return true;
        },
        &size);
    if (result.status == textfile::ReadStatus::Ok)
        result.entries = std::move(entries);
    return result;
}

}  // namespace

ReadResult readEntries(const QString& path, int maxEntries)
{
    return readEntryLines(path, maxEntries, [](QByteArrayView line) {
        // decoding drops a byte-order mark, which may leave a blank or a directive
        QString text = codec::decodeLine(line);
        return isEntry(QStringView(text)) ? text : QString();
    });
}

ReadResult readPlaylist(const QString& path, int maxEntries)
{
    if (path.endsWith(QLatin1StringView(".pls"), Qt::CaseInsensitive))
        return readPls(path, maxEntries);
    const QString folder = paths::LeadingPath(path);
    const EntryResolver resolver(folder);
    return readEntryLines(path, maxEntries,
                          [&](QByteArrayView line) { return resolver.fromBytes(line, isEntry<QStringView>); });
}

bool isPlaylistName(const QString& path)
{
    for (const char* ext : {".m3u", ".m3u8", ".pls", ".lst"})
        if (path.endsWith(QLatin1StringView(ext), Qt::CaseInsensitive))
            return true;
    return false;
}

}  // namespace playlist
