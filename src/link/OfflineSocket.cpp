#include "link/LinkSocket.h"

namespace {

class OfflineSocket : public ILinkSocket {
public:
    int state() const override { return state_; }
    void setLocalPort(quint16 port) override { port_ = port; }
    quint16 localPort() const override { return port_; }
    void listen() override {}
    void accept(qint64) override {}
    void connectTo(const QString&, quint16) override
    {
        if (state_ == linkstate::Closed)
            state_ = linkstate::Error;
    }
    bool sendData(const QByteArray&) override { return false; }
    QByteArray getData() override { return {}; }
    void close() override { state_ = linkstate::Closed; }
    QString remoteHostIP() const override { return {}; }

private:
    int state_ = linkstate::Closed;
    quint16 port_ = 0;
};

}  // namespace

std::unique_ptr<ILinkSocket> linksocket::makeOfflineSocket()
{
    return std::make_unique<OfflineSocket>();
}
