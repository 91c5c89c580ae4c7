#pragma once

#include <QObject>
#include <QString>

// A progress window for a long transfer, with a button that gives up. While it is shown the
// caller keeps the event loop running, so the main window still paints.
class IProgressDialog : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void begin(const QString& title, const QString& label) = 0;
    // total is -1 while the size is not known
    virtual void progress(qint64 received, qint64 total) = 0;
    virtual void end() = 0;

signals:
    // The user gave up; it may come from inside progress().
    void canceled();
};
