#include "platform/qt/QtProcessLauncher.h"

#include <QFile>
#include <QList>
#include <QProcess>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

QByteArray QtProcessLauncher::processStartTime(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');  // the command name may hold blanks
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // fields[0] is field 3 (state); a zombie has ended already
    if (fields.size() < 20 || fields[0] == "Z")
        return {};
    return fields[19];
}

qint64 QtProcessLauncher::start(const QString& program, const QStringList& arguments, WindowStyle)
{
    if (program.isEmpty())
        return 0;
    qint64 pid = 0;
    if (!QProcess::startDetached(program, arguments, QString(), &pid) || pid <= 0)
        return 0;
    started_[pid] = processStartTime(pid);
    return pid;
}

bool QtProcessLauncher::isRunning(qint64 pid)
{
    const auto it = started_.find(pid);
    if (it == started_.end())
        return false;
    const QByteArray now = processStartTime(pid);
    if (!now.isEmpty() && now == it->second)
        return true;
    started_.erase(it);  // ended: its id may soon be another process's
    return false;
}

bool QtProcessLauncher::signal(qint64 pid, int number)
{
    if (!isRunning(pid))
        return false;
#ifdef Q_OS_UNIX
    return ::kill(static_cast<pid_t>(pid), number) == 0;
#else
    Q_UNUSED(number);
    return false;
#endif
}

bool QtProcessLauncher::terminate(qint64 pid)
{
#ifdef Q_OS_UNIX
    return signal(pid, SIGTERM);
#else
    return signal(pid, 0);
#endif
}

bool QtProcessLauncher::kill(qint64 pid)
{
#ifdef Q_OS_UNIX
    return signal(pid, SIGKILL);
#else
    return signal(pid, 0);
#endif
}
