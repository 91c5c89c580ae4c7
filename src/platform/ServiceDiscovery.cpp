#include "platform/ServiceDiscovery.h"

namespace discovery {

QString roleName(PeerRole role)
{
    return role == PeerRole::Sender ? QStringLiteral("sender") : QStringLiteral("receiver");
}

bool roleFromName(const QString& name, PeerRole* role)
{
    for (PeerRole r : {PeerRole::Sender, PeerRole::Receiver}) {
        if (name.compare(roleName(r), Qt::CaseInsensitive) == 0) {
            *role = r;
            return true;
        }
    }
    return false;
}

namespace {

class NullDiscovery : public IServiceDiscovery {
public:
    void publish(PeerRole, quint16, const QMap<QString, QString>&) override {}
    void withdraw() override {}
    void browse(PeerRole) override {}
    void stopBrowsing() override {}
    QList<DiscoveredPeer> peers() const override { return {}; }
};

}  // namespace

std::unique_ptr<IServiceDiscovery> makeNullDiscovery()
{
    return std::make_unique<NullDiscovery>();
}

}  // namespace discovery
