#include "playlist/PlaylistWriter.h"

#include "platform/Codec.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"

#include <QUrl>

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

bool write(const QString& path, const QString& text)
{
    return textfile::writeBytes(path, codec::encodeForFile(text));
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
    QString text;
    text.reserve(entries.size() * 64);
    text += QStringLiteral("#EXTM3U") + kLineBreak;
    for (const QString& entry : entries) {
        text += asPlaylistLine(entry) + kLineBreak;
        ++entryCounter_;
    }
    return write(path, text);
}

bool PlaylistWriter::WriteStreamingPlaylist(const QStringList& entries, const QStringList& itemOptions,
                                            const QString& path)
{
    if (entries.isEmpty())
        return true;
    ++entryCounter_;
    if (path.isEmpty())
        return true;
    QString text;
    text.reserve(entries.size() * (itemOptions.join(kLineBreak).size() + 160));
    text += QStringLiteral("#EXTM3U") + kLineBreak;
    for (const QString& entry : entries) {
        text += BuildStreamingEntry(entry, itemOptions) + kLineBreak;
        ++entryCounter_;
    }
    return write(path, text);
}
