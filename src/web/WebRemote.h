#pragma once

#include "platform/LinkClock.h"
#include "platform/PeerBudget.h"
#include "web/WebAccess.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class QHttpServerRequest;
class QTcpSocket;
class QWebSocket;

// The sender's list and its controls as a web page, for a phone on the LAN: one page from the
// program's resources, the list and what plays now as JSON, kept up to date over a WebSocket, and
// the requests a receiver makes (a track first, pause, next, previous) as signals. Only browsers
// let in (WebAccess) see the list or steer; every host's requests, bytes and connections are
// bounded, as for peers of the link.
class WebRemote : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 22357;
    static constexpr int kMaxConnectionsPerHost = 8;
    static constexpr int kMaxConnections = 64;
    static constexpr int kMaxHosts = 256;                  // hosts whose budgets are kept
    static constexpr double kBytesPerSecond = 32 * 1024;   // what a host may send us
    static constexpr double kMaxBurstBytes = 64 * 1024;    // ... at once
    static constexpr int kMaxBody = 4096;                  // a request's body
    static constexpr qint64 kMaxUnsent = 8 * 1024 * 1024;  // answers a host has not taken
    static constexpr int kMaxWebSocketMessage = 1024;
    static constexpr int kPushDelayMs = 200;  // changes in a burst go as one
    static constexpr int kBanMs = 5000;       // a host cut off for flooding is turned away at once for this long

    // The list as it stands is fetched from listSource when it changed; listChanged() says it did.
    explicit WebRemote(std::function<QStringList()> listSource, LinkClock clock = steadyLinkClock(),
                       QObject* parent = nullptr);
    ~WebRemote() override;

    // Serves on this port (0: any free one); false when it cannot listen there.
    bool start(quint16 port, const QHostAddress& address = QHostAddress::Any);
    void stop();
    bool running() const { return server_ != nullptr; }
    quint16 port() const { return port_; }

    void listChanged();
    // index into the list, -1 for nothing; steerable: whether the sending VLC takes commands
    void setNowPlaying(int index, bool paused, bool steerable);

    // The user's answers, kept with those for receivers.
    void setAnswers(const QStringList& allowed, const QStringList& denied) { access_.setAnswers(allowed, denied); }
    void answer(const QString& host, bool allow) { access_.answer(host, allow); }
    // Every browser let in so far has to ask again; their open pages are closed.
    void forget();
    const WebAccess& access() const { return access_; }
    int openPages() const { return int(pages_.size()); }

    // "en" when the browser prefers English, else "de", like the window.
    static QString pageLanguage(const QByteArray& acceptLanguage);
    // The address as the user reads it (IPv4 without its IPv6 dress).
    static QString hostText(const QHostAddress& address);

signals:
    // A browser at this host asks to be let in; answer() lets it in or keeps it out.
    void admissionAsked(const QString& host);
    // A browser let in asked for this entry of the list (index and text as it saw them).
    void trackRequested(int index, const QString& entry);
    void pauseRequested();
    void nextRequested();
    void previousRequested();

public:
    // the HTTP server and the gate in front of it, in WebRemote.cpp
    class Server;
    class Gate;

private:
    struct Host {
        explicit Host(LinkClock clock) : requests(std::move(clock)) {}
        PeerBudget requests;
        double bytes = kMaxBurstBytes;
        qint64 last = -1;
        qint64 bannedUntil = -1;
    };
    struct Page {
        QWebSocket* socket;
        QString host;
        qint64 unsent;  // bytes handed to the socket and not written yet
    };
    void send(Page& page, const QString& text);
    Host& hostFor(const QString& host);
    bool chargeBytes(const QString& host, qint64 bytes);
    void ban(const QString& host);
    bool banned(const QString& host);
    void serve(const QHttpServerRequest& request, QTcpSocket* socket);
    void serveAsk(const QHttpServerRequest& request, QTcpSocket* socket, const QString& host);
    void servePlay(const QHttpServerRequest& request, QTcpSocket* socket);
    void takePages();
    void push();
    QByteArray state() const;
    QByteArray nowJson() const;

    std::unique_ptr<Server> server_;
    Gate* gate_ = nullptr;
    quint16 port_ = 0;
    const LinkClock clock_;
    WebAccess access_;
    QHash<QString, Host> hosts_;
    std::vector<Page> pages_;
    const std::function<QStringList()> listSource_;
    QStringList list_;
    QByteArray listJson_ = QByteArrayLiteral("[]");
    bool listDirty_ = true;
    bool nowDirty_ = false;
    int now_ = -1;
    bool paused_ = false;
    bool steerable_ = false;
    QTimer pushTimer_;
};
