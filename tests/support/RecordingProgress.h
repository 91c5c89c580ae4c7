#pragma once

#include "platform/Progress.h"

#include <QList>

#include <functional>

// Records what a transfer showed; can press "cancel" once a given amount has arrived.
class RecordingProgress : public IProgressDialog {
public:
    void begin(const QString& title, const QString& label, std::function<void()> cancel) override
    {
        ++begins;
        this->title = title;
        this->label = label;
        cancel_ = std::move(cancel);
    }
    void progress(qint64 received, qint64 total) override
    {
        updates << received;
        lastTotal = total;
        if (cancelAfter >= 0 && received >= cancelAfter && cancel_) {
            cancelAfter = -1;
            cancel_();
        }
    }
    void end() override
    {
        ++ends;
        cancel_ = nullptr;
    }

    qint64 cancelAfter = -1;  // press cancel once this many bytes arrived
    int begins = 0;
    int ends = 0;
    QString title, label;
    QList<qint64> updates;
    qint64 lastTotal = 0;

private:
    std::function<void()> cancel_;
};
