// What a peer on the link can cost a shown window. A peer in another thread sends, over loopback,
// a track list of 8 million tiny entries (16 MB), and a list of 32767 entries of 500 bytes each
// (16 MB), to a receiving window; 100 track requests in 2 seconds, and 1 MiB of one short request
// in one go (as a stranger would send it), to a sending window with 32767 entries. Prints
// the peak memory above the idle window, the longest gap between two paints of the window while it
// is asked to repaint every 16 ms, the longest stall of the event loop, and the VLC restarts.
#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/QtWindowHost.h"
#include "platform/qt/TcpLinkSocket.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

qint64 statusKiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    const QByteArray s = f.readAll();
    const qsizetype at = s.indexOf(field);
    return at < 0 ? -1 : s.mid(at + qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
}

// Sends every piece to a local port from a plain blocking socket, pieces apart by pauseMs, and
// keeps the connection until done (a sender that goes makes the receiver show its waiting line).
void peer(quint16 port, std::vector<QByteArray> pieces, int pauseMs, const std::atomic<bool>* done)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        for (const QByteArray& p : pieces) {
            for (qsizetype at = 0; at < p.size();) {
                const ssize_t n = send(fd, p.constData() + at, size_t(p.size() - at), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                at += n;
            }
            if (pauseMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }
    while (!*done)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    close(fd);
}

// The longest gap between paints of the window and between ticks of the event loop.
class Watch : public QObject {
public:
    explicit Watch(QWidget* w) : w_(w)
    {
        w->installEventFilter(this);
        connect(&repaint_, &QTimer::timeout, this, [this] { w_->update(); });
        connect(&tick_, &QTimer::timeout, this, [this] { maxTick = std::max(maxTick, sinceTick_.restart()); });
    }
    void begin()
    {
        maxPaint = maxTick = 0;
        sincePaint_.start();
        sinceTick_.start();
        repaint_.start(16);
        tick_.start(5);
    }
    void end()
    {
        repaint_.stop();
        tick_.stop();
    }
    qint64 maxPaint = 0, maxTick = 0;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == w_ && e->type() == QEvent::Paint)
            maxPaint = std::max(maxPaint, sincePaint_.restart());
        return false;
    }

