#include "playlist/PlaylistWriter.h"

#include "platform/Codec.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"

#include <QUrl>

#include <charconv>

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

// asPlaylistLine(entry) and its CR LF as the file holds them, appended to out. Plain ASCII
// without line breaks, nearly every entry, is copied in the same scan that looks for the breaks.
void appendPlaylistLine(QByteArray& out, const QString& entry)
{
    const qsizetype at = out.size();
    const qsizetype n = entry.size();
    out.resize(at + n + 2);
    char* d = out.data() + at;
    if (codec::copyAscii(d, QStringView(entry).utf16(), n, true) < n) {
        out.truncate(at);
        codec::appendForFile(out, asPlaylistLine(entry));
        out.append("\r\n", 2);
        return;
    }
    d[n] = '\r';
    d[n + 1] = '\n';
}

// titleOf(entry) as the file holds it, appended to out.
void appendTitle(QByteArray& out, const QString& entry)
{
    const char16_t* s = QStringView(entry).utf16();
    qsizetype from = entry.size();
    while (from > 0 && s[from - 1] != u'/' && s[from - 1] != u'\\')
        --from;
    const qsizetype at = out.size();
    const qsizetype n = entry.size() - from;
    out.resize(at + n);
    char* d = out.data() + at;
    for (qsizetype i = codec::copyAscii(d, s + from, n, true); i < n; ++i) {
        const char16_t c = s[from + i];
        if (c >= 0x80) {
            out.truncate(at);
            codec::appendForFile(out, titleOf(entry));
            return;
        }
        d[i] = (c == u'\r' || c == u'\n') ? ' ' : static_cast<char>(c);
    }
}

void appendNumber(QByteArray& out, qint32 number)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out.append(digits, end - digits);
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
    QByteArray bytes;
    bytes.reserve(9 + textSize(entries) + 2 * entries.size());
    bytes += "#EXTM3U\r\n";
    for (const QString& entry : entries) {
        appendPlaylistLine(bytes, entry);
        ++entryCounter_;
    }
    return textfile::writeBytes(path, bytes);
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
    QByteArray bytes;
    bytes.reserve(9 + 2 * textSize(entries) + entries.size() * (options.size() + 24));
    bytes += "#EXTM3U\r\n";
    for (const QString& entry : entries) {
        bytes += "#EXTINF:";
        appendNumber(bytes, entryCounter_);
        bytes += ',';
        appendTitle(bytes, entry);
        bytes += "\r\n";
        bytes += options;
        appendPlaylistLine(bytes, entry);
        ++entryCounter_;
    }
    return textfile::writeBytes(path, bytes);
}
