#pragma once

#include <QString>
#include <QStringList>

// Files and folders as another user on the same machine may have prepared them: an entry is
// looked at itself, a link is never followed, and what belongs to someone else is left alone.
namespace ownfiles {

// True when path exists (a link counts as itself) and belongs to the user running the program.
bool isOurs(const QString& path);

// True when someone but the user may put or replace files in folder: it is not the user's, or
// its group or everyone may write to it (a group of the user's alone excepted).
bool othersMayWrite(const QString& folder);

// A folder for files nobody else may touch: made with mode 0700 when missing (its parent must
// exist); an existing one must be a real folder, not a link, belong to the user and be closed to
// everyone else. Returns the folder, or an empty string and why it was refused.
QString privateFolder(const QString& path, QString* why = nullptr);

}  // namespace ownfiles

namespace platform {

// The user's runtime folder, for locks and local sockets: XDG_RUNTIME_DIR when it is set and
// passes privateFolder's checks, else "mirovell-<uid>" in the temporary folder, made or checked
// the same way. Empty, with the reason, when neither is safe.
QString userRuntimeDir(QString* why = nullptr);

// The folders userRuntimeDir tries, in order, unchecked.
QStringList userRuntimeDirCandidates();

}  // namespace platform
