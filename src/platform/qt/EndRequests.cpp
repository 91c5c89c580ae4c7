#include "platform/qt/EndRequests.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
// Written by the handler, read by the event loop; one pair for the whole process.
int pipeEnds[2] = {-1, -1};
struct sigaction previous[kSignalCount];
bool caught[kSignalCount] = {};

// Only what is safe inside a signal handler: one write, errno left as it was.
void onSignal(int number)
{
    const int savedErrno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

bool makeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0 && ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

bool openPipe()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0)
        return false;
    if (makeNonBlocking(pipeEnds[0]) && makeNonBlocking(pipeEnds[1]))
        return true;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
    return false;
}
#endif

}  // namespace

EndRequests::EndRequests(QGuiApplication& app, std::function<void()> end, QObject* parent)
    : QObject(parent), end_(std::move(end))
{
#ifdef Q_OS_UNIX
    if (pipeEnds[0] < 0 && openPipe()) {
        notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &EndRequests::readSignals);
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;  // the program's own system calls go on undisturbed
        for (int i = 0; i < kSignalCount; ++i) {
            if (::sigaction(kSignals[i], nullptr, &previous[i]) != 0 || previous[i].sa_handler == SIG_IGN)
                continue;
            caught[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
#endif
#if QT_CONFIG(sessionmanager)
    connect(&app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { end_(); });
#endif
    connect(&app, &QCoreApplication::aboutToQuit, this, [this] { end_(); });
}

EndRequests::~EndRequests()
{
#ifdef Q_OS_UNIX
    if (!notifier_)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        if (caught[i])
            ::sigaction(kSignals[i], &previous[i], nullptr);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
#endif
}

void EndRequests::readSignals()
{
#ifdef Q_OS_UNIX
    // several signals may be waiting; together they ask for one end
    char bytes[64];
    bool any = false;
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        end_();
#endif
}
