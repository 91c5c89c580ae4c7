#include "player/VlcControl.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>

// Times of a track switch's steps, for bench/stream.sh: off unless QT_LOGGING_RULES turns on
// "mirovell.switch.debug"; seconds since the epoch, as the benchmark's other clocks.
Q_LOGGING_CATEGORY(lcSwitchVlc, "mirovell.switch", QtWarningMsg)

namespace {

const QByteArray kReturned = QByteArrayLiteral(": returned ");
const QByteArray kNewInput = QByteArrayLiteral("( new input: ");

// VLC reports the input as an address with its own choice of escapes: compared decoded.
QString keyOf(const QString& mrl)
{
    return QUrl::fromPercentEncoding(mrl.toUtf8());
}

bool isAddress(const QString& entry)
{
    const qsizetype colon = entry.indexOf(QStringLiteral("://"));
    return colon > 1 && QUrl(entry.left(colon) + QStringLiteral("://x")).isValid();
}

}  // namespace

VlcControl::VlcControl(QObject* parent) : QObject(parent)
{
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &VlcControl::tryConnect);
    answer_.setSingleShot(true);
    answer_.setInterval(kAnswerMs);
    connect(&answer_, &QTimer::timeout, this, &VlcControl::answerTimedOut);
    status_.setInterval(kStatusMs);
    connect(&status_, &QTimer::timeout, this, [this] {
        // a status that has not come back yet is not asked for twice
        if (pending_ == 0)
            send({QStringLiteral("status")});
    });
}

// The socket says goodbye as it goes; whoever listens may be gone already.
VlcControl::~VlcControl()
{
    blockSignals(true);
    detach();
}

QString VlcControl::mrlFor(const QString& entry)
{
    QString mrl = isAddress(entry)
                      ? QUrl(entry, QUrl::TolerantMode).toString(QUrl::FullyEncoded)
                      : QUrl::fromLocalFile(QFileInfo(entry).absoluteFilePath()).toString(QUrl::FullyEncoded);
    // quotes group words in VLC's command reader; blanks and line breaks are escaped already
    mrl.replace(u'\'', QStringLiteral("%27"));
    mrl.replace(u'"', QStringLiteral("%22"));
    return mrl;
}

bool VlcControl::playable(const QString& entry)
{
    const QString t = entry.trimmed();
    return !t.isEmpty() && !t.startsWith(u'#');
}

void VlcControl::attach(const vlc::ControlAddress& address, const QStringList& entries, std::function<bool()> running)
{
    detach();
    address_ = address;
    running_ = std::move(running);
    entries_ = entries;
    keys_.clear();
    for (const QString& e : entries_)
        keys_.push_back(playable(e) ? keyOf(mrlFor(e)) : QString());
    state_ = State::Attaching;
    attaching_.start();
    tryConnect();
}

