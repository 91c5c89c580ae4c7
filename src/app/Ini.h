#pragma once

#include <QByteArray>
#include <QString>

// The settings file: an INI file whose sections and keys are matched without regard to case.
namespace ini {

constexpr int kMaxValueLength = 149;

// One value; an empty or missing value, or any failure, gives the fallback.
QString ReadIniValue(const QString& section, const QString& key, const QString& fileName,
                     const QString& fallback, bool createIfMissing);
// Rewrites the key in its line, or adds it at the end of its section (or a new section at the
// end of the file); every other line stays as it was. The file is replaced whole.
void WriteIniValue(const QString& section, const QString& key, const QString& value,
                   const QString& fileName, bool createIfMissing);
QString ResolveFileName(const QString& fileName);
void CreateEmptyFile(const QString& fileName);

// The same on file contents, without touching the disk.
QString valueIn(const QByteArray& content, const QString& section, const QString& key);
QByteArray withValue(const QByteArray& content, const QString& section, const QString& key,
                     const QString& value);

}  // namespace ini
