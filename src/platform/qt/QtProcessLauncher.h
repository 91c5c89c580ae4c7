#pragma once

#include "platform/IProcessLauncher.h"

#include <QByteArray>

#include <map>

// Starts programs detached from this one. A process is known by its id and its start time, so
// an id the system has given to another process since is never mistaken for ours.
class QtProcessLauncher : public IProcessLauncher {
public:
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) override;
    bool isRunning(qint64 pid) override;
    bool terminate(qint64 pid) override;
    bool kill(qint64 pid) override;

    // Field 22 of /proc/<pid>/stat: when the process started, in clock ticks since boot; "" when
    // there is no such process or it has ended (a zombie).
    static QByteArray processStartTime(qint64 pid);

private:
    bool signal(qint64 pid, int number);
    std::map<qint64, QByteArray> started_;
};
