#pragma once

#include "model/Defaults.h"

#include <QString>

// Where the program, its updater and its home page are published.
namespace updateaddresses {

// The maker's web server: every address of ours uses this one host.
inline const QString kMakerHost = QStringLiteral("https://www.mirovell.de");

inline QString programAddress()
{
    return kMakerHost + QStringLiteral("/Downloads/Tools/Mirovell/de/") + platformdefaults::kPublishedProgramName;
}
inline QString updaterAddress()
{
    return kMakerHost + QStringLiteral("/Downloads/") + platformdefaults::kPublishedUpdaterName;
}
inline QString homepageAddress()
{
    return kMakerHost + QStringLiteral("/Downloads/Tools/Mirovell/");
}
inline const QString kVlcAddress = QStringLiteral("https://www.videolan.org/");

}  // namespace updateaddresses
