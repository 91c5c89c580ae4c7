#pragma once

#include <QByteArray>
#include <QString>

// Files replaced whole: the bytes go to a temporary file beside the target, reach the disk and
// are then renamed over it, so an end at any moment leaves the old file or the new one, never a
// cut one. The temporary file is the target's name + ".part-" + six letters and digits, of each
// kind at least one; a save that was cut short leaves it behind, and removeLeftovers takes exactly
// these away, and only the user's own. A link or a file of another user is never written through
// or replaced: save() refuses it.
namespace atomicsave {

bool save(const QString& path, const QByteArray& bytes);

// Removes the temporary files of interrupted saves of path; anything else beside it stays.
// Returns how many were removed.
int removeLeftovers(const QString& path);

// True for a name that save() gives its temporary files when it writes fileName.
bool isLeftoverName(const QString& name, const QString& fileName);

}  // namespace atomicsave
