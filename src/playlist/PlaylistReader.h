#pragma once

#include "platform/TextFile.h"

#include <QString>
#include <QStringList>

namespace playlist {

struct ReadResult {
    textfile::ReadStatus status = textfile::ReadStatus::Missing;
    QStringList entries;
    bool binary = false;  // the file holds bytes no text file has; status is then Unreadable
};

// The entries of a play-list file taken line by line as they stand: every line that is not blank
// and does not start with "#". Used for the program's own temporary play list.
ReadResult readEntries(const QString& path, int maxEntries);

// A play list as its author meant it: ".pls" files give the values of their FileN keys in the
// order of N, every other file its entry lines; relative entries are resolved against the play
// list's own folder, URLs and absolute paths stay as they are.
ReadResult readPlaylist(const QString& path, int maxEntries);

// True when the name ends in ".m3u", ".m3u8", ".pls" or ".lst", in any letter case.
bool isPlaylistName(const QString& path);

}  // namespace playlist
