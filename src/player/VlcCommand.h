#pragma once

#include <QString>
#include <QStringList>

namespace vlccommand {

// A command line as one text, split the way the Windows shell would hand it to the program.
struct Split {
    QString program;
    QStringList arguments;
};
Split splitCommandLine(const QString& commandLine);

}  // namespace vlccommand
