#include "platform/Installation.h"

#include "platform/OwnFiles.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace installation {

bool isInstalledCopy(const QString& programFolder, const QString& installBinFolder)
{
    if (programFolder.isEmpty() || installBinFolder.isEmpty())
        return false;
    // compared as the system resolves them: /bin/mirovell is /usr/bin/mirovell where /bin links to /usr/bin
    const QString here = QFileInfo(programFolder).canonicalFilePath();
    return !here.isEmpty() && here == QFileInfo(installBinFolder).canonicalFilePath();
}

bool mayKeepFilesBeside(const QString& programFolder)
{
    return !programFolder.isEmpty() && QFileInfo(programFolder).isWritable() &&
           !ownfiles::othersMayWrite(programFolder);
}

QString userConfigFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Mirovell");
}

}  // namespace installation
