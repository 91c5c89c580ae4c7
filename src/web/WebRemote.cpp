#include "web/WebRemote.h"

#include <QAbstractHttpServer>
#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QWebSocket>

#include <algorithm>
#include <sys/socket.h>
#include <unistd.h>

using Status = QHttpServerResponder::StatusCode;

// Hands every request to the remote, known path or not.
class WebRemote::Server : public QAbstractHttpServer {
public:
    explicit Server(WebRemote& owner) : owner_(owner) {}
    static QHttpServerResponder responder(const QHttpServerRequest& r, QTcpSocket* s) { return makeResponder(r, s); }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        owner_.serve(request, socket);
        return true;
    }
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override
    {
        owner_.serve(request, socket);
    }

private:
    WebRemote& owner_;
};

// Takes a connection only while its host and everybody together hold few enough, and cuts one
// whose host sends more bytes than its budget allows, before the server reads them.
class WebRemote::Gate : public QTcpServer {
public:
    Gate(WebRemote& owner, QObject* parent) : QTcpServer(parent), owner_(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        // a host turned away costs a close, not a socket object: during a flood, accepting goes
        // on for as long as connections come in
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&peer), &size) != 0) {
            ::close(int(descriptor));
            return;
        }
        const QString host = hostText(QHostAddress(reinterpret_cast<const sockaddr*>(&peer)));
        std::erase_if(open_,
                      [](const Open& o) { return !o.socket || o.socket->state() != QAbstractSocket::ConnectedState; });
        const auto ofHost = std::count_if(open_.begin(), open_.end(), [&](const Open& o) { return o.host == host; });
        if (int(open_.size()) >= kMaxConnections || ofHost >= kMaxConnectionsPerHost || owner_.banned(host)) {
            ::close(int(descriptor));
            return;
        }
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        open_.push_back({socket, host});
        // connected before the server's own reading, so it sees the bytes first
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, host] {
            if (!owner_.chargeBytes(host, socket->bytesAvailable())) {
                // nobody reads from it any more, and it goes
                disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                socket->abort();
            }
        });
        addPendingConnection(socket);
    }

private:
    struct Open {
        QPointer<QTcpSocket> socket;
        QString host;
    };
    WebRemote& owner_;
    std::vector<Open> open_;
};

