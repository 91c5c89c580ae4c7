#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>

// A small HTTP/1.1 server on loopback, port chosen by the system, answering from a route table.
class HttpTestServer : public QObject {
    Q_OBJECT
public:
    enum class Kind {
        Normal,     // status, headers and body, then close
        Stall,      // announces a body, sends a little, then nothing
        Endless,    // a body without length that never ends
        Truncated,  // announces more than it sends, then closes
    };
    struct Route {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        Kind kind = Kind::Normal;
    };

    HttpTestServer();
    void route(const QByteArray& path, const Route& r) { routes_[path] = r; }
    void serve(const QByteArray& path, const QByteArray& body) { routes_[path] = Route{200, body, {}, Kind::Normal}; }
    void redirect(const QByteArray& path, const QByteArray& location, int status = 302);
    QString url(const QString& path) const;
    quint16 port() const { return server_.serverPort(); }

    QList<QByteArray> requestedPaths;
    QList<QByteArray> requestHeads;

private:
    void answer(QTcpSocket* socket, const QByteArray& head);

    std::map<QByteArray, Route> routes_;
    std::map<QObject*, QByteArray> buffers_;
    QTcpServer server_;   // last: its sockets still reach buffers_ while they go
};
