// The web remote: served in send mode where the settings allow it; a browser that asks is put to
// the user with the receivers' notice and answers, and what it asks for is steered as a
// receiver's request is.
#include "app/MainWindow.h"

#include <QNetworkInterface>

namespace {

const QString kOnKey = QStringLiteral("WebRemote");        // 0: no page is served
const QString kPortKey = QStringLiteral("WebRemotePort");  // default 22357
const QString kCodeKey = QStringLiteral("WebRemoteCode");  // 0: no code and address in the window

bool isPrivate(const QHostAddress& a)
{
    return a.isInSubnet(QHostAddress(QStringLiteral("10.0.0.0")), 8) ||
           a.isInSubnet(QHostAddress(QStringLiteral("172.16.0.0")), 12) ||
           a.isInSubnet(QHostAddress(QStringLiteral("192.168.0.0")), 16);
}

// The address a phone on the LAN reaches this PC at: a private IPv4 address where there is one.
QString lanAddress()
{
    QString any;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& e : i.addressEntries()) {
            const QHostAddress a = e.ip();
            if (a.protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            if (isPrivate(a))
                return a.toString();
            if (any.isEmpty())
                any = a.toString();
        }
    }
    return any.isEmpty() ? QStringLiteral("127.0.0.1") : any;
}

}  // namespace

void MainWindow::wireWebRemote()
{
    connect(&FilmList, &Control::itemsInserted, &web_, &WebRemote::listChanged);
    connect(&FilmList, &Control::itemsRemoved, &web_, &WebRemote::listChanged);
    connect(&FilmList, &Control::itemChanged, &web_, &WebRemote::listChanged);
    connect(&FilmList, &Control::itemsReset, &web_, &WebRemote::listChanged);
    connect(&SendenFrame, &Control::changed, this, [this](Control*, Control::Property p) {
        if (p == Control::Property::Visible)
            showWebRemote();
    });
    connect(&sending_, &SendingEnd::answersChanged, this,
            [this] { web_.setAnswers(sending_.allowedHosts(), sending_.deniedHosts()); });
    connect(&web_, &WebRemote::admissionAsked, this, [this](const QString& host) {
        if (!browsers_.contains(host))
            browsers_ << host;
        askAdmission(host);
    });
    // as for the link: a restart lets events run, so requests are served after the socket's event
    connect(&web_, &WebRemote::trackRequested, this, &MainWindow::WebRemote_TrackRequested, Qt::QueuedConnection);
    connect(
        &web_, &WebRemote::pauseRequested, this, [this] { steerSendingVlc(remotemsg::Command::Pause); },
        Qt::QueuedConnection);
    connect(
        &web_, &WebRemote::nextRequested, this, [this] { steerSendingVlc(remotemsg::Command::Next); },
        Qt::QueuedConnection);
    connect(
        &web_, &WebRemote::previousRequested, this, [this] { steerSendingVlc(remotemsg::Command::Previous); },
        Qt::QueuedConnection);
    connect(&vlc_, &VlcStarter::steeringChanged, &web_, [this](bool on) { web_.setNowPlaying(-1, false, on); });
    connect(&vlc_, &VlcStarter::nowPlaying, &web_,
            [this](int index, bool paused) { web_.setNowPlaying(index, paused, vlc_.sendingSteerable()); });
}

void MainWindow::restoreWebRemote()
{
    const Settings::OneRead once(settings_);
    webSettings_.read = true;
    webSettings_.on = settings_.read(Settings::kSettings, kOnKey, QStringLiteral("1")).trimmed() != u"0";
    webSettings_.code = settings_.read(Settings::kSettings, kCodeKey, QStringLiteral("1")).trimmed() != u"0";
    bool ok = false;
    const int port = settings_.read(Settings::kSettings, kPortKey, QString()).trimmed().toInt(&ok);
    webSettings_.port = ok && port > 0 && port < 65536 ? quint16(port) : WebRemote::kDefaultPort;
    web_.setAnswers(sending_.allowedHosts(), sending_.deniedHosts());
    showWebRemote();
}

void MainWindow::showWebRemote()
{
    const bool serve = !ended_ && webSettings_.read && webSettings_.on && SendenFrame.visible();
    if (serve && !web_.running() && !web_.start(webSettings_.port)) {
        WebAddressLabel.setText(tr("Web-Fernbedienung: Port %1 belegt").arg(webSettings_.port));
        WebAddressLabel.setToolTip(QString());
    }
    if (!serve && web_.running()) {
        web_.stop();
        // a browser that waits for an answer asks again when the page is served again
        for (const QString& host : std::as_const(browsers_))
            asking_.removeAll(host);
        browsers_.clear();
    }
    if (web_.running()) {
        const QString url = QStringLiteral("http://%1:%2/").arg(lanAddress()).arg(web_.port());
        WebAddressLabel.setText(tr("Fernbedienung im Browser:") + u'\r' + url);
        WebAddressLabel.setToolTip(url);
        WebCodePicture.setPictures(QStringLiteral("qr:") + url);
        WebCodePicture.setToolTip(url);
    }
    WebCodePicture.setVisible(serve && web_.running() && webSettings_.code);
    WebAddressLabel.setVisible(serve && webSettings_.code);
    placeWebCode();
    showAdmission();
}

void MainWindow::placeWebCode()
{
    const TwipRect frame = Frame2.rect();
    const TwipRect list = FilmList.rect();
    if (!WebAddressLabel.visible()) {
        FilmList.setWidth(frame.width - 200);  // as the layout leaves it
        FilmRemoteList.setRect(FilmList.rect());
        return;
    }
    const TwipRect code = WebCodePicture.rect();
    const TwipRect label = WebAddressLabel.rect();
    const int right = frame.left + frame.width - 60;
    WebCodePicture.setRect(
        {right - code.width - (label.width - code.width) / 2, list.top + 60, code.width, code.height});
    WebAddressLabel.setRect({right - label.width, list.top + 60 + code.height + 30, label.width, label.height});
    FilmList.setWidth(std::max(1500, right - label.width - 90 - list.left));
}

void MainWindow::WebRemote_TrackRequested(int index, const QString& entry)
{
    if (ended_ || !SendenFrame.visible())
        return;
    // the list may have changed since the page was drawn
    const int i = FilmList.item(index) == entry ? index : int(FilmList.items().indexOf(entry));
    if (i >= 0)
        playEntryFirst(i);
}
