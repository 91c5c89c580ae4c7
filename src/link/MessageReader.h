#pragma once

#include "link/LinkMessages.h"

#include <QObject>
#include <QTimer>
#include <functional>

// The receiving end of one connection: buffers what arrives and hands on whole messages, one
// at a time. Messages without an end of their own are handed on after a short pause in the data.
class MessageReader : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kMaxBuffered = 16 * 1024 * 1024;
    static constexpr int kPauseMs = 200;

    struct Handlers {
        std::function<void(const QString& message)> message;
        std::function<void()> batchDone;   // after the messages at hand; may let events run
        std::function<void()> overflow;    // more than kMaxBuffered waits: drop the connection
    };
    explicit MessageReader(Handlers handlers, QObject* parent = nullptr);

    void feed(const QByteArray& bytes);
    // A new connection, or none: what was buffered is dropped.
    void reset();
    qsizetype buffered() const { return framer_.buffered(); }

private:
    void drain(bool atPause);

    Handlers handlers_;
    linkmsg::Framer framer_;
    QTimer pause_;
    bool busy_ = false;
    bool pauseSeen_ = false;
};
