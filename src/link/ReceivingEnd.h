#pragma once

#include "link/LinkPorts.h"
#include "link/MessageReader.h"
#include "link/RemoteMessages.h"
#include "link/RetryBackoff.h"
#include "platform/ILinkSocket.h"

#include <QObject>

#include <memory>

class Control;
class LanNames;
class ILinkSocketFactory;

// The receiving instance's end of the link: it listens for the sender's list channel (port
// 22355), shows the sender and its track list, opens the request channel back to the sender
// (port 22356), and asks there for the track the user double-clicks.
class ReceivingEnd : public QObject {
    Q_OBJECT
public:
    struct Controls {
        Control& FilmRemoteList;
        Control& SenderLabel;
        Control& EmpfangenFrame;       // shown while in receive mode
        Control& ConnectStatus;        // the list channel's state
        Control& ConnectStatusServer;  // the request channel's state
        Control& MulitCastCheck;       // picking up from the sender named in TargetTextClient
        Control& TargetTextClient;
    };
    ReceivingEnd(const Controls& controls, ILinkSocketFactory& sockets, const LanNames& names, LinkPorts ports,
                 QObject* parent = nullptr);
    ~ReceivingEnd() override;

    // Listens for the sender's list channel.
    void listen();
    // Opens the request channel to the sender whose list channel is connected.
    void ConnectClientSend();
    // Receive mode begins: no sender yet, the list shows only the waiting line.
    void showWaiting();
    // The link timer in receive mode: keeps the request channel up.
    void tick();
    // Asks the sender for the selected track of FilmRemoteList.
    void requestSelected();
    // Fills FilmRemoteList from a received track-list message, as its bytes came.
    void FillRemoteList(QByteArrayView message);
    // The program ends: both channels close.
    void close();

    // The request channel goes: the next check connects it where the pick-up field now names.
    void closeRequestChannel();
    // SenderLabel again, after the names known on the LAN have changed.
    void showSender();

    const ILinkSocket& listSocket() const { return *clientListen_; }
    const ILinkSocket& requestSocket() const { return *clientSend_; }

    // The sender said it takes the remote control, and its VLC can be steered now.
    bool senderSteerable() const { return senderRemote_ && playing_.steerable; }
    // Steers the sender's VLC; nothing is sent to a sender that did not say it knows how.
    void steer(remotemsg::Command command);

signals:
    // A track list arrived and is shown.
    void listReceived();
    void senderSteerableChanged(bool steerable);
    // What the sender plays now, marked in FilmRemoteList.
    void senderPlaying(int index, bool paused);

private:
    void Winsock_ClientListen_ConnectionRequest(qint64 requestId);
    void Winsock_ClientListen_DataArrival(qint64 bytesTotal);
    void Winsock_ClientListen_Close();
    void Winsock_ClientSend_Connect();
    void Winsock_ClientSend_SendComplete();
    void Winsock_ClientSend_Close();
    void handleListMessage(const QByteArray& message);
    void dropListChannel();
    // The sender this receiver is bound to while its request channel is up; "" for none.
    QString boundSender() const;
    bool handleRemoteMessage(const QString& body);
    void setSenderRemote(bool on);
    void setPlaying(const remotemsg::NowPlaying& now);

    Controls c_;
    LinkPorts ports_;
    std::unique_ptr<ILinkSocket> clientListen_;  // Winsock_ClientListen: list channel
    std::unique_ptr<ILinkSocket> clientSend_;    // Winsock_ClientSend: request channel
    MessageReader listReader_;
    LinkClock clock_ = steadyLinkClock();
    RetryBackoff requestRetry_;
    QString lastSender_;              // where the last list channel came from
    bool remoteListWaiting_ = false;  // FilmRemoteList shows only the waiting line
    const LanNames& names_;
    bool senderRemote_ = false;
    bool helloInFlight_ = false;  // the greeting is sent, and nothing else since
    remotemsg::NowPlaying playing_;
};
