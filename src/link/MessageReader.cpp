#include "link/MessageReader.h"

MessageReader::MessageReader(qsizetype maxBuffered, WholeNameIndex* names, QObject* parent)
    : QObject(parent), maxBuffered_(maxBuffered), framer_(names)
{
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    connect(&quiet_, &QTimer::timeout, this, [this] {
        flushWanted_ = true;
        drain();
    });
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
    drain();
}

void MessageReader::finish(const QByteArray& last)
{
    ending_ = true;
    feed(last);
    flushWanted_ = true;
    drain();
    ending_ = false;
    reset();
}

void MessageReader::reset()
{
    framer_.clear();
    quiet_.stop();
    flushWanted_ = false;
}

void MessageReader::drain()
{
    // a handler that reaches back into the reader only adds to what this loop works through
    if (busy_)
        return;
    busy_ = true;
    for (int handed = 0;; ++handed) {
        // the end of a connection hands on the rest at once: its peer's budget stops it early
        if (handed == kSlice && !ending_) {
            busy_ = false;
            drainLater();
            return;
        }
        std::optional<QByteArray> m = framer_.next();
        if (!m && flushWanted_) {
            flushWanted_ = false;
            m = framer_.flush();
        }
        if (!m)
            break;
        emit message(*m);
    }
    busy_ = false;
    // at the end of the connection there is nothing left to drop
    if (!ending_ && (framer_.overflowed() || framer_.buffered() > maxBuffered_)) {
        reset();
        emit overflow();
        return;
    }
    if (framer_.buffered() > 0 && !queued_)
        quiet_.start();
    else
        quiet_.stop();
}

void MessageReader::drainLater()
{
    quiet_.stop();
    if (queued_)
        return;
    queued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            queued_ = false;
            drain();
        },
        Qt::QueuedConnection);
}
