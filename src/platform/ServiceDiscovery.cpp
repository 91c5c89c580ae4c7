#include "platform/ServiceDiscovery.h"

#include <QHostAddress>

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

bool usableAddress(const QString& address)
{
    const QHostAddress a(address);
    const auto protocol = a.protocol();
    if (protocol != QAbstractSocket::IPv4Protocol && protocol != QAbstractSocket::IPv6Protocol)
        return false;
    if (a.isLoopback() || a.isMulticast() || a.isBroadcast())
        return false;
    // 0.0.0.0/8 and :: are nobody; an IPv4 address written as IPv6 is judged as itself
    bool v4 = false;
    const quint32 ip4 = a.toIPv4Address(&v4);
    if (v4)
        return (ip4 >> 24) != 0 && QHostAddress(ip4) != QHostAddress::Broadcast && !QHostAddress(ip4).isLoopback() &&
               !QHostAddress(ip4).isMulticast();
    return a != QHostAddress::AnyIPv6;
}

QString shownName(const QString& name)
{
    QString shown;
    shown.reserve(name.size());
    for (const char32_t c : name.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (c == u'\\') {
            shown += QStringLiteral("\\\\");
        } else if (category == QChar::Other_Control || category == QChar::Other_Format ||
                   category == QChar::Separator_Line || category == QChar::Separator_Paragraph ||
                   category == QChar::Other_Surrogate || category == QChar::Other_NotAssigned) {
            shown += c < 0x100 ? QStringLiteral("\\x%1").arg(uint(c), 2, 16, QLatin1Char('0'))
                               : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        } else {
            shown += QString::fromUcs4(&c, 1);
        }
    }
    return shown;
}

QString addressFor(const QString& text, const QString& picked, const QList<DiscoveredPeer>& peers, PeerRole role)
{
    if (picked.isEmpty() || text != picked)
        return text;
    for (const DiscoveredPeer& p : peers)
        if (p.role == role && p.hostName == picked)
            return p.address;
    return text;
}

}  // namespace discovery
