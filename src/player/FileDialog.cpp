#include "player/FileDialog.h"

#include "platform/IDialogs.h"

#include <QCoreApplication>

namespace files {

QString ShowOpenDialog(IDialogs& dialogs, const QString& initialFolder, const QString& title, const QString& fileName,
                       const QString& pattern, QString description)
{
    if (description.isEmpty() && !pattern.isEmpty())
        description = pattern;
    QString filter = QCoreApplication::translate("Mirovell", "Alle Dateien|*.*");
    if (!pattern.isEmpty())
        filter = description + u'|' + pattern + u'|' + filter;
    return dialogs.openFile(initialFolder, title, fileName, filter);
}

}  // namespace files
