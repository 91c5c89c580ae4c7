#pragma once

#include "platform/Services.h"

#include <QString>

namespace runfile {

// Opens a web address in the program that shows web pages; the process id, 0 when nothing started.
qint64 OpenInBrowser(IProcessLauncher* launcher, const QString& address, WindowStyle style);

}  // namespace runfile
