#include "platform/qt/AvahiServiceDiscovery.h"

#include "platform/ServiceDiscovery.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QHostAddress>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <set>
#include <utility>

namespace {

const QString kAvahi = QStringLiteral("org.freedesktop.Avahi");
const QString kServer = QStringLiteral("org.freedesktop.Avahi.Server");
const QString kServer2 = QStringLiteral("org.freedesktop.Avahi.Server2");
const QString kGroup = QStringLiteral("org.freedesktop.Avahi.EntryGroup");
const QString kBrowser = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
const QString kDBus = QStringLiteral("org.freedesktop.DBus");
const QString kRoot = QStringLiteral("/");

constexpr int kIfUnspec = -1;
constexpr int kProtoUnspec = -1;
constexpr int kProtoInet = 0;  // IPv4 only: the link speaks IPv4, and each service is seen once
constexpr int kServerRunning = 2;
constexpr int kGroupEstablished = 2;
constexpr int kGroupCollision = 3;
constexpr int kGroupFailure = 4;
constexpr uint kResultOurOwn = 16;  // published through this very connection: this instance
constexpr qsizetype kMaxEarly = 1000;
constexpr int kServiceNameBytes = 63;
constexpr int kSuffixRoom = 5;  // for the daemon's " #12" after a collision
const QString kProtocolVersion = QStringLiteral("1");

QString pathOf(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("o"))
        return {};
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

}  // namespace

namespace avahi {

QString serviceName(PeerRole role, const QString& hostName)
{
    const QString prefix =
        role == PeerRole::Receiver ? QStringLiteral("Mirovell Empfänger") : QStringLiteral("Mirovell Sender");
    QList<uint> host = hostName.section(u'.', 0, 0).trimmed().toUcs4();
    QString name = prefix;
    while (!host.isEmpty()) {
        name = prefix + QStringLiteral(" auf ") +
               QString::fromUcs4(reinterpret_cast<const char32_t*>(host.constData()), host.size());
        if (name.toUtf8().size() <= kServiceNameBytes - kSuffixRoom)
            break;
        host.removeLast();
        name = prefix;
    }
    return name;
}

QList<QByteArray> txtRecords(PeerRole role, const QMap<QString, QString>& attributes)
{
    QList<QByteArray> txt{"role=" + discovery::roleName(role).toUtf8(), "v=" + kProtocolVersion.toUtf8()};
    for (auto it = attributes.begin(); it != attributes.end(); ++it) {
        const QString key = it.key().toLower();
        const bool printable = std::all_of(
            key.begin(), key.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'='; });
        if (key.isEmpty() || !printable || key == QLatin1String("role") || key == QLatin1String("v"))
            continue;
        const QByteArray entry = key.toLatin1() + '=' + it.value().toUtf8();
        if (entry.size() <= 255)
            txt << entry;
    }
    return txt;
}

bool readTxt(const QList<QByteArray>& txt, PeerRole* role, QMap<QString, QString>* attributes)
{
    attributes->clear();
    bool roleSeen = false;
    bool known = false;
    for (const QByteArray& entry : txt) {
        const qsizetype eq = entry.indexOf('=');
        const QString key = QString::fromLatin1(entry.left(eq < 0 ? entry.size() : eq)).toLower();
        const QString value = eq < 0 ? QString() : QString::fromUtf8(entry.mid(eq + 1));
        // a key given twice counts the first time only
        if (key == QLatin1String("role")) {
            if (!roleSeen)
                known = discovery::roleFromName(value, role);
            roleSeen = true;
        } else if (!key.isEmpty() && !attributes->contains(key)) {
            attributes->insert(key, value);
        }
    }
    return known;
}

