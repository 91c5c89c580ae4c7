#pragma once

#include <QString>
#include <QStringList>

enum class WindowStyle { Hidden = 0, NormalFocus = 1, MinimizedFocus = 2, MaximizedFocus = 3 };

// Starts outside programs (VLC, the web browser, the text editor, the updater), not waited for.
class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // The process id, 0 on failure.
    virtual qint64 start(const QString& program, const QStringList& arguments, WindowStyle style) = 0;
    // True while a process this launcher started still runs and is still that process.
    virtual bool isRunning(qint64 pid) = 0;
    // Asks such a process to end (SIGTERM); it may take a while, or not end at all.
    virtual bool terminate(qint64 pid) = 0;
    // Ends such a process at once (SIGKILL).
    virtual bool kill(qint64 pid) = 0;
};
