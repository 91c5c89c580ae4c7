// What discovery costs where it cannot work: no system bus at all, and a bus without the Avahi
// daemon. Prints the time the event loop spends in construction, publish() and browse(), the time
// until discovery has settled in the background, and the longest the event loop went without
// running a 1 ms timer meanwhile (up to 1 ms: no stall).
#include "BenchUtil.h"
#include "platform/qt/AvahiServiceDiscovery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

struct Figures {
    double callsMs = 0;
    double settledMs = 0;
    double stallMs = 0;
};

Figures once(const AvahiServiceDiscovery::Options& options, AvahiServiceDiscovery::State expected)
{
    Figures f;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 t = clock.nsecsElapsed();
        f.stallMs = std::max(f.stallMs, double(t - lastTick) / 1e6);
        lastTick = t;
    });
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.start(1);
    QElapsedTimer calls;
    calls.start();
    AvahiServiceDiscovery discovery(options);
    discovery.publish(PeerRole::Receiver, 22355);
    discovery.browse(PeerRole::Sender);
    f.callsMs = double(calls.nsecsElapsed()) / 1e6;
    lastTick = clock.nsecsElapsed();
    while (discovery.state() != expected && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    f.settledMs = double(clock.nsecsElapsed()) / 1e6 - f.callsMs;
    return f;
}

void report(const char* what, const AvahiServiceDiscovery::Options& options, AvahiServiceDiscovery::State expected)
{
    std::vector<Figures> runs;
    for (int i = 0; i < 9; ++i)
        runs.push_back(once(options, expected));
    auto median = [&runs](double Figures::*field) {
        std::vector<double> v;
        for (const Figures& f : runs)
            v.push_back(f.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    // the first run pays for starting QtDBus, as the program's one instance does
    std::printf("%s\n  first: calls %.3f ms, settled %.2f ms later, longest stall %.2f ms\n", what, runs[0].callsMs,
                runs[0].settledMs, runs[0].stallMs);
    std::printf("  median of %zu: calls %.3f ms, settled %.2f ms later, longest stall %.2f ms\n", runs.size(),
                median(&Figures::callsMs), median(&Figures::settledMs), median(&Figures::stallMs));
}

}  // namespace

int main(int argc, char** argv)
{
    // the machine's own bus and daemon stay out of this
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
    QCoreApplication app(argc, argv);
    {
        // what this machine's load alone does to a 1 ms timer
        double stall = 0;
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer ticks;
        ticks.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            stall = std::max(stall, double(clock.nsecsElapsed() - last) / 1e6);
            last = clock.nsecsElapsed();
        });
        ticks.start(1);
        while (clock.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        std::printf("an idle event loop for 200 ms: longest stall %.2f ms\n", stall);
    }
    report("no system bus:", {}, AvahiServiceDiscovery::State::NoBus);

    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("bus.conf")));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(QStringLiteral("<busconfig><listen>unix:path=%1/bus</listen><auth>EXTERNAL</auth>"
                                "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                                "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>")
                     .arg(dir.path())
                     .toUtf8());
    config.close();
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                              QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    for (int i = 0; i < 100 && !QFile::exists(dir.filePath(QStringLiteral("bus"))); ++i)
        QThread::msleep(20);
    AvahiServiceDiscovery::Options options;
    options.busAddress = QStringLiteral("unix:path=%1/bus").arg(dir.path());
    report("a bus without the daemon:", options, AvahiServiceDiscovery::State::NoDaemon);
    bus.kill();
    bus.waitForFinished();
    return 0;
}
