#pragma once

#include <QString>

namespace runtimefolder {

// A folder only this user can enter, for sockets that must not be reachable by others: the
// session's runtime folder where the desktop gives one, else one made for this user in the
// temporary folder (mode 0700, checked to be a real folder owned by the user). Empty when none
// can be had safely.
QString userRuntimeFolder();

}  // namespace runtimefolder
