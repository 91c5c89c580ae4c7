#pragma once

#include <QTime>

class IClock {
public:
    virtual ~IClock() = default;
    virtual QTime now() const = 0;
};
