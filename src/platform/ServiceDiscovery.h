#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>

// What an instance is while it offers itself on the LAN: the mode it is in.
enum class PeerRole { Sender, Receiver };

// Another instance found on the LAN.
struct DiscoveredPeer {
    QString hostName;  // the PC's name as its user knows it: "wohnzimmer", without ".local"
    QString address;   // IPv4 in dotted form: where to connect
    quint16 port = 0;  // the port it published with its role
    PeerRole role = PeerRole::Receiver;
    QString serviceName;                // unique on the LAN; tells two instances on one PC apart
    QMap<QString, QString> attributes;  // what it published beside its role (keys in lower case)

    friend bool operator==(const DiscoveredPeer&, const DiscoveredPeer&) = default;
};

// Lets other instances on the LAN find this one, and finds them. Where the system offers no
// discovery, everything here quietly does nothing: no message, no delay, no peers. Nothing blocks;
// results arrive later on the event loop.
class IServiceDiscovery {
public:
    // The peers found now, after each change; called from the event loop, never from inside a
    // call to this object, so the handler may do anything (even show a dialog).
    using PeersChanged = std::function<void(const QList<DiscoveredPeer>& peers)>;

    virtual ~IServiceDiscovery() = default;

    // Offers this instance in a role on a port, until withdraw() or the end of this object. A
    // further call replaces what was offered. "role" and "v" are set here; attributes add to them.
    virtual void publish(PeerRole role, quint16 port, const QMap<QString, QString>& attributes = {}) = 0;
    virtual void withdraw() = 0;
    // Looks for instances in a role, replacing an earlier search. This instance is never among them.
    virtual void browse(PeerRole role) = 0;
    virtual void stopBrowsing() = 0;
    // The peers found now, sorted by host name; one entry per instance.
    virtual QList<DiscoveredPeer> peers() const = 0;

    void setPeersChanged(PeersChanged handler) { peersChanged_ = std::move(handler); }

protected:
    PeersChanged peersChanged_;
};

namespace discovery {
// A role as other instances read it in the published records: "sender" or "receiver".
QString roleName(PeerRole role);
// The role named so; false for any other text (an instance of a later version, or junk).
bool roleFromName(const QString& name, PeerRole* role);
// A discovery that offers nothing and finds nothing: where the platform has none, or it is off.
std::unique_ptr<IServiceDiscovery> makeNullDiscovery();

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
