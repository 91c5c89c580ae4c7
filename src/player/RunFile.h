#pragma once

#include "platform/IProcessLauncher.h"

#include <QString>

class IDialogs;

// Finding the program the desktop associates with a file, and opening web pages.
namespace runfile {

// The program registered for this file's type; "" when there is none.
QString FindExecutableFor(const QString& file);
// Full path of the program that opens this file, or "". A missing file is made, empty, for the
// look-up and removed again; where it cannot be, short-lived probe files in the temporary folder
// stand in for it.
// dialogs may be null: the question about a "*" in the name is then answered "go on".
QString FindAssociatedProgram(IDialogs* dialogs, const QString& file);
// Starts the desktop's web browser on the address; the process id, 0 when nothing started.
qint64 OpenInBrowser(IProcessLauncher& launcher, const QString& address, WindowStyle style);
// Opens a file as plain text in the desktop's text editor (never in the program its type would
// get: a play list would open in the media player); the process id, 0 when there is none.
qint64 OpenInTextEditor(IProcessLauncher& launcher, const QString& file);

}  // namespace runfile