QString displayHost(const QString& host, const QString& domain)
{
    QString h = host;
    if (h.endsWith(u'.'))
        h.chop(1);
    const QString suffix = u'.' + domain;
    if (!domain.isEmpty() && h.size() > suffix.size() && h.endsWith(suffix, Qt::CaseInsensitive))
        h.chop(suffix.size());
    // The daemon writes a label's dots, backslashes and control bytes as \. \\ and \027: the name
    // as its owner gave it, then shown so that nothing in it acts on the label that shows it.
    QByteArray raw;
    const QByteArray escaped = h.toUtf8();
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 >= escaped.size()) {
            raw += escaped[i];
        } else if (i + 3 < escaped.size() && std::isdigit(uchar(escaped[i + 1])) &&
                   std::isdigit(uchar(escaped[i + 2])) && std::isdigit(uchar(escaped[i + 3]))) {
            const int byte = escaped.mid(i + 1, 3).toInt();
            raw += char(byte < 256 ? byte : '?');
            i += 3;
        } else {
            raw += escaped[++i];
        }
    }
    return discovery::shownName(QString::fromUtf8(raw));
}

}  // namespace avahi

struct AvahiServiceDiscovery::Shared {
    std::mutex mutex;
    bool done = false;
    bool connected = false;
    bool abandoned = false;
};

AvahiServiceDiscovery::AvahiServiceDiscovery() : AvahiServiceDiscovery(Options{})
{
}

AvahiServiceDiscovery::AvahiServiceDiscovery(Options options, QObject* parent)
    : IServiceDiscovery(parent), options_(std::move(options))
{
    static const QMetaType txt = qDBusRegisterMetaType<QList<QByteArray>>();  // TXT records: aay
    Q_UNUSED(txt);
    republish_.setSingleShot(true);
    connect(&republish_, &QTimer::timeout, this, &AvahiServiceDiscovery::applyPublication);
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, [this] {
        applyPublication();
        applyBrowsing();
    });
}

AvahiServiceDiscovery::~AvahiServiceDiscovery()
{
    // Other PCs learn of the end at once; closing the connection would free both anyway.
    if (!groupPath_.isEmpty())
        call(groupPath_, kGroup, QStringLiteral("Free"), {});
    if (!browserPath_.isEmpty())
        call(browserPath_, kBrowser, QStringLiteral("Free"), {});
    if (shared_) {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->done)
            shared_->abandoned = true;  // the thread lets go of the connection when it gets one
        else if (shared_->connected)
            QDBusConnection::disconnectFromBus(connectionName_);
    }
}

void AvahiServiceDiscovery::publish(PeerRole role, quint16 port, const QMap<QString, QString>& attributes)
{
    if (!wanted_ || wanted_->role != role) {
        const QString host = options_.hostName.isEmpty() ? QSysInfo::machineHostName() : options_.hostName;
        serviceName_ = avahi::serviceName(role, host);
    }
    wanted_ = Publication{role, port, attributes};
    start();
    applyPublication();
}

void AvahiServiceDiscovery::withdraw()
{
    wanted_.reset();
    applyPublication();
}

void AvahiServiceDiscovery::browse(PeerRole role)
{
    browseRole_ = role;
    start();
    applyBrowsing();
}

void AvahiServiceDiscovery::stopBrowsing()
{
    browseRole_.reset();
    applyBrowsing();
}

// ---- the bus and the daemon

void AvahiServiceDiscovery::setState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    emit stateChanged(state);
}

QDBusConnection AvahiServiceDiscovery::bus() const
{
    return QDBusConnection(connectionName_);
}

// Connecting waits for the bus's answer (up to libdbus's 25 s where a bus hangs), so a thread
// of its own does it; the event loop learns the outcome later.
void AvahiServiceDiscovery::start()
{
    if (state_ != State::Idle)
        return;
    setState(State::Connecting);
    static std::atomic<int> connections{0};
    connectionName_ = QStringLiteral("mirovell-discovery-%1").arg(++connections);
    shared_ = std::make_shared<Shared>();
    QThread* thread = QThread::create([shared = shared_, name = connectionName_, address = options_.busAddress] {
        const QDBusConnection c = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                                    : QDBusConnection::connectToBus(address, name);
        const bool connected = c.isConnected();
        std::lock_guard lock(shared->mutex);
        shared->done = true;
        shared->connected = connected;
        if (!connected || shared->abandoned)
            QDBusConnection::disconnectFromBus(name);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this] {
        bool connected = false;
        {
            std::lock_guard lock(shared_->mutex);
            connected = shared_->connected;
        }
        onConnected(connected);
    });
    thread->start();
}

