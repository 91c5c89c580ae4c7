#pragma once

#include "link/LinkMessages.h"

#include <QObject>
#include <QTimer>

// The receiving end of one connection: buffers what arrives and hands on whole messages, one
// at a time, as their content tells (see linkmsg::Framer). A message with no end of its own
// is handed on when the connection ends or after a quiet period long enough to join the pieces
// of a message that TCP delivers late (a lost segment costs a retransmission of 200 ms or more).
// Many messages that came at once are handed on a slice at a time, the rest after the window's
// other events have had their turn, so that no peer holds the event loop for long.
class MessageReader : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuietMs = 1500;
    static constexpr int kSlice = 256;

    // names: see linkmsg::Framer (may be null)
    MessageReader(qsizetype maxBuffered, WholeNameIndex* names = nullptr, QObject* parent = nullptr);

    void feed(const QByteArray& bytes);
    // The connection has ended, after these last bytes: what was begun is handed on as it stands.
    void finish(const QByteArray& last);
    // A new connection, or none: what was buffered is dropped.
    void reset();
    qsizetype buffered() const { return framer_.buffered(); }

signals:
    void message(const QByteArray& message);
    // more than the reader may hold, or a list with more entries than fit: drop the connection
    void overflow();

private:
    void drain();
    void drainLater();

    qsizetype maxBuffered_;
    linkmsg::Framer framer_;
    QTimer quiet_;
    bool busy_ = false;
    bool flushWanted_ = false;
    bool ending_ = false;
    bool queued_ = false;  // a slice waits on the event loop
};
