#pragma once

#include "platform/ILinkSocket.h"

#include <memory>

class ILinkSocketFactory {
public:
    virtual ~ILinkSocketFactory() = default;
    virtual std::unique_ptr<ILinkSocket> create() = 0;
};
