#pragma once

#include <QString>

class IDialogs;

namespace files {

// The file-open dialog with a filter for the pattern and one for all files; "" when cancelled.
QString ShowOpenDialog(IDialogs& dialogs, const QString& initialFolder, const QString& title, const QString& fileName,
                       const QString& pattern, QString description);

}  // namespace files
