#include "app/MainWindow.h"
#include "link/LinkMessages.h"
#include "link/MessageReader.h"
#include "platform/Codec.h"

using namespace linkstate;

namespace {

const QString kWaiting = QStringLiteral("Warte auf Playlist ...");
QString senderText(const QString& who)
{
    return QStringLiteral("Sender:") + u'\r' + who;
}

}  // namespace

void MainWindow::ClientBtnTest_Click()
{
    const int st = Winsock_ClientListen->state();
    if (st == Connected || st == Listening)
        return;
    if (st != Closed)
        Winsock_ClientListen->close();
    Winsock_ClientListen->setLocalPort(services_.linkPorts.list);
    Winsock_ClientListen->listen();
    if (Winsock_ClientListen->state() == Listening)
        ConnectStatus.setText(QStringLiteral("Warte auf Server.."));
}

void MainWindow::ConnectClientSend()
{
    const int st = Winsock_ClientSend->state();
    if (st != Closed && st != Connected && st != Connecting)
        Winsock_ClientSend->close();
    const QString sender = Winsock_ClientListen->remoteHostIP();
    if (!sender.isEmpty() && st != Connected && st != Connecting)
        Winsock_ClientSend->connectTo(sender, services_.linkPorts.request);
    if (Winsock_ClientSend->state() == Connecting)
        ConnectStatusServer.setText(QStringLiteral("Client connected to Server "));
}

void MainWindow::Winsock_ClientListen_ConnectionRequest(qint64 requestId)
{
    if (Winsock_ClientListen->state() != Closed)
        Winsock_ClientListen->close();
    listReader_->reset();
    Winsock_ClientListen->accept(requestId);
    if (Winsock_ClientListen->state() == Connected)
        ConnectStatus.setText(QStringLiteral("Client verbunden"));
    SenderLabel.setText(senderText(Winsock_ClientListen->remoteHostIP()));
}

void MainWindow::Winsock_ClientListen_DataArrival(qint64)
{
    listReader_->feed(Winsock_ClientListen->getData());
}

void MainWindow::handleListMessage(const QByteArray& message)
{
    // only the head is read as text here: a list is split straight from its bytes
    const linkmsg::Parsed m = linkmsg::Parse(codec::decodeFromLink(
        QByteArrayView(message).first(std::min<qsizetype>(message.size(), 4 + linkmsg::kTrackList.size()))));
    if (m.typeCode == linkmsg::kNotice) {
        ConnectStatus.setText(QStringLiteral("Verbunden"));
    } else if (m.typeCode == linkmsg::kBroken) {
        ConnectStatus.setText(QStringLiteral("Verbindung Abgebrochen"));
    } else if (m.typeCode == linkmsg::kCommand) {
        ConnectStatus.setText(QStringLiteral("Verbunden.."));
        if (m.body.startsWith(linkmsg::kTrackList)) {
            FillRemoteList(message);
            SenderLabel.setText(senderText(Winsock_ClientListen->remoteHostIP()));
            UpdateFileCount();
        }
    }
}

void MainWindow::FillRemoteList(QByteArrayView message)
{
    // the old entries go first, so a large list is never held twice
    FilmRemoteList.clear();
    FilmRemoteList.setItems(linkmsg::TrackListEntries(message));
    remoteListWaiting_ = false;
}

void MainWindow::Winsock_ClientListen_Close()
{
    // a list that came just before the close is still a message
    listReader_->finish(Winsock_ClientListen->getData());
    SenderLabel.setText(senderText(QStringLiteral("nicht gefunden")));
    FilmRemoteList.clear();
    FilmRemoteList.addItem(kWaiting);
    remoteListWaiting_ = true;
    Winsock_ClientListen->close();
    if (EmpfangenFrame.visible())
        ClientBtnTest_Click();
}

// A list with more entries than fit, or more data than a list may hold: the first entries stay
// shown, the rest goes with the connection, and the sender may connect again.
void MainWindow::dropListChannel()
{
    Winsock_ClientListen->close();
    listReader_->reset();
    if (EmpfangenFrame.visible())
        ClientBtnTest_Click();
}

void MainWindow::Winsock_ClientSend_Connect()
{
    ConnectStatusServer.setText(QStringLiteral("Verbunden.."));
}

void MainWindow::Winsock_ClientSend_SendComplete()
{
    ConnectStatusServer.setText(QString());
}

void MainWindow::Winsock_ClientSend_Close()
{
    if (EmpfangenFrame.visible())
        ConnectClientSend();
    else
        Winsock_ClientSend->close();
}

void MainWindow::FilmRemoteList_DblClick()
{
    const int i = FilmRemoteList.listIndex();
    if (i < 0 || i >= FilmRemoteList.count() || remoteListWaiting_)
        return;  // nothing chosen, or no list yet: nothing to ask for
    const QString request = linkmsg::BuildTrackRequest(FilmRemoteList.item(i));
    const int st = Winsock_ClientSend->state();
    if (st != Connected && st != Connecting)
        ClientBtnTest_Click();
    Winsock_ClientSend->sendData(codec::encodeForLink(request));
    FilmRemoteList.clear();
}
