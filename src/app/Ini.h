#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The settings file: an INI file whose sections and keys are matched without regard to case.
namespace ini {

constexpr int kMaxValueLength = 149;

// One value; an empty or missing value, or any failure, gives the fallback.
QString ReadIniValue(const QString& section, const QString& key, const QString& fileName, const QString& fallback,
                     bool createIfMissing);
// Rewrites the key in its line, or adds it at the end of its section (or a new section at the
// end of the file); every other line stays as it was. The file is replaced whole.
void WriteIniValue(const QString& section, const QString& key, const QString& value, const QString& fileName,
                   bool createIfMissing);
// Several keys of one section in one replacement of the file, in the order given.
using KeyValues = QList<std::pair<QString, QString>>;
void WriteIniValues(const QString& section, const KeyValues& values, const QString& fileName, bool createIfMissing);
// The key's value as it stands, "" for an empty one; nullopt when the key or the file is missing.
std::optional<QString> StoredIniValue(const QString& section, const QString& key, const QString& fileName);

// The file's bytes; nullopt when it is missing or cannot be read.
std::optional<QByteArray> ReadIniFile(const QString& fileName);

// ReadIniValue's answer for content (what it read from the file).
QString valueOr(const QByteArray& content, const QString& section, const QString& key, const QString& fallback);

// The same on file contents, without touching the disk.
std::optional<QString> valueIn(const QByteArray& content, const QString& section, const QString& key);
QByteArray withValue(const QByteArray& content, const QString& section, const QString& key, const QString& value);

}  // namespace ini
