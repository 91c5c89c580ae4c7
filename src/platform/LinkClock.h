#pragma once

#include <QtGlobal>

#include <functional>

// Milliseconds on a clock that only goes forward; tests hand in their own.
using LinkClock = std::function<qint64()>;

LinkClock steadyLinkClock();
