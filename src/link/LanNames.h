#pragma once

#include "platform/IServiceDiscovery.h"

#include <QList>
#include <QObject>
#include <QString>

class Control;

// The other instances found on the LAN, as the two target fields offer them and the link's ends
// use them: which address a field's text connects to, and which name an address has.
class LanNames : public QObject {
    Q_OBJECT
public:
    // TargetText offers the receivers found, TargetTextClient the senders.
    LanNames(Control& TargetText, Control& TargetTextClient, IServiceDiscovery& discovery, QObject* parent = nullptr);

    // Where the text of a target field connects: the address of the instance found under that
    // name when the user picked it from the offered ones and the field still holds it; else the
    // text as it stands, so that nothing published on the LAN can redirect what was typed.
    QString addressOf(const QString& typed) const;
    // The host name of the instance at this address, "" where none is known.
    QString nameOf(const QString& address) const;
    // Forgets the peers found, as when this instance leaves the LAN.
    void clear() { offer({}); }

signals:
    // The peers found have changed, and the fields offer them.
    void changed();

private:
    void offer(const QList<DiscoveredPeer>& peers);
    void followPicks(Control& field, QString& picked);

    Control& TargetText;
    Control& TargetTextClient;
    QList<DiscoveredPeer> peers_;
    // the names picked from the drop-downs of TargetText and TargetTextClient; "" when typed
    QString pickedReceiver_;
    QString pickedSender_;
};
