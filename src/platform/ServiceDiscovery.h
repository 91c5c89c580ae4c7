#pragma once

#include "platform/IServiceDiscovery.h"

#include <QList>
#include <QString>

#include <memory>

namespace discovery {
// A role as other instances read it in the published records: "sender" or "receiver".
QString roleName(PeerRole role);
// The role named so; false for any other text (an instance of a later version, or junk).
bool roleFromName(const QString& name, PeerRole* role);

// Anyone on the LAN may publish any record: at most this many found services are kept.
constexpr int kMaxRecords = 256;
// An address a found peer may be reached at: not loopback, unspecified, broadcast nor multicast
// (a record naming one of these points back at this PC or at everyone).
bool usableAddress(const QString& address);
// A name as the window may show it: control and format characters (escape, new line, a change of
// writing direction) are written as \x1b or \u202e, and a backslash as \\, so no name can fake
// another or break a label.
QString shownName(const QString& name);
// Where a target field connects: the address of the peer in the role found under the name the user
// picked from the offered ones, while the field still holds exactly that name; else the text as it
// stands. A typed text is never replaced, not even when a found peer has that name.
QString addressFor(const QString& text, const QString& picked, const QList<DiscoveredPeer>& peers, PeerRole role);
}  // namespace discovery
