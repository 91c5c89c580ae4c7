#pragma once

#include "link/LinkPorts.h"
#include "link/MessageReader.h"
#include "link/RemoteMessages.h"
#include "link/RequestCoalescer.h"
#include "link/RequestIndex.h"
#include "link/RetryBackoff.h"
#include "link/WholeNameIndex.h"
#include "platform/ILinkSocket.h"
#include "platform/LinkClock.h"
#include "platform/PeerBudget.h"

#include <QObject>

#include <memory>
#include <vector>

class Control;
class LanNames;
class ILinkSocketFactory;

// The sending instance's end of the link: the list channel it opens to the receiver (port
// 22355), on which it announces FilmList, and the request channel it listens on (port 22356),
// on which the receiver asks for tracks. A track request moves the track to the top of FilmList
// and asks, through restartRequested(), for the stream to start again.
// Serving several receivers, it keeps the request channel listening and takes every receiver that
// connects to it as one of its audience: it opens a list channel back to each, and each gets the
// list. The messages on every channel are those of one receiver.
// Every host on the LAN may connect, so each peer's messages are charged against a budget, a
// batch of requests counts as its last one, and only the receiver in TargetText (one receiver)
// or the receivers the user let in (several) are heard and given the list.
class SendingEnd : public QObject {
    Q_OBJECT
public:
    struct Controls {
        Control& FilmList;
        Control& TargetText;           // the receiver's host
        Control& SendenFrame;          // shown while in send mode
        Control& ConnectStatus;        // the list channel's state
        Control& ConnectStatusServer;  // the request channel's state
    };
    // clock: for the receivers' budgets, retries and time-outs
    SendingEnd(const Controls& controls, ILinkSocketFactory& sockets, const LanNames& names, LinkPorts ports,
               LinkClock clock, QObject* parent = nullptr);
    ~SendingEnd() override;

    // Listens for the receiver's request channel.
    void StartServerListen();
    // Opens the list channel to the receiver, unless it is open or opening.
    void connectToReceiver();
    // Sends FilmList over the list channel (opening it first where it is not).
    void announceList();
    // The link timer in send mode: keeps both channels up and repeats the list every fifth tick.
    void tick();
    // The target changed: the list channel closes, and the next attempt goes at once.
    void closeListChannel();
    // The program ends: every channel closes.
    void close();

    // Serves every receiver that makes itself known instead of the one in TargetText.
    void setSeveral(bool several);
    bool several() const { return several_; }
    // Where what the user typed into TargetText connects (a name found on the LAN, or the text).
    QString targetAddress() const;
    // The receivers known now, and how many of them have their list channel up.
    int audienceSize() const;
    int audienceConnected() const;
    static constexpr int kMaxAudience = 64;
    // receivers that asked to be let in and wait for the user's answer
    int waitingSize() const { return int(audience_.size()) - audienceSize(); }
    static constexpr int kMaxWaiting = 16;

    // The user's answers to receivers that asked to be let in, by address.
    void setAnswers(const QStringList& allowed, const QStringList& denied);
    const QStringList& allowedHosts() const { return allowed_; }
    const QStringList& deniedHosts() const { return denied_; }
    void answer(const QString& address, bool allow);
    // Every answer is taken back: the receivers let in so far have to ask again.
    void forgetAnswers();

    // A member whose list channel has not been up for this long leaves the audience.
    static constexpr int kMemberTimeoutMs = 30000;

    // Every start of the stream, asked for or not, holds one of these while it goes.
    RequestCoalescer& restarts() { return restarts_; }

    const ILinkSocket& listSocket() const { return *serverSend_; }
    const ILinkSocket& requestSocket() const { return *serverListen_; }

    // Which entry of FilmList a requested name stands for now; -1 for none.
    int requestedEntry(const QString& name) { return requestIndex_.find(name); }

    // What the sending VLC plays now, and whether it can be steered, for the receivers that know
    // the remote control.
    void announceNowPlaying(int index, bool paused, bool steerable);

signals:
    // Restarts asked for (a reset request); at most once a second, from the event loop.
    void restartRequested();
    // An unknown receiver at this address wants the list; answer() lets it in or keeps it out.
    void admissionAsked(const QString& address);
    // The answers changed and should be kept.
    void answersChanged();
    // A receiver asked for this track (by the name it knows); FilmList holds an entry for it.
    void trackRequested(const QString& name);
    // A receiver that knows the remote control steers the sending VLC.
    void steerRequested(remotemsg::Command command);

private:
    void Winsock_ServerListen_ConnectionRequest(qint64 requestId);
    void Winsock_ServerListen_DataArrival(qint64 bytesTotal);
    void Winsock_ServerListen_Close();
    void Winsock_ServerSend_Connect();
    struct Receiver;
    // A message from a peer, charged to its budget; false when the peer is to go.
    bool takeMessage(const QByteArray& message, PeerBudget& budget, bool heard, Receiver* from);
    void handleRequestMessage(const QByteArray& message, Receiver* from);
    void serveRequest();
    bool isTargetHost(const QString& address) const;
    void admitWaiting(const QString& address, bool allow);
    void expireAudience();
    // the remote control's part of the request path
    bool handleSteering(const QString& body, Receiver* from);
    void greetBack(ILinkSocket& list);
    void closeRequestChannel();
    void welcome(qint64 requestId);
    void connectToAudience();
    void sendToAudience(const QByteArray& bytes);
    void dropReceiver(Receiver* r);
    void dropAudience();

    Controls c_;
    ILinkSocketFactory& sockets_;
    LinkPorts ports_;
    const LinkClock clock_;
    std::unique_ptr<ILinkSocket> serverListen_;  // Winsock_ServerListen: request channel
    std::unique_ptr<ILinkSocket> serverSend_;    // Winsock_ServerSend: list channel
    WholeNameIndex requestNames_;
    RequestIndex requestIndex_;
    MessageReader requestReader_;
    PeerBudget requestBudget_;
    RetryBackoff listRetry_;
    QString pendingRequest_;  // the last track asked for in the batch being read
    bool requestQueued_ = false;
    RequestCoalescer restarts_;
    qint16 sendCountdown = 0;  // the link timer's rhythm for repeating the track list
    bool several_ = false;
    std::vector<std::unique_ptr<Receiver>> audience_;
    QStringList allowed_;
    QStringList denied_;
    const LanNames& names_;
    bool remotePeer_ = false;  // the one receiver's request channel greeted with the remote control
    int nowPlaying_ = -1;
    bool paused_ = false;
    bool steerable_ = false;
};
