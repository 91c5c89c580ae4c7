#include "playlist/PlaylistReader.h"

namespace playlist {

namespace {

bool isEntry(const QString& line)
{
    for (QChar c : line) {
        if (c == u' ' || c == u'\t')
            continue;
        return c != u'#';
    }
    return false;   // blank
}

}  // namespace

QStringList entriesOf(const QStringList& lines, int maxEntries)
{
    QStringList entries;
    for (const QString& line : lines) {
        if (entries.size() >= maxEntries)
            break;
        if (isEntry(line))
            entries.append(line);
    }
    return entries;
}

ReadResult readEntries(const QString& path, int maxEntries)
{
    ReadResult result;
    textfile::ReadResult file = textfile::readLines(path);
    result.status = file.status;
    result.entries = entriesOf(file.lines, maxEntries);
    return result;
}

}  // namespace playlist
