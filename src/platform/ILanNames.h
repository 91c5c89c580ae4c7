#pragma once

#include <QString>

// The names of the other instances found on the LAN, and where they are.
class ILanNames {
public:
    virtual ~ILanNames() = default;
    // Where the text of a target field connects: the address of the instance found under that
    // name when the user picked it from the offered ones and the field still holds it; else the
    // text as it stands, so that nothing published on the LAN can redirect what was typed.
    virtual QString addressOf(const QString& typed) const = 0;
    // The host name of the instance at this address, "" where none is known.
    virtual QString nameOf(const QString& address) const = 0;
};
