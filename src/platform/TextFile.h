#pragma once

#include <QString>
#include <QStringList>

// Text files as the program keeps them: CR LF lines, written whole or not at all.
namespace textfile {

enum class ReadStatus { Ok, Missing, Unreadable };

struct ReadResult {
    ReadStatus status = ReadStatus::Missing;
    QStringList lines;
};

// Reads every line (CR LF, CR or LF end a line); maxBytes guards against huge files.
ReadResult readLines(const QString& path, qint64 maxBytes = qint64(256) << 20);

// Writes the lines, each ended by CR LF, whole or not at all (see AtomicSave.h).
bool writeLines(const QString& path, const QStringList& lines);
bool writeBytes(const QString& path, const QByteArray& bytes);

bool fileExists(const QString& path);  // an existing file, not a folder
bool folderExists(const QString& path);
bool removeFile(const QString& path);       // only a file (or link) of the user's own
bool createEmptyFile(const QString& path);  // only where nothing is, not even a dangling link

}  // namespace textfile
