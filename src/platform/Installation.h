#pragma once

#include <QString>

// Where a copy of the program keeps its files depends on how it got onto the machine.
namespace installation {

// True when the program runs from the folder the build was configured to install programs into
// (e.g. /usr/bin for the system's package): such a copy is the system's, not the user's, and never
// writes beside itself, whoever runs it. Any other copy is one the user put into a folder of its own.
bool isInstalledCopy(const QString& programFolder, const QString& installBinFolder);

// True when a copy run from programFolder may keep its settings beside itself: the folder is
// writable and nobody else may put or replace files in it (a copy in /tmp may not).
bool mayKeepFilesBeside(const QString& programFolder);

// The user's configuration folder for the program: the XDG configuration home plus "Mirovell".
QString userConfigFolder();

}  // namespace installation
