#include "player/VlcCommand.h"

#include <QProcess>

namespace vlccommand {

Split splitCommandLine(const QString& commandLine)
{
    Split s;
    QStringList parts = QProcess::splitCommand(commandLine);
    if (!parts.isEmpty())
        s.program = parts.takeFirst();
    s.arguments = parts;
    return s;
}

}  // namespace vlccommand
