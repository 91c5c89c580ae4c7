#pragma once

#include "platform/IEventPump.h"

#include <QCoreApplication>

// Runs what waits on the event loop, except the user's input, which waits for the step to end.
class QtEventPump : public IEventPump {
public:
    void processPendingEvents() override { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
};