private:
    QWidget* w_;
    QTimer repaint_, tick_;
    QElapsedTimer sincePaint_, sinceTick_;
};

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Window {
    explicit Window(const QString& folder)
        : doubles({.folder = folder, .window = &host, .sockets = &sockets, .ports = {0, 0}})
    {
        QFile ini(folder + QStringLiteral("/mirovell.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[LastSettings]\r\nLastConnection=127.0.0.1\r\nvlc.exe=/bin/true\r\nAutoSavePlaylist=0\r\n");
        ini.close();
        model = doubles.window.get();
        binding = std::make_unique<WindowBinding>(*model, frame);
        model->Form_Load();
        binding->start();
        binding->window()->show();
    }
    QWidget frame;
    QtWindowHost host{frame};
    TcpLinkSocketFactory sockets;
    TestWindow doubles;
    MainWindow* model;
    std::unique_ptr<WindowBinding> binding;
};

// 32,767 entries with long names, in send mode.
QStringList sendLongList(Window& w)
{
    QStringList entries;
    for (int i = 0; i < 32767; ++i)
        entries
            << QStringLiteral("/srv/Filme und Serien/Staffel %1/Folge %2 - ein langer Titel.mkv").arg(i / 100).arg(i);
    w.model->FilmList.setItems(entries);
    w.model->SendenTabButton_Click();
    return entries;
}

void bigList(const char* what, const QByteArray& list)
{
    QTemporaryDir dir;
    Window w(dir.path());
    w.model->EmpfangenTabButton_Click();
    Watch watch(w.binding->window());
    settle(500);
    const qint64 idle = statusKiB("VmRSS:");
    QFile clear(QStringLiteral("/proc/self/clear_refs"));  // resets the peak to what is resident now
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    watch.begin();
    QElapsedTimer t;
    t.start();
    std::atomic<bool> done = false;
    std::thread sender(peer, WindowProbe::receiving(*w.model).listSocket().localPort(), std::vector<QByteArray>{list},
                       0, &done);
    while (t.elapsed() < 20000 && (w.model->FilmRemoteList.count() < 2 || t.elapsed() < 3000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    settle(500);
    watch.end();
    done = true;
    sender.join();
    std::printf("%-34s %9d %12lld %12lld %12lld %10lld\n", what, w.model->FilmRemoteList.count(),
                (statusKiB("VmHWM:") - idle) / 1024, watch.maxPaint, watch.maxTick, t.elapsed());
}

void requestFlood()
{
    QTemporaryDir dir;
    Window w(dir.path());
    const QStringList entries = sendLongList(w);
    Watch watch(w.binding->window());
    settle(300);
    std::vector<QByteArray> requests;
    for (int i = 0; i < 100; ++i)
        requests.push_back("1113STARTTRACK:" + entries[(i * 7919) % entries.size()].toUtf8());
    watch.begin();
    QElapsedTimer t;
    t.start();
    std::atomic<bool> done = false;
    std::thread sender(peer, WindowProbe::sending(*w.model).requestSocket().localPort(), requests, 20, &done);
    while (t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    watch.end();
    done = true;
    sender.join();
    std::printf("100 requests in 2 s, 32767 entries: %d VLC restarts, last request first: %s, "
                "longest paint gap %lld ms, longest stall %lld ms\n",
                int(w.doubles.launcher.starts.size()),
                w.model->FilmList.item(0) == QString::fromUtf8(requests.back().mid(15)) ? "yes" : "no", watch.maxPaint,
                watch.maxTick);
}

// 1 MiB of "1113STARTTRACK:zz" at once, from the receiver's host: how long the window stands still.
void requestStorm()
{
    QTemporaryDir dir;
    Window w(dir.path());
    sendLongList(w);
    Watch watch(w.binding->window());
    settle(300);
    const QByteArray unit = "1113STARTTRACK:zz";
    const QByteArray storm = unit.repeated(1024 * 1024 / unit.size());
    watch.begin();
    QElapsedTimer t;
    t.start();
    std::atomic<bool> done = false;
    std::thread sender(peer, WindowProbe::sending(*w.model).requestSocket().localPort(), std::vector<QByteArray>{storm},
                       0, &done);
    // until the window is through with it and the peer's channel is gone, or two minutes
    while (t.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (t.elapsed() > 1000 && WindowProbe::sending(*w.model).requestSocket().state() != LinkState::Connected)
            break;
    }
    const bool dropped = WindowProbe::sending(*w.model).requestSocket().state() != LinkState::Connected;
    settle(1500);
    watch.end();
    done = true;
    sender.join();
    std::printf("1 MiB of requests at once, 32767 entries: longest stall %lld ms, longest paint gap %lld ms, "
                "peer dropped: %s after %lld ms, %d VLC restarts\n",
                watch.maxTick, watch.maxPaint, dropped ? "yes" : "no", t.elapsed(),
                int(w.doubles.launcher.starts.size()));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "storm": only the 1 MiB of requests (scripts/bench.sh runs everything)
    if (argc > 1 && qstrcmp(argv[1], "storm") == 0) {
        requestStorm();
        return 0;
    }
    std::printf("%-34s %9s %12s %12s %12s %10s\n", "track list", "entries", "peak MiB", "paint gap ms", "stall ms",
                "total ms");
    QByteArray tiny = "1113TRACKLIST:8000000;";
    tiny += QByteArray("a;").repeated(8000000);
    bigList("8 million tiny entries (16 MB)", tiny);
    tiny.clear();
    QByteArray wide = "1113TRACKLIST:32767;";
    for (int i = 0; i < 32767; ++i)
        wide += "/srv/" + QByteArray(480, 'x') + QByteArray::number(100000 + i) + ".mkv;";
    bigList("32767 entries of 500 bytes (16 MB)", wide);
    wide.clear();
    requestFlood();
    requestStorm();
    return 0;
}