void AvahiServiceDiscovery::onConnected(bool connected)
{
    if (!connected) {
        setState(State::NoBus);
        return;
    }
    // Subscriptions name no sender: naming the daemon's well-known name would make QtDBus ask
    // the bus for its owner and wait for the answer. The slots check the sender instead.
    QDBusConnection c = bus();
    c.connect(QString(), QString(), kDBus, QStringLiteral("NameOwnerChanged"), {kAvahi}, QString(), this,
              SLOT(onNameOwnerChanged(QDBusMessage)));
    c.connect(QString(), kRoot, kServer, QStringLiteral("StateChanged"), this,
              SLOT(onServerStateChanged(QDBusMessage)));
    c.connect(QString(), QString(), kGroup, QStringLiteral("StateChanged"), this,
              SLOT(onGroupStateChanged(QDBusMessage)));
    for (const char* name : {"ItemNew", "ItemRemove", "Failure"})
        c.connect(QString(), QString(), kBrowser, QLatin1String(name), this, SLOT(onBrowserSignal(QDBusMessage)));
    setState(State::NoDaemon);

    // The bus answers this itself; a call to the daemon could start it, or wait for its start.
    QDBusMessage m = QDBusMessage::createMethodCall(kDBus, QStringLiteral("/org/freedesktop/DBus"), kDBus,
                                                    QStringLiteral("GetNameOwner"));
    m.setArguments({kAvahi});
    auto* watcher = new QDBusPendingCallWatcher(c.asyncCall(m, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (ownerFromSignal_ || reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("s"))
            return;
        daemonAppeared(reply.arguments().value(0).toString());
    });
}

bool AvahiServiceDiscovery::fromDaemon(const QDBusMessage& m) const
{
    return !owner_.isEmpty() && m.service() == owner_;
}

void AvahiServiceDiscovery::onNameOwnerChanged(const QDBusMessage& m)
{
    const QVariantList a = m.arguments();
    if (m.service() != kDBus || m.signature() != QLatin1String("sss") || a.value(0).toString() != kAvahi)
        return;
    ownerFromSignal_ = true;
    const QString newOwner = a.value(2).toString();
    if (newOwner == owner_)
        return;
    if (!owner_.isEmpty())
        daemonGone();
    if (!newOwner.isEmpty())
        daemonAppeared(newOwner);
}

void AvahiServiceDiscovery::daemonAppeared(const QString& owner)
{
    if (owner.isEmpty())
        return;
    owner_ = owner;
    ++epoch_;
    serverState_ = 0;
    prepared_ = options_.preparedBrowser;
    setState(State::Running);
    call(kRoot, kServer, QStringLiteral("GetState"), {}, [this](const QDBusMessage& r) {
        if (r.type() == QDBusMessage::ReplyMessage && r.signature() == QLatin1String("i"))
            serverState_ = r.arguments().value(0).toInt();
        applyPublication();
    });
    applyBrowsing();
}

// Everything the daemon held for us went with it; a new daemon starts from nothing.
void AvahiServiceDiscovery::daemonGone()
{
    owner_.clear();
    ++epoch_;
    serverState_ = 0;
    group_.reset();
    groupPath_.clear();
    ++groupGeneration_;
    setEstablished(QString());
    republish_.stop();
    browserPath_.clear();
    browserPending_ = false;
    ++browserGeneration_;
    early_.clear();
    items_.clear();
    retry_.stop();
    setState(State::NoDaemon);
    queueNotify();
}

void AvahiServiceDiscovery::call(const QString& path, const QString& interface, const QString& method,
                                 const QVariantList& args, std::function<void(const QDBusMessage&)> done, int timeoutMs)
{
    if (owner_.isEmpty())
        return;
    // Sent to the daemon we know by its unique name: never to a successor that missed what came before.
    QDBusMessage m = QDBusMessage::createMethodCall(owner_, path, interface, method);
    m.setArguments(args);
    m.setAutoStartService(false);
    const QDBusPendingCall pending = bus().asyncCall(m, timeoutMs);
    if (!done)
        return;
    auto* watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, epoch = epoch_, done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (epoch == epoch_)
                    done(w->reply());
            });
}

