#pragma once

#include <QString>
#include <QStringList>

// Writes the list as a plain or a streaming extended-M3U play list, CR LF lines, whole or not at
// all. EntryCounter numbers the "#EXTINF:" lines and is carried from one play list to the next.
class PlaylistWriter {
public:
    // Both return false when a file should have been written and could not be. An empty list
    // writes nothing; an empty path writes nothing but still counts.
    bool WritePlainPlaylist(const QStringList& entries, const QString& path);
    // itemOptions: the option lines that follow every entry's "#EXTINF:" line
    bool WriteStreamingPlaylist(const QStringList& entries, const QStringList& itemOptions, const QString& path);
    // One entry of a streaming play list, numbered with EntryCounter, without its final line break.
    QString BuildStreamingEntry(const QString& entry, const QStringList& itemOptions) const;

    qint32 EntryCounter() const { return entryCounter_; }

private:
    qint32 entryCounter_ = 0;
};
