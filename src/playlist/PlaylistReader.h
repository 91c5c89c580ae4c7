#pragma once

#include "platform/TextFile.h"

#include <QString>
#include <QStringList>

namespace playlist {

// The entries of a play-list file: every line that is not blank and is not a "#" directive.
struct ReadResult {
    textfile::ReadStatus status = textfile::ReadStatus::Missing;
    QStringList entries;
};

ReadResult readEntries(const QString& path, int maxEntries);
// The same on lines already read.
QStringList entriesOf(const QStringList& lines, int maxEntries);

}  // namespace playlist