void AvahiServiceDiscovery::onServerStateChanged(const QDBusMessage& m)
{
    if (!fromDaemon(m) || m.signature() != QLatin1String("is"))
        return;
    serverState_ = m.arguments().value(0).toInt();
    // Registering anew means a new host name: records made for the old one must go, and are
    // made again once the daemon runs.
    applyPublication();
}

// ---- publishing

void AvahiServiceDiscovery::applyPublication()
{
    if (owner_.isEmpty())
        return;
    std::optional<Record> target;
    if (wanted_ && serverState_ == kServerRunning)
        target = Record{serviceName_, wanted_->port, avahi::txtRecords(wanted_->role, wanted_->attributes)};
    if (target == group_)
        return;
    republish_.stop();
    dropGroup();
    if (!target)
        return;
    // Other PCs keep withdrawn records one more second. Records under the same name arriving
    // within it would refresh them there, and their browsers would never look again at port,
    // records or host name: wait until the old ones are gone.
    if (withdrawn_ && withdrawn_->name == target->name && withdrawnAt_.isValid() &&
        withdrawnAt_.elapsed() < kGoodbyeMs) {
        republish_.start(int(kGoodbyeMs - withdrawnAt_.elapsed()));
        return;
    }
    group_ = target;
    const quint64 generation = ++groupGeneration_;
    call(kRoot, kServer, QStringLiteral("EntryGroupNew"), {},
         [this, generation](const QDBusMessage& r) { groupCreated(r, generation); });
}

void AvahiServiceDiscovery::dropGroup()
{
    if (!group_)
        return;
    if (!groupPath_.isEmpty())
        call(groupPath_, kGroup, QStringLiteral("Free"), {});
    withdrawn_ = group_;
    withdrawnAt_.start();
    group_.reset();
    groupPath_.clear();
    ++groupGeneration_;
    setEstablished(QString());
}

void AvahiServiceDiscovery::groupCreated(const QDBusMessage& reply, quint64 generation)
{
    const QString path = pathOf(reply);
    if (generation != groupGeneration_) {
        if (!path.isEmpty())
            call(path, kGroup, QStringLiteral("Free"), {});
        return;
    }
    if (path.isEmpty()) {
        group_.reset();
        scheduleRetry();
        return;
    }
    groupPath_ = path;
    // The daemon takes calls in order: the Commit needs no wait for the AddService's answer.
    call(path, kGroup, QStringLiteral("AddService"),
         {kIfUnspec, kProtoUnspec, 0u, group_->name, options_.serviceType, QString(), QString(),
          QVariant::fromValue(group_->port), QVariant::fromValue(group_->txt)},
         [this, generation](const QDBusMessage& r) {
             if (generation != groupGeneration_ || r.type() != QDBusMessage::ErrorMessage)
                 return;
             if (r.errorName() == QLatin1String("org.freedesktop.Avahi.CollisionError")) {
                 renameAfterCollision();  // another program on this PC has the name
             } else {
                 dropGroup();
                 scheduleRetry();
             }
         });
    call(path, kGroup, QStringLiteral("Commit"), {});
}

void AvahiServiceDiscovery::onGroupStateChanged(const QDBusMessage& m)
{
    if (!fromDaemon(m) || groupPath_.isEmpty() || m.path() != groupPath_ || m.signature() != QLatin1String("is"))
        return;
    switch (m.arguments().value(0).toInt()) {
    case kGroupEstablished: setEstablished(group_ ? group_->name : QString()); break;
    case kGroupCollision:
        renameAfterCollision();  // another PC has the name
        break;
    case kGroupFailure:
        dropGroup();
        scheduleRetry();
        break;
    default: break;
    }
}

void AvahiServiceDiscovery::renameAfterCollision()
{
    setEstablished(QString());
    call(kRoot, kServer, QStringLiteral("GetAlternativeServiceName"), {serviceName_},
         [this, generation = groupGeneration_](const QDBusMessage& r) {
             if (generation != groupGeneration_)
                 return;
             const QString alternative =
                 r.signature() == QLatin1String("s") ? r.arguments().value(0).toString() : QString();
             if (r.type() != QDBusMessage::ReplyMessage || alternative.isEmpty() || alternative == serviceName_) {
                 dropGroup();
                 scheduleRetry();
                 return;
             }
             serviceName_ = alternative;
             applyPublication();
         });
}

