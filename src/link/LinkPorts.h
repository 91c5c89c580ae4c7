#pragma once

#include <QtGlobal>

// The two TCP ports of the link; tests and a second copy on one machine replace them.
struct LinkPorts {
    quint16 list = 22355;     // list channel, sender to receiver
    quint16 request = 22356;  // request channel, receiver to sender
};
