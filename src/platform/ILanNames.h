#pragma once

#include <QString>

// The names of the other instances found on the LAN, and where they are.
class ILanNames {
public:
    virtual ~ILanNames() = default;
    // Where a name typed or picked in a target field connects: the address of the instance found
    // under that name, else the text as it stands.
    virtual QString addressOf(const QString& typed) const = 0;
    // The host name of the instance at this address, "" where none is known.
    virtual QString nameOf(const QString& address) const = 0;
};