void AvahiServiceDiscovery::setEstablished(const QString& name)
{
    if (establishedName_ == name)
        return;
    establishedName_ = name;
}

// ---- browsing

void AvahiServiceDiscovery::applyBrowsing()
{
    queueNotify();  // a new role lets other peers through
    if (owner_.isEmpty())
        return;
    if (!browseRole_) {
        dropBrowser();
        return;
    }
    if (!browserPath_.isEmpty() || browserPending_)
        return;
    browserPending_ = true;
    early_.clear();
    const quint64 generation = ++browserGeneration_;
    const QVariantList args{kIfUnspec, kProtoInet, options_.serviceType, QString(), 0u};
    // Prepare, subscribe (done once for every path), Start: nothing can come before we listen.
    // A daemon without Prepare starts at once, so what comes before its answer is kept.
    const bool prepared = prepared_;
    call(kRoot, prepared ? kServer2 : kServer,
         prepared ? QStringLiteral("ServiceBrowserPrepare") : QStringLiteral("ServiceBrowserNew"), args,
         [this, generation, prepared](const QDBusMessage& r) { browserCreated(r, generation, prepared); });
}

void AvahiServiceDiscovery::browserCreated(const QDBusMessage& reply, quint64 generation, bool prepared)
{
    const QString path = pathOf(reply);
    if (generation != browserGeneration_) {
        if (!path.isEmpty())
            call(path, kBrowser, QStringLiteral("Free"), {});
        return;
    }
    browserPending_ = false;
    const QList<QDBusMessage> early = std::exchange(early_, {});
    if (path.isEmpty()) {
        const QString error = reply.errorName();
        if (prepared && (error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
                         error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface"))) {
            prepared_ = false;  // before Avahi 0.8
            applyBrowsing();
        } else {
            scheduleRetry();
        }
        return;
    }
    browserPath_ = path;
    if (prepared) {
        call(path, kBrowser, QStringLiteral("Start"), {}, [this, generation](const QDBusMessage& r) {
            if (generation == browserGeneration_ && r.type() == QDBusMessage::ErrorMessage) {
                dropBrowser();
                scheduleRetry();
            }
        });
    } else {
        for (const QDBusMessage& m : early) {
            if (m.path() == path && browserPath_ == path)
                browserSignal(m);
        }
    }
}

void AvahiServiceDiscovery::dropBrowser()
{
    if (!browserPath_.isEmpty())
        call(browserPath_, kBrowser, QStringLiteral("Free"), {});
    browserPath_.clear();
    browserPending_ = false;
    ++browserGeneration_;
    early_.clear();
    items_.clear();
    queueNotify();
}

void AvahiServiceDiscovery::onBrowserSignal(const QDBusMessage& m)
{
    if (!fromDaemon(m))
        return;
    if (browserPath_.isEmpty()) {
        if (browserPending_ && early_.size() < kMaxEarly)
            early_ << m;
        return;
    }
    if (m.path() == browserPath_)
        browserSignal(m);
}

void AvahiServiceDiscovery::browserSignal(const QDBusMessage& m)
{
    if (m.member() == QLatin1String("ItemNew")) {
        itemNew(m);
    } else if (m.member() == QLatin1String("ItemRemove")) {
        itemRemove(m);
    } else if (m.member() == QLatin1String("Failure")) {
        dropBrowser();
        scheduleRetry();
    }
}

namespace {

bool readKey(const QDBusMessage& m, std::tuple<int, int, QString, QString, QString>* key, uint* flags)
{
    if (m.signature() != QLatin1String("iisssu"))
        return false;
    const QVariantList a = m.arguments();
    *key = {a.value(0).toInt(), a.value(1).toInt(), a.value(2).toString(), a.value(3).toString(),
            a.value(4).toString()};
    *flags = a.value(5).toUInt();
    return true;
}

}  // namespace

void AvahiServiceDiscovery::itemNew(const QDBusMessage& m)
{
    ItemKey key;
    uint flags = 0;
    if (!readKey(m, &key, &flags))
        return;
    // Beyond the cap a sighting is ignored for good: it is seen again when browsing starts anew.
    if (items_.size() >= std::size_t(discovery::kMaxRecords) && !items_.count(key))
        return;
    Item& item = items_[key];
    item = Item{};
    item.flags = flags;
    item.generation = ++sightings_;
    resolve(key);
    queueNotify();
}

void AvahiServiceDiscovery::itemRemove(const QDBusMessage& m)
{
    ItemKey key;
    uint flags = 0;
    if (readKey(m, &key, &flags) && items_.erase(key))
        queueNotify();
}

void AvahiServiceDiscovery::resolve(const ItemKey& key)
{
    const auto it = items_.find(key);
    if (it == items_.end())
        return;
    const auto& [interface, protocol, name, type, domain] = key;
    call(kRoot, kServer, QStringLiteral("ResolveService"), {interface, protocol, name, type, domain, kProtoInet, 0u},
         [this, key, generation = it->second.generation](const QDBusMessage& r) { resolved(key, generation, r); });
}

void AvahiServiceDiscovery::resolved(const ItemKey& key, quint64 generation, const QDBusMessage& reply)
{
    const auto it = items_.find(key);
    if (it == items_.end() || it->second.generation != generation)
        return;
    Item& item = it->second;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("iissssisqaayu")) {
        // The daemon gives up after a few seconds when the other PC does not answer: ask again.
        if (++item.attempts < kResolveAttempts) {
            QTimer::singleShot(kRetryMs, this, [this, key, generation] {
                const auto again = items_.find(key);
                if (again != items_.end() && again->second.generation == generation)
                    resolve(key);
            });
        }
        return;
    }
    const QVariantList a = reply.arguments();
    DiscoveredPeer peer;
    const auto txt = qdbus_cast<QList<QByteArray>>(a.value(9));
    const QHostAddress address(a.value(7).toString());
    if (!avahi::readTxt(txt, &peer.role, &peer.attributes) || address.protocol() != QAbstractSocket::IPv4Protocol ||
        !discovery::usableAddress(address.toString()))
        return;  // not one of ours, or nothing we can connect to
    peer.hostName = avahi::displayHost(a.value(5).toString(), a.value(4).toString());
    peer.address = address.toString();
    // a host named like an address it does not have would pass for that address in the list
    if (peer.hostName.isEmpty() || (!QHostAddress(peer.hostName).isNull() && QHostAddress(peer.hostName) != address))
        return;
    peer.port = a.value(8).value<quint16>();
    peer.serviceName = std::get<2>(key);
    if (peer.port == 0)
        return;
    item.peer = peer;
    item.flags |= a.value(10).toUInt() & kResultOurOwn;
    item.resolved = true;
    queueNotify();
}

