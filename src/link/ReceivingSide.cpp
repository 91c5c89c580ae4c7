#include "app/MainWindow.h"
#include "link/LinkMessages.h"
#include "link/MessageReader.h"
#include "platform/Codec.h"

using namespace linkstate;

namespace {

const QString kWaiting = QStringLiteral("Warte auf Playlist ...");
QString senderText(const QString& who) { return QStringLiteral("Sender:") + u'\r' + who; }

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

void MainWindow::handleListMessage(const QString& message)
{
    const linkmsg::Parsed m = linkmsg::Parse(message);
    if (m.typeCode == linkmsg::kNotice) {
        ConnectStatus.setText(QStringLiteral("Verbunden"));
    } else if (m.typeCode == linkmsg::kBroken) {
        ConnectStatus.setText(QStringLiteral("Verbindung Abgebrochen"));
    } else if (m.typeCode == linkmsg::kCommand) {
        ConnectStatus.setText(QStringLiteral("Verbunden.."));
        if (m.body.startsWith(linkmsg::kTrackList)) {
            const qsizetype semi = m.body.indexOf(u';');
            FillRemoteList(semi < 0 ? m.body : m.body.mid(semi + 1));
            SenderLabel.setText(senderText(Winsock_ClientListen->remoteHostIP()));
            UpdateFileCount();
        }
    }
}

void MainWindow::FillRemoteList(const QString& list)
{
    FilmRemoteList.setItems(linkmsg::SplitTrackList(list));
}

void MainWindow::Winsock_ClientListen_Close()
{
    SenderLabel.setText(senderText(QStringLiteral("nicht gefunden")));
    FilmRemoteList.clear();
    FilmRemoteList.addItem(kWaiting);
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
    if (i < 0 || i >= FilmRemoteList.count())
        return;   // nothing chosen: nothing to ask for
    const QString request = linkmsg::BuildTrackRequest(FilmRemoteList.item(i));
    const int st = Winsock_ClientSend->state();
    if (st != Connected && st != Connecting)
        ClientBtnTest_Click();
    Winsock_ClientSend->sendData(codec::encodeForLink(request));
    FilmRemoteList.clear();
}
