#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

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
class IServiceDiscovery : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Offers this instance in a role on a port, until withdraw() or the end of this object. A
    // further call replaces what was offered. "role" and "v" are set here; attributes add to them.
    virtual void publish(PeerRole role, quint16 port, const QMap<QString, QString>& attributes = {}) = 0;
    virtual void withdraw() = 0;
    // Looks for instances in a role, replacing an earlier search. This instance is never among them.
    virtual void browse(PeerRole role) = 0;
    virtual void stopBrowsing() = 0;
    // The peers found now, sorted by host name; one entry per instance.
    virtual QList<DiscoveredPeer> peers() const = 0;

signals:
    // The peers found now, after each change; sent from the event loop, never from inside a call
    // to this object, so a receiver may do anything (even show a dialog).
    void peersChanged(const QList<DiscoveredPeer>& peers);
};
