#pragma once

#include <QString>

inline const QString kProgramVersion = QStringLiteral("0.5");

// Where the program lives and what it was started with.
struct ProgramEnvironment {
    QString programFolder;  // with trailing separator
    QString exeBaseName;    // file name without extension
    QString commandLine;    // the argument text as one string
    // the user's folder: used by an installed copy, or when the program folder is not writable
    QString configFolder;
    bool installed = false;  // installed by the system: updates come through its package management
};
