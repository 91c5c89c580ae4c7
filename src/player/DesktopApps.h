#pragma once

#include <QString>
#include <QStringList>

// The desktop's file associations (freedesktop MIME applications), read without a helper process.
namespace desktopapps {

struct Command {
    QString program;
    QStringList arguments;
    bool isValid() const { return !program.isEmpty(); }
};

// The default application for a MIME type, as its desktop entry's Exec line with the file (or a web
// address) filled in.
Command defaultCommandFor(const QString& mimeType, const QString& file);
// The default application for the file's type.
Command defaultCommandForFile(const QString& file);
// The program that shows a file as plain text (never the media player a play list would get).
Command textEditorFor(const QString& file);
// Splits an Exec line and fills in %f %F %u %U (a local file as a file: URL); other field codes are
// dropped.
Command expandExec(const QString& exec, const QString& file);

}  // namespace desktopapps
