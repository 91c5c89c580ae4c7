#include "link/LanNames.h"

#include "model/Control.h"
#include "platform/ServiceDiscovery.h"

LanNames::LanNames(Control& TargetText, Control& TargetTextClient, IServiceDiscovery& discovery, QObject* parent)
    : QObject(parent), TargetText(TargetText), TargetTextClient(TargetTextClient)
{
    connect(&discovery, &IServiceDiscovery::peersChanged, this, &LanNames::offer);
    followPicks(TargetText, pickedReceiver_);
    followPicks(TargetTextClient, pickedSender_);
}

// The binding sets the list index of a field with offered names when one is picked, before the
// text; typing, or the program setting another text, ends the pick.
void LanNames::followPicks(Control& field, QString& picked)
{
    connect(&field, &Control::changed, this, [&field, &picked](Control*, Control::Property property) {
        if (property == Control::Property::ListIndex && field.listIndex() >= 0)
            picked = field.item(field.listIndex());
        else if (property == Control::Property::Text && field.text() != picked)
            picked.clear();
    });
}

// Only a name picked from the offered ones stands for the address found with it: whatever is
// typed is used as it is, so no record anyone publishes can redirect a typed target.
QString LanNames::addressOf(const QString& typed) const
{
    // the link asks with the field's text, trimmed or not
    const auto pickedIn = [&typed](const Control& field, const QString& picked) {
        return !picked.isEmpty() && field.text() == picked && typed.trimmed() == picked.trimmed();
    };
    if (pickedIn(TargetText, pickedReceiver_))
        return discovery::addressFor(pickedReceiver_, pickedReceiver_, peers_, PeerRole::Receiver);
    if (pickedIn(TargetTextClient, pickedSender_))
        return discovery::addressFor(pickedSender_, pickedSender_, peers_, PeerRole::Sender);
    return typed;
}

QString LanNames::nameOf(const QString& address) const
{
    for (const DiscoveredPeer& p : peers_)
        if (p.address == address)
            return p.hostName;
    return {};
}

void LanNames::offer(const QList<DiscoveredPeer>& peers)
{
    peers_ = peers;
    QStringList receivers, senders;
    for (const DiscoveredPeer& p : peers) {
        QStringList& names = p.role == PeerRole::Receiver ? receivers : senders;
        if (!p.hostName.isEmpty() && !names.contains(p.hostName))
            names << p.hostName;
    }
    TargetText.setItems(receivers);
    TargetTextClient.setItems(senders);
    emit changed();
}
