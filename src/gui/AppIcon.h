#pragma once

#include <QIcon>

namespace appicon {

// The application's icon in all its sizes. The pictures are decoded when a dialog or the tray
// first shows it, not at start, where the main window shows an icon of its own.
QIcon icon();

}  // namespace appicon