// ---- the peers

QList<DiscoveredPeer> AvahiServiceDiscovery::peers() const
{
    QList<DiscoveredPeer> found;
    if (!browseRole_)
        return found;
    std::set<QString> names;
    for (const auto& [key, item] : items_) {
        if (!item.resolved || item.peer.role != *browseRole_ || (item.flags & kResultOurOwn))
            continue;
        if (names.insert(item.peer.serviceName).second)  // one entry when seen on several interfaces
            found << item.peer;
    }
    std::sort(found.begin(), found.end(), [](const DiscoveredPeer& a, const DiscoveredPeer& b) {
        const int c = a.hostName.compare(b.hostName, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.serviceName < b.serviceName;
    });
    return found;
}

void AvahiServiceDiscovery::queueNotify()
{
    if (notifyQueued_)
        return;
    notifyQueued_ = true;
    QMetaObject::invokeMethod(this, &AvahiServiceDiscovery::deliver, Qt::QueuedConnection);
}

void AvahiServiceDiscovery::deliver()
{
    notifyQueued_ = false;
    const QList<DiscoveredPeer> now = peers();
    if (now == delivered_)
        return;
    delivered_ = now;
    // a receiver may end this object: nothing of it is touched afterwards
    emit peersChanged(now);
}

void AvahiServiceDiscovery::scheduleRetry()
{
    if (!retry_.isActive())
        retry_.start();
}