namespace {

const QByteArray kPolicy =
    QByteArrayLiteral("default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; img-src 'self'; "
                      "base-uri 'none'; form-action 'none'; frame-ancestors 'none'");

QByteArray header(const QHttpServerRequest& r, const QByteArray& name)
{
    for (const auto& [key, value] : r.headers())
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

QByteArray resource(const QString& name)
{
    QFile f(QStringLiteral(":/web/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void respond(const QHttpServerRequest& r, QTcpSocket* s, Status status, const QByteArray& type, const QByteArray& body,
             const QByteArray& cookie = {})
{
    auto out = WebRemote::Server::responder(r, s);
    out.writeStatusLine(status);
    out.writeHeader("Content-Type", type);
    out.writeHeader("Content-Length", QByteArray::number(body.size()));
    out.writeHeader("Cache-Control", "no-store");
    out.writeHeader("X-Content-Type-Options", "nosniff");
    out.writeHeader("Referrer-Policy", "no-referrer");
    out.writeHeader("Content-Security-Policy", kPolicy);
    if (!cookie.isEmpty())
        out.writeHeader("Set-Cookie", cookie);
    out.writeBody(body);
}

void respondJson(const QHttpServerRequest& r, QTcpSocket* s, Status status, const QByteArray& json,
                 const QByteArray& cookie = {})
{
    respond(r, s, status, "application/json", json, cookie);
}

// A page of another site must not steer us through the user's browser.
bool sameOrigin(const QByteArray& origin, const QByteArray& host)
{
    return origin.isEmpty() || QUrl(QString::fromLatin1(origin)).authority() == QString::fromLatin1(host);
}

}  // namespace

WebRemote::WebRemote(std::function<QStringList()> listSource, LinkClock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)), listSource_(std::move(listSource))
{
    pushTimer_.setSingleShot(true);
    pushTimer_.setInterval(kPushDelayMs);
    connect(&pushTimer_, &QTimer::timeout, this, &WebRemote::push);
}

WebRemote::~WebRemote()
{
    stop();
}

bool WebRemote::start(quint16 port, const QHostAddress& address)
{
    stop();
    auto server = std::make_unique<Server>(*this);
    auto* gate = new Gate(*this, server.get());
    if (!gate->listen(address, port))
        return false;
    server->bind(gate);
    connect(server.get(), &QAbstractHttpServer::newWebSocketConnection, this, &WebRemote::takePages);
    port_ = gate->serverPort();
    gate_ = gate;
    server_ = std::move(server);
    return true;
}

void WebRemote::stop()
{
    for (const Page& p : pages_) {
        p.socket->disconnect(this);
        p.socket->abort();
        p.socket->deleteLater();
    }
    pages_.clear();
    server_.reset();
    gate_ = nullptr;
    port_ = 0;
}

void WebRemote::forget()
{
    access_.forget();
    for (const Page& p : pages_) {
        p.socket->disconnect(this);
        p.socket->close(QWebSocketProtocol::CloseCodePolicyViolated);
        p.socket->deleteLater();
    }
    pages_.clear();
}

QString WebRemote::hostText(const QHostAddress& address)
{
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    return ok ? QHostAddress(v4).toString() : address.toString();
}

QString WebRemote::pageLanguage(const QByteArray& acceptLanguage)
{
    // the language the browser weighs highest, the first of equals
    QByteArray best;
    double bestWeight = -1;
    for (const QByteArray& item : acceptLanguage.split(',')) {
        const QList<QByteArray> parts = item.split(';');
        const QByteArray tag = parts.first().trimmed().toLower();
        double weight = 1;
        for (const QByteArray& p : parts.mid(1)) {
            const QByteArray t = p.trimmed();
            if (t.startsWith("q="))
                weight = t.mid(2).toDouble();
        }
        if (!tag.isEmpty() && weight > bestWeight) {
            best = tag;
            bestWeight = weight;
        }
    }
    return best == "en" || best.startsWith("en-") ? QStringLiteral("en") : QStringLiteral("de");
}

WebRemote::Host& WebRemote::hostFor(const QString& host)
{
    auto it = hosts_.find(host);
    if (it != hosts_.end())
        return *it;
    if (hosts_.size() >= kMaxHosts) {
        // the one heard from longest ago makes room
        auto oldest = std::min_element(hosts_.begin(), hosts_.end(),
                                       [](const Host& a, const Host& b) { return a.last < b.last; });
        hosts_.erase(oldest);
    }
    Host fresh(clock_);
    fresh.last = clock_();
    return *hosts_.insert(host, fresh);
}

bool WebRemote::chargeBytes(const QString& host, qint64 bytes)
{
    Host& h = hostFor(host);
    const qint64 now = clock_();
    if (h.last >= 0)
        h.bytes = std::min(kMaxBurstBytes, h.bytes + double(now - h.last) * kBytesPerSecond / 1000.0);
    h.last = now;
    h.bytes -= double(bytes);
    if (h.bytes >= 0)
        return true;
    ban(host);
    return false;
}

void WebRemote::ban(const QString& host)
{
    Host& h = hostFor(host);
    h.bannedUntil = clock_() + kBanMs;
    h.bytes = 0;  // it comes back with an empty budget
}

bool WebRemote::banned(const QString& host)
{
    auto it = hosts_.find(host);
    return it != hosts_.end() && it->bannedUntil > clock_();
}

void WebRemote::serve(const QHttpServerRequest& r, QTcpSocket* s)
{
    const QString host = hostText(r.remoteAddress());
    const PeerBudget::Verdict verdict = hostFor(host).requests.charge();
    if (verdict == PeerBudget::Verdict::Disconnect || s->bytesToWrite() > kMaxUnsent) {
        ban(host);
        // after the server is done with this request
        QMetaObject::invokeMethod(s, &QTcpSocket::abort, Qt::QueuedConnection);
        return;
    }
    if (verdict == PeerBudget::Verdict::Drop)
        return respond(r, s, Status::TooManyRequests, "text/plain", "busy\n");

    const QString path = r.url().path();
    const bool post = r.method() == QHttpServerRequest::Method::Post;
    const bool get = r.method() == QHttpServerRequest::Method::Get;
    if (get && header(r, "Upgrade").compare("websocket", Qt::CaseInsensitive) == 0)
        return;  // the server hands it on as a WebSocket, which answers it (takePages)
    if (post && (!sameOrigin(header(r, "Origin"), header(r, "Host")) || r.body().size() > kMaxBody))
        return respond(r, s, Status::Forbidden, "text/plain", "no\n");
    const bool in = access_.admits(header(r, "Cookie"));

    if (get && (path == u"/" || path == u"/index.html")) {
        QByteArray page = resource(QStringLiteral("remote.html"));
        page.replace("%LANG%", pageLanguage(header(r, "Accept-Language")).toLatin1());
        return respond(r, s, Status::Ok, "text/html; charset=utf-8", page);
    }
    if (get && path == u"/remote.js")
        return respond(r, s, Status::Ok, "text/javascript; charset=utf-8", resource(QStringLiteral("remote.js")));
    if (get && path == u"/remote.css")
        return respond(r, s, Status::Ok, "text/css; charset=utf-8", resource(QStringLiteral("remote.css")));
    if (get && path == u"/state") {
        if (in && listDirty_ && listSource_)
            push();
        return in ? respondJson(r, s, Status::Ok, state()) : respondJson(r, s, Status::Forbidden, R"({"state":"out"})");
    }
    if (post && path == u"/ask")
        return in ? respondJson(r, s, Status::Ok, R"({"state":"in"})") : serveAsk(r, s, host);
    if (!post || !(path == u"/play" || path == u"/pause" || path == u"/next" || path == u"/prev"))
        return respond(r, s, Status::NotFound, "text/plain", "not found\n");
    if (!in)
        return respondJson(r, s, Status::Forbidden, R"({"state":"out"})");
    if (path == u"/play")
        return servePlay(r, s);
    if (path == u"/pause")
        emit pauseRequested();
    else if (path == u"/next")
        emit nextRequested();
    else
        emit previousRequested();
    respondJson(r, s, Status::Ok, R"({"ok":true})");
}

void WebRemote::serveAsk(const QHttpServerRequest& r, QTcpSocket* s, const QString& host)
{
    QByteArray token;
    bool asked = false;
    switch (access_.ask(host, &token, &asked)) {
    case WebAccess::Asked::In: return respondJson(r, s, Status::Ok, R"({"state":"in"})", WebAccess::cookieFor(token));
    case WebAccess::Asked::Waiting:
        if (asked)
            emit admissionAsked(host);
        return respondJson(r, s, Status::Accepted, R"({"state":"waiting"})");
    case WebAccess::Asked::Denied: return respondJson(r, s, Status::Forbidden, R"({"state":"denied"})");
    case WebAccess::Asked::Busy: return respondJson(r, s, Status::ServiceUnavailable, R"({"state":"busy"})");
    }
}

void WebRemote::servePlay(const QHttpServerRequest& r, QTcpSocket* s)
{
    const QJsonObject asked = QJsonDocument::fromJson(r.body()).object();
    const int index = asked.value(QStringLiteral("index")).toInt(-1);
    const QString entry = asked.value(QStringLiteral("entry")).toString();
    if (listDirty_ && listSource_)
        push();
    if (index < 0 || index >= list_.size() || list_.at(index) != entry)
        return respondJson(r, s, Status::Conflict, R"({"ok":false})");  // the list changed meanwhile
    emit trackRequested(index, entry);
    respondJson(r, s, Status::Ok, R"({"ok":true})");
}

void WebRemote::takePages()
{
    while (server_ && server_->hasPendingWebSocketConnections()) {
        QWebSocket* ws = server_->nextPendingWebSocketConnection().release();
        ws->setParent(this);
        ws->setMaxAllowedIncomingFrameSize(kMaxWebSocketMessage);
        ws->setMaxAllowedIncomingMessageSize(kMaxWebSocketMessage);
        const QNetworkRequest request = ws->request();
        const QString host = hostText(ws->peerAddress());
        if (request.url().path() != u"/ws" || !access_.admits(request.rawHeader("Cookie")) ||
            !sameOrigin(ws->origin().toLatin1(), request.rawHeader("Host"))) {
            ws->close(QWebSocketProtocol::CloseCodePolicyViolated);
            ws->deleteLater();
            continue;
        }
        if (listDirty_ && listSource_)
            push();  // to the pages open before, as this one gets it all below
        pages_.push_back({ws, host, 0});
        connect(ws, &QWebSocket::bytesWritten, this, [this, ws](qint64 n) {
            for (Page& p : pages_)
                if (p.socket == ws)
                    p.unsent = std::max<qint64>(0, p.unsent - n);
        });
        // the page says nothing we need: whatever it sends only counts against its host
        auto heard = [this, ws, host] {
            if (hostFor(host).requests.charge() == PeerBudget::Verdict::Disconnect) {
                ban(host);
                ws->abort();
            }
        };
        connect(ws, &QWebSocket::textMessageReceived, this, heard);
        connect(ws, &QWebSocket::binaryMessageReceived, this, heard);
        connect(ws, &QWebSocket::disconnected, this, [this, ws] {
            std::erase_if(pages_, [ws](const Page& p) { return p.socket == ws; });
            ws->deleteLater();
        });
        send(pages_.back(), QString::fromUtf8(state()));
    }
}

void WebRemote::listChanged()
{
    listDirty_ = true;
    if (!pushTimer_.isActive())
        pushTimer_.start();
}

void WebRemote::setNowPlaying(int index, bool paused, bool steerable)
{
    if (index == now_ && paused == paused_ && steerable == steerable_)
        return;
    now_ = index;
    paused_ = paused;
    steerable_ = steerable;
    nowDirty_ = true;
    if (!pushTimer_.isActive())
        pushTimer_.start();
}

void WebRemote::push()
{
    pushTimer_.stop();
    QByteArray message;
    if (listDirty_ && listSource_) {
        list_ = listSource_();
        listJson_ = QJsonDocument(QJsonArray::fromStringList(list_)).toJson(QJsonDocument::Compact);
        listDirty_ = false;
        message = state();
    } else if (nowDirty_) {
        message = nowJson();
    }
    nowDirty_ = false;
    if (message.isEmpty())
        return;
    const QString text = QString::fromUtf8(message);
    for (Page& p : pages_)
        send(p, text);
}

void WebRemote::send(Page& page, const QString& text)
{
    // a page that takes nothing in is not sent more and more: it goes, and opens anew once it reads
    if (page.unsent > kMaxUnsent) {
        // not now: its end takes it out of the pages gone through here
        QMetaObject::invokeMethod(page.socket, &QWebSocket::abort, Qt::QueuedConnection);
        return;
    }
    page.unsent += page.socket->sendTextMessage(text);
}

QByteArray WebRemote::nowJson() const
{
    return "{\"now\":" + QByteArray::number(now_) + ",\"paused\":" + (paused_ ? "true" : "false") +
           ",\"steerable\":" + (steerable_ ? "true" : "false") + '}';
}

QByteArray WebRemote::state() const
{
    QByteArray now = nowJson();
    return "{\"list\":" + listJson_ + ',' + now.mid(1);
}
