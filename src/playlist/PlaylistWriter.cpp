#include "playlist/PlaylistWriter.h"

#include "platform/Codec.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"

#include <QUrl>
#include <QtAlgorithms>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define MIROVELL_SSE2 1
#endif

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

const QString kLineBreak = QStringLiteral("\r\n");

// A line break inside an entry would split it into lines or smuggle in options.
QString asPlaylistLine(const QString& entry)
{
    if (!entry.contains(u'\r') && !entry.contains(u'\n'))
        return entry;
    return QString::fromLatin1(QUrl::fromLocalFile(entry).toEncoded(QUrl::FullyEncoded));
}

// The title is shown text only; a line break there would end the directive line early.
QString titleOf(const QString& entry)
{
    QString title = paths::FileNameOf(entry);
    title.replace(u'\r', u' ').replace(u'\n', u' ');
    return title;
}

// The bytes of a file being built: one buffer, sized up front, that pieces are copied into by
// pointer; it grows only when an entry is longer than planned (text that is not plain ASCII).
class ByteSink {
public:
    explicit ByteSink(qsizetype capacity) : bytes_(capacity, Qt::Uninitialized), p_(bytes_.data()) {}

    // Room for n more bytes; the pointer to write them to.
    char* room(qsizetype n)
    {
        const qsizetype used = p_ - bytes_.constData();
        if (bytes_.size() - used < n) {
            bytes_.resize(std::max(2 * bytes_.size(), used + n));
            p_ = bytes_.data() + used;
        }
        return p_;
    }
    // After room(n): n bytes were written.
    void wrote(qsizetype n) { p_ += n; }
    void put(const char* bytes, qsizetype n)
    {
        std::memcpy(room(n), bytes, size_t(n));
        p_ += n;
    }
    void put(const QByteArray& bytes) { put(bytes.constData(), bytes.size()); }
    QByteArray take()
    {
        bytes_.truncate(p_ - bytes_.constData());
        return std::move(bytes_);
    }

private:
    QByteArray bytes_;
    char* p_;
};

// Writes the characters of a plain-ASCII entry without line breaks, with its CR LF, to d (room
// for entry.size() + 2); false, with nothing of it counted, for any other entry.
bool putPlainLine(char* d, const QString& entry)
{
    const qsizetype n = entry.size();
    if (codec::copyAscii(d, QStringView(entry).utf16(), n, true) < n)
        return false;
    d[n] = '\r';
    d[n + 1] = '\n';
    return true;
}

// The entry's line the long way: a line break makes it a file URL, and it is encoded for the file.
void putOtherLine(ByteSink& out, const QString& entry)
{
    out.put(codec::encodeForFile(asPlaylistLine(entry)));
    out.put("\r\n", 2);
}

// Where the name in [begin, end) starts: behind its last separator, sixteen bytes at a time from the end.
const char* titleStart(const char* begin, const char* end)
{
#ifdef MIROVELL_SSE2
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i backslash = _mm_set1_epi8('\\');
    for (; end - begin >= 16; end -= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
        const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, slash), _mm_cmpeq_epi8(v, backslash)));
        if (hits != 0)
            return end - 16 + (31 - qCountLeadingZeroBits(quint32(hits))) + 1;
    }
#endif
    while (end > begin && end[-1] != '/' && end[-1] != '\\')
        --end;
    return end;
}

// The number in decimal at d (room for 11 bytes); returns how many bytes it took.
qsizetype putNumber(char* d, qint32 number)
{
    return std::to_chars(d, d + 11, number).ptr - d;
}

qsizetype textSize(const QStringList& entries)
{
    qsizetype size = 0;
    for (const QString& e : entries)
        size += e.size();
    return size;
}

}  // namespace

QString PlaylistWriter::BuildStreamingEntry(const QString& entry, const QStringList& itemOptions) const
{
    QString block = QStringLiteral("#EXTINF:") + QString::number(entryCounter_) + u',' + titleOf(entry) + kLineBreak;
    for (const QString& option : itemOptions)
        block += option + kLineBreak;
    return block + asPlaylistLine(entry);
}

bool PlaylistWriter::WritePlainPlaylist(const QStringList& entries, const QString& path)
{
    if (entries.isEmpty())
        return true;
    entryCounter_ = entryCounter_ == 0 ? -1 : 0;
    if (path.isEmpty())
        return true;
    // the whole file in one buffer, sized for plain ASCII, written in one go
    ByteSink out(9 + textSize(entries) + 2 * entries.size());
    out.put("#EXTM3U\r\n", 9);
    for (const QString& entry : entries) {
        if (putPlainLine(out.room(entry.size() + 2), entry))
            out.wrote(entry.size() + 2);
        else
            putOtherLine(out, entry);
        ++entryCounter_;
    }
    return textfile::writeBytes(path, out.take());
}

bool PlaylistWriter::WriteStreamingPlaylist(const QStringList& entries, const QStringList& itemOptions,
                                            const QString& path)
{
    if (entries.isEmpty())
        return true;
    ++entryCounter_;
    if (path.isEmpty())
        return true;
    QByteArray options;  // the same lines after every entry: encoded once
    for (const QString& option : itemOptions) {
        codec::appendForFile(options, option);
        options += "\r\n";
    }
    static constexpr char kExtInf[] = "#EXTINF:";
    constexpr qsizetype kExtInfSize = sizeof kExtInf - 1;
    // per entry: "#EXTINF:", the number, ",", the title (at most the entry), CR LF, the options, the
    // entry and CR LF
    const qsizetype fixed = kExtInfSize + 11 + 1 + 2 + options.size() + 2;
    ByteSink out(9 + 2 * textSize(entries) + entries.size() * fixed);
    out.put("#EXTM3U\r\n", 9);
    for (const QString& entry : entries) {
        const qsizetype n = entry.size();
        char* const d = out.room(fixed + 2 * n);
        char* p = d;
        std::memcpy(p, kExtInf, kExtInfSize);
        p += kExtInfSize;
        p += putNumber(p, entryCounter_);
        *p++ = ',';
        // the line first, behind where the longest title would end; the title is then its last
        // part, copied from it, and the rest moved up behind the title
        char* const line = p + n + 2 + options.size();
        if (putPlainLine(line, entry)) {
            const char* const from = titleStart(line, line + n);
            const qsizetype title = line + n - from;
            std::memcpy(p, from, size_t(title));
            p += title;
            *p++ = '\r';
            *p++ = '\n';
            std::memcpy(p, options.constData(), size_t(options.size()));
            p += options.size();
            std::memmove(p, line, size_t(n + 2));
            p += n + 2;
            out.wrote(p - d);
        } else {
            out.wrote(p - d);
            QByteArray title = codec::encodeForFile(titleOf(entry));
            title += "\r\n";
            out.put(title);
            out.put(options);
            putOtherLine(out, entry);
        }
        ++entryCounter_;
    }
    return textfile::writeBytes(path, out.take());
}
