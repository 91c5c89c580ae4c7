#pragma once

#include "platform/IServiceDiscovery.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

class QDBusConnection;

// Discovery through the Avahi daemon's D-Bus interface on the system bus (DNS-SD over mDNS). Every
// call to the daemon is asynchronous, and the bus is reached from a thread of its own, so the
// event loop never waits for the bus or the daemon. Without a bus or a daemon it stays quietly
// off; a daemon that starts later is used from then on, one that ends takes its peers with it.
class AvahiServiceDiscovery : public IServiceDiscovery {
    Q_OBJECT
public:
    struct Options {
        QString busAddress;  // empty: the system bus
        QString serviceType = QStringLiteral("_mirovell._tcp");
        QString hostName;             // this PC in our service names; empty: the machine's host name
        bool preparedBrowser = true;  // false: browse the way daemons before 0.8 need it
    };
    enum class State { Idle, Connecting, NoBus, NoDaemon, Running };
    Q_ENUM(State)

    AvahiServiceDiscovery();
    explicit AvahiServiceDiscovery(Options options, QObject* parent = nullptr);
    ~AvahiServiceDiscovery() override;

    void publish(PeerRole role, quint16 port, const QMap<QString, QString>& attributes = {}) override;
    void withdraw() override;
    void browse(PeerRole role) override;
    void stopBrowsing() override;
    QList<DiscoveredPeer> peers() const override;

    State state() const { return state_; }
    // The name this instance has on the LAN once the daemon has announced it; "" otherwise.
    QString publishedName() const { return establishedName_; }

    // How long after a withdrawal other PCs may still hold the old records (mDNS goodbye: 1 s).
    static constexpr int kGoodbyeMs = 2000;
    static constexpr int kRetryMs = 5000;
    static constexpr int kCallTimeoutMs = 10000;
    static constexpr int kResolveAttempts = 3;

signals:
    void stateChanged(AvahiServiceDiscovery::State state);

private slots:
    void onNameOwnerChanged(const QDBusMessage& m);
    void onServerStateChanged(const QDBusMessage& m);
    void onGroupStateChanged(const QDBusMessage& m);
    void onBrowserSignal(const QDBusMessage& m);

private:
    struct Publication {
        PeerRole role;
        quint16 port;
        QMap<QString, QString> attributes;
    };
    // What one entry group holds.
    struct Record {
        QString name;
        quint16 port = 0;
        QList<QByteArray> txt;
        friend bool operator==(const Record&, const Record&) = default;
    };
    // Avahi's key of a found service: interface, protocol, name, type, domain.
    using ItemKey = std::tuple<int, int, QString, QString, QString>;
    struct Item {
        uint flags = 0;
        quint64 generation = 0;  // a new sighting makes older resolve answers stale
        int attempts = 0;
        bool resolved = false;
        DiscoveredPeer peer;
    };
    struct Shared;  // what the connecting thread and this object share

    void start();
    void onConnected(bool connected);
    void setState(State state);
    QDBusConnection bus() const;
    // An asynchronous call to the daemon; done runs later on the event loop, and not at all once
    // the daemon has gone or come anew in between.
    void call(const QString& path, const QString& interface, const QString& method, const QVariantList& args,
              std::function<void(const QDBusMessage&)> done = {}, int timeoutMs = kCallTimeoutMs);
    bool fromDaemon(const QDBusMessage& m) const;
    void daemonAppeared(const QString& owner);
    void daemonGone();

    void applyPublication();
    void dropGroup();
    void groupCreated(const QDBusMessage& reply, quint64 generation);
    void renameAfterCollision();
    void setEstablished(const QString& name);

    void applyBrowsing();
    void browserCreated(const QDBusMessage& reply, quint64 generation, bool prepared);
    void dropBrowser();
    void browserSignal(const QDBusMessage& m);
    void itemNew(const QDBusMessage& m);
    void itemRemove(const QDBusMessage& m);
    void resolve(const ItemKey& key);
    void resolved(const ItemKey& key, quint64 generation, const QDBusMessage& reply);

    void queueNotify();
    void deliver();
    void scheduleRetry();

    Options options_;
    State state_ = State::Idle;
    QString connectionName_;
    std::shared_ptr<Shared> shared_;

    QString owner_;  // the daemon's unique name on the bus; "" while there is none
    bool ownerFromSignal_ = false;
    quint64 epoch_ = 0;  // counts the daemon's comings and goings
    int serverState_ = 0;

    std::optional<Publication> wanted_;
    QString serviceName_;          // the name for wanted_, after any collisions
    std::optional<Record> group_;  // what the current group holds, or is being made for
    QString groupPath_;
    quint64 groupGeneration_ = 0;
    QString establishedName_;
    std::optional<Record> withdrawn_;
    QElapsedTimer withdrawnAt_;
    QTimer republish_;

    std::optional<PeerRole> browseRole_;
    bool prepared_ = true;  // the daemon has ServiceBrowserPrepare
    QString browserPath_;
    bool browserPending_ = false;
    quint64 browserGeneration_ = 0;
    quint64 sightings_ = 0;
    QList<QDBusMessage> early_;  // browser signals that came before the reply that names the browser
    std::map<ItemKey, Item> items_;

    QTimer retry_;
    bool notifyQueued_ = false;
    QList<DiscoveredPeer> delivered_;
};

// The pure parts, open to tests.
namespace avahi {
// "Mirovell Empfänger auf wohnzimmer": at most 63 bytes of UTF-8, as DNS-SD allows.
QString serviceName(PeerRole role, const QString& hostName);
// The TXT records: role, version, then the attributes that fit (255 bytes each).
QList<QByteArray> txtRecords(PeerRole role, const QMap<QString, QString>& attributes);
// Role and attributes from TXT records; false when they name no role we know.
bool readTxt(const QList<QByteArray>& txt, PeerRole* role, QMap<QString, QString>* attributes);
// "wohnzimmer.local" in the domain "local" is "wohnzimmer"; the daemon's escapes undone, and the
// name made fit to show (discovery::shownName).
QString displayHost(const QString& host, const QString& domain);
}  // namespace avahi
