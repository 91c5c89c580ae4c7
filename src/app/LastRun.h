#pragma once

#include "app/Ini.h"
#include "model/Defaults.h"

#include <QString>

class Settings;

// What one run leaves for the next in [LastSettings]: every key named here once, with its type and
// its default. A flag is kept as "1" or "0"; one that is on by default is off only for "0", one
// that is off by default is on only for "1", so a value of an older or hand-edited file reads as
// it always did.
namespace lastrun {

struct Text {
    QString key;
    QString fallback;
};
struct Flag {
    QString key;
    bool fallback;
};

// in the order a fresh file gets them
inline const Text kTarget{QStringLiteral("LastConnection"), platformdefaults::kDefaultRemoteHost};
inline const Text kProtocol{QStringLiteral("Protocol"), QStringLiteral("UDP")};
inline const Text kVlcPath{QStringLiteral("vlc.exe"), platformdefaults::kDefaultVlcPath};
inline const Flag kKeepList{QStringLiteral("AutoSavePlaylist"), true};
inline const Flag kMinimize{QStringLiteral("MinimizeOnStart"), true};
inline const Flag kSendToSeveral{QStringLiteral("SendToSeveral"), false};
inline const Flag kPickUp{QStringLiteral("PickUp"), false};
inline const Text kPickUpFrom{QStringLiteral("PickUpFrom"), platformdefaults::kDefaultRemoteHost};
// the answers to receivers that asked to be let in: addresses joined by ","
inline const Text kAllowed{QStringLiteral("AllowedReceivers"), QString()};
inline const Text kDenied{QStringLiteral("DeniedReceivers"), QString()};

// An empty or missing value gives the key's default.
QString read(const Settings& settings, const Text& key);
bool read(const Settings& settings, const Flag& key);

// Values written together, in one replacement of the file, in the order they were set.
class Values {
public:
    Values& set(const Text& key, const QString& value);
    Values& set(const Flag& key, bool on);
    void writeTo(const Settings& settings) const;

private:
    ini::KeyValues pairs_;
};

}  // namespace lastrun
