#include "HttpTestServer.h"

#include <QTcpSocket>
#include <QTimer>

HttpTestServer::HttpTestServer()
{
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QObject::destroyed, this, [this, socket] { buffers_.erase(socket); });
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray& buffer = buffers_[socket];
                buffer += socket->readAll();
                const qsizetype end = buffer.indexOf("\r\n\r\n");
                if (end >= 0) {
                    // one request per connection
                    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
                    answer(socket, buffer.left(end));
                }
            });
        }
    });
}

void HttpTestServer::redirect(const QByteArray& path, const QByteArray& location, int status)
{
    routes_[path] = Route{status, {}, {{"Location", location}}, Kind::Normal};
}

QString HttpTestServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
}

void HttpTestServer::answer(QTcpSocket* socket, const QByteArray& head)
{
    requestHeads << head;
    const QByteArray path = head.split('\r').value(0).split(' ').value(1);
    requestedPaths << path;
    const auto it = routes_.find(path);
    const Route r = it != routes_.end() ? it->second : Route{404, "not found", {}, Kind::Normal};

    QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + (r.status < 300 ? " OK" : r.status < 400 ? " Found" : " Not Found") +
                     "\r\nConnection: close\r\n";
    for (const auto& h : r.headers)
        out += h.first + ": " + h.second + "\r\n";
    switch (r.kind) {
    case Kind::Normal:
        socket->write(out + "Content-Length: " + QByteArray::number(r.body.size()) + "\r\n\r\n" + r.body);
        socket->disconnectFromHost();
        break;
    case Kind::Truncated:
        socket->write(out + "Content-Length: " + QByteArray::number(r.body.size() * 10) + "\r\n\r\n" + r.body);
        socket->disconnectFromHost();
        break;
    case Kind::Stall:
        socket->write(out + "Content-Length: " + QByteArray::number(r.body.size() * 10) + "\r\n\r\n" + r.body);
        break;
    case Kind::Endless: {
        socket->write(out + "\r\n");
        auto* pump = new QTimer(socket);
        connect(pump, &QTimer::timeout, socket, [socket] {
            if (socket->bytesToWrite() < (1 << 20))
                socket->write(QByteArray(64 * 1024, 'x'));
        });
        pump->start(1);
        break;
    }
    }
}