void VlcControl::detach()
{
    state_ = State::Idle;
    retry_.stop();
    answer_.stop();
    status_.stop();
    pending_ = 0;
    buffer_.clear();
    if (socket_) {
        socket_->disconnect(this);
        if (auto* local = qobject_cast<QLocalSocket*>(socket_))
            local->abort();
        else if (auto* tcp = qobject_cast<QTcpSocket*>(socket_))
            tcp->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
    setPlaying(-1, false);
}

void VlcControl::tryConnect()
{
    if (state_ != State::Attaching)
        return;
    if (running_ && !running_()) {
        detach();
        emit endedUnheard();
        return;
    }
    if (attaching_.elapsed() > kAttachMs) {
        detach();
        emit gaveUp();
        return;
    }
    if (socket_) {
        socket_->disconnect(this);
        socket_->deleteLater();
    }
    if (address_.tcp()) {
        auto* tcp = makeSocket<QTcpSocket>();
        tcp->connectToHost(QHostAddress(QHostAddress::LocalHost), address_.port);
    } else {
        makeSocket<QLocalSocket>()->connectToServer(address_.path);
    }
}

// Either kind of socket is read and written as the same device; only how it connects differs.
template <typename Socket> Socket* VlcControl::makeSocket()
{
    auto* s = new Socket(this);
    socket_ = s;
    connect(s, &Socket::connected, this, [this] {
        state_ = State::Ready;
        status_.start();
        emit attached();
        send({QStringLiteral("status")});
    });
    connect(s, &Socket::errorOccurred, this, [this] {
        if (state_ == State::Attaching)
            retry_.start();  // not listening yet
    });
    connect(s, &Socket::disconnected, this, [this] {
        if (state_ == State::Ready)
            fail();
    });
    connect(s, &QIODevice::readyRead, this, &VlcControl::readAnswers);
    return s;
}

void VlcControl::armAnswer()
{
    answer_.start();
    answerWait_.start();
    overrun_ = false;
}

// An answer that has arrived meanwhile still counts; and a wait that our own event loop overran by
// half again (the machine too busy to run us) is given once more before VLC is blamed.
void VlcControl::answerTimedOut()
{
    if (state_ != State::Ready)
        return;
    socket_->waitForReadyRead(0);  // takes what is there, without waiting
    if (state_ != State::Ready || pending_ == 0 || answer_.isActive())
        return;
    if (!overrun_ && answerWait_.elapsed() > kAnswerMs * 3 / 2) {
        answer_.start();
        answerWait_.start();
        overrun_ = true;
        return;
    }
    fail();
}

void VlcControl::fail()
{
    if (state_ != State::Ready)
        return;
    detach();
    emit failed();
}

void VlcControl::send(const QStringList& commands)
{
    if (state_ != State::Ready || commands.isEmpty())
        return;
    QByteArray bytes;
    for (const QString& c : commands)
        bytes += c.toUtf8() + '\n';
    if (pending_ == 0)
        armAnswer();
    pending_ += int(commands.size());
    socket_->write(bytes);
    // now, not when the event loop next runs: whoever asked may have more to do before it returns
    if (auto* local = qobject_cast<QLocalSocket*>(socket_))
        local->flush();
    else if (auto* tcp = qobject_cast<QTcpSocket*>(socket_))
        tcp->flush();
    if (commands.size() > 1)
        qCDebug(lcSwitchVlc, "switch written %.4f", QDateTime::currentMSecsSinceEpoch() / 1000.0);
}

void VlcControl::readAnswers()
{
    if (!socket_)
        return;
    buffer_ += socket_->readAll();
    qsizetype from = 0;
    for (;;) {
        const qsizetype nl = buffer_.indexOf('\n', from);
        if (nl < 0)
            break;
        handleLine(buffer_.mid(from, nl - from));
        if (state_ != State::Ready)
            return;  // failed, or detached by whoever heard of a line
        from = nl + 1;
    }
    buffer_.remove(0, from);
    if (buffer_.size() > kMaxLine)
        buffer_.clear();  // no line of VLC's is this long
}

void VlcControl::handleLine(const QByteArray& raw)
{
    const QByteArray line = raw.trimmed();
    if (line.contains(kReturned)) {
        pending_ = std::max(0, pending_ - 1);
        if (pending_ > 0)
            armAnswer();
        else
            answer_.stop();
        return;
    }
    const qsizetype in = line.indexOf(kNewInput);
    if (in >= 0) {
        QByteArray mrl = line.mid(in + kNewInput.size());
        const qsizetype close = mrl.lastIndexOf(" )");
        if (close >= 0)
            mrl.truncate(close);
        qCDebug(lcSwitchVlc, "switch input %.4f", QDateTime::currentMSecsSinceEpoch() / 1000.0);
        setPlaying(indexOfInput(QString::fromUtf8(mrl)), paused_);
    } else if (line.contains("( pause state:") || line.startsWith("Type 'pause' to continue")) {
        setPlaying(playing_, true);
    } else if (line.contains("( play state:")) {
        setPlaying(playing_, false);
    } else if (line.contains("( stop state:")) {
        setPlaying(-1, false);
    }
}

int VlcControl::indexOfInput(const QString& mrl) const
{
    const QString key = keyOf(mrl);
    const int n = int(keys_.size());
    // the same track may be listed twice: the one after the last that played is meant
    const int start = playing_ >= 0 ? playing_ : 0;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (keys_[size_t(i)] == key)
            return i;
    }
    return -1;
}

void VlcControl::setPlaying(int index, bool paused)
{
    if (index == playing_ && paused == paused_)
        return;
    playing_ = index;
    paused_ = paused;
    emit nowPlaying(index, paused);
}

void VlcControl::play(const QStringList& entries, int from)
{
    if (state_ != State::Ready)
        return;
    entries_ = entries;
    keys_.clear();
    QStringList mrls;
    int target = 0;
    for (int i = 0; i < int(entries_.size()); ++i) {
        const QString& e = entries_.at(i);
        if (!playable(e)) {
            keys_.push_back(QString());
            continue;
        }
        mrls << mrlFor(e);
        keys_.push_back(keyOf(mrls.back()));
        if (i == from)
            target = int(mrls.size());
    }
    target = std::max(target, 1);
    QStringList commands{QStringLiteral("clear")};
    for (int n = 1; n <= int(mrls.size()); ++n) {
        // the entry to play, when it comes first, is added and so played at once: VLC need not
        // take the whole list before it starts on the new track
        commands << (n == 1 && target == 1 ? QStringLiteral("add ") : QStringLiteral("enqueue ")) + mrls.at(n - 1);
    }
    if (mrls.isEmpty())
        commands << QStringLiteral("stop");
    else if (target > 1)
        commands << QStringLiteral("goto ") + QString::number(target);
    // what plays is known again once VLC says so
    playing_ = -1;
    send(commands);
}

void VlcControl::reorder(const QStringList& entries)
{
    if (state_ != State::Ready || entries == entries_)
        return;
    const QString now = playing_ >= 0 && playing_ < int(entries_.size()) ? entries_.at(playing_) : QString();
    const int at = now.isEmpty() ? 0 : int(entries.indexOf(now));
    play(entries, std::max(0, at));
}

void VlcControl::pause()
{
    send({QStringLiteral("pause")});
}

void VlcControl::next()
{
    send({QStringLiteral("next")});
}

void VlcControl::previous()
{
    send({QStringLiteral("prev")});
}
