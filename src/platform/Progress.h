#pragma once

#include <QString>

#include <functional>

// A progress window for a long transfer, with a button that gives up. While it is shown the
// caller keeps the event loop running, so the main window still paints.
class IProgressDialog {
public:
    virtual ~IProgressDialog() = default;
    // cancel runs when the user gives up; it may run from inside progress().
    virtual void begin(const QString& title, const QString& label, std::function<void()> cancel) = 0;
    // total is -1 while the size is not known
    virtual void progress(qint64 received, qint64 total) = 0;
    virtual void end() = 0;
};
