#pragma once

#include "platform/IClock.h"

class SystemClock : public IClock {
public:
    QTime now() const override { return QTime::currentTime(); }
};
