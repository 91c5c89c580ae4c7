#pragma once

#include <QString>

class IDialogs;

namespace files {

// The file-open dialog; "" when cancelled or when it cannot be shown.
QString ShowOpenDialog(IDialogs* dialogs, const QString& initialFolder, const QString& title, const QString& fileName,
                       const QString& pattern, QString description);

}  // namespace files
