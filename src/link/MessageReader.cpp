#include "link/MessageReader.h"

#include "platform/Codec.h"

MessageReader::MessageReader(Handlers handlers, QObject* parent) : QObject(parent), handlers_(std::move(handlers))
{
    pause_.setSingleShot(true);
    pause_.setInterval(kPauseMs);
    connect(&pause_, &QTimer::timeout, this, [this] { drain(true); });
}

namespace {

// Could these bytes begin a message ("1111", "1112", "1113")?
bool mayStartMessage(const QByteArray& bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size(), 4);
    for (const char* head : {"1111", "1112", "1113"})
        if (QByteArrayView(head).first(n) == QByteArrayView(bytes).first(n))
            return true;
    return false;
}

}  // namespace

void MessageReader::feed(const QByteArray& bytes)
{
    // Arriving between messages, bytes that cannot begin one are a message of their own that
    // nobody understands (" 1113..." with a blank in front, say): it is dropped whole, as peers
    // that send one message per write expect.
    if (framer_.buffered() == 0 && !bytes.isEmpty() && !mayStartMessage(bytes))
        return;
    framer_.append(bytes);
    // while a message is being handled, the loop in drain picks the new bytes up
    if (!busy_)
        drain(false);
}

void MessageReader::reset()
{
    framer_.clear();
    pause_.stop();
    pauseSeen_ = false;
}

void MessageReader::drain(bool atPause)
{
    if (busy_) {
        pauseSeen_ = pauseSeen_ || atPause;
        return;
    }
    busy_ = true;
    for (;;) {
        bool any = false;
        while (auto m = framer_.next()) {
            any = true;
            if (handlers_.message)
                handlers_.message(codec::decodeFromLink(*m));
        }
        if (atPause || pauseSeen_) {
            atPause = pauseSeen_ = false;
            if (auto m = framer_.flush()) {
                any = true;
                if (handlers_.message)
                    handlers_.message(codec::decodeFromLink(*m));
            }
        }
        if (framer_.buffered() > kMaxBuffered) {
            reset();
            busy_ = false;
            if (handlers_.overflow)
                handlers_.overflow();
            return;
        }
        if (!any)
            break;
        if (handlers_.batchDone)
            handlers_.batchDone();
    }
    busy_ = false;
    if (framer_.buffered() > 0)
        pause_.start();
    else
        pause_.stop();
}
