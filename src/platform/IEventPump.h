#pragma once

// Lets the events that wait run once, so the window paints before a slow step. Never called from
// inside a socket's event: the events it runs may be that socket's own.
class IEventPump {
public:
    virtual ~IEventPump() = default;
    virtual void processPendingEvents() = 0;
};
