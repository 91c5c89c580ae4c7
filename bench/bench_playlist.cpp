// Loading and writing large play lists against reading the same bytes raw.
#include "BenchUtil.h"
#include "Doubles.h"
#include "player/VlcCommand.h"
#include "playlist/PlaylistWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

bool skipSync = false;

}  // namespace

// Every save syncs its file before it replaces the old one; with the sync skipped for a second
// run of the same write, the benchmark tells how much of a write is the disk's.
extern "C" int fsync(int fd)
{
    return skipSync ? 0 : int(::syscall(SYS_fsync, fd));
}

namespace {

// The floor of a save: the same bytes written to a file and synced, nothing else.
void rawWriteAndSync(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() || !f.flush() ||
        ::syscall(SYS_fsync, f.handle()) != 0)
        qFatal("cannot write %s", qPrintable(path));
}

// A save and its floor, taken in turns: the time of a sync follows what the disk did just before
// (here 2 to 20 ms for the same bytes from one minute to the next), so measured minutes apart the
// two would be compared across the disk's moods rather than against each other.
std::pair<double, double> saveAndFloorMs(const std::function<void()>& save, const QString& rawPath,
                                         const QByteArray& bytes, int repeats = 9)
{
    std::vector<double> saves, raws;
    for (int i = 0; i < repeats; ++i) {
        saves.push_back(medianMs(save, 1));
        raws.push_back(medianMs([&] { rawWriteAndSync(rawPath, bytes); }, 1));
    }
    std::sort(saves.begin(), saves.end());
    std::sort(raws.begin(), raws.end());
    return {saves[saves.size() / 2], raws[raws.size() / 2]};
}

QString makePlaylist(const QString& path, int entries)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("#EXTM3U\r\n");
    for (int i = 0; i < entries; ++i)
        f.write(QStringLiteral("/home/benutzer/Videos/Serien/Staffel %1/Folge %2 - Ein langer Titel.mp4\r\n")
                    .arg(i / 100, 3, 10, QLatin1Char('0'))
                    .arg(i, 5, 10, QLatin1Char('0'))
                    .toUtf8());
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    struct Sync {
        int entries;
        double plain, plainNoSync, plainRaw, stream, streamNoSync, streamRaw;
    };
    std::vector<Sync> syncs;
    // two baselines: the bytes in one read, and the same bytes read line by line
    std::printf("%8s %9s %8s %10s %9s %9s %10s %s\n", "entries", "bytes", "raw ms", "lines ms", "load ms", "plain ms",
                "stream ms", "worst ratio to raw / to lines");
    for (int n : {1000, 10000, 32767}) {
        const QString source = makePlaylist(dir.filePath(QStringLiteral("in.m3u")), n);
        const qint64 bytes = QFileInfo(source).size();

        TestWindow doubles({.folder = dir.path()});
        MainWindow& window = *doubles;
        window.Form_Load();

        const double raw = medianMs([&] {
            QFile f(source);
            f.open(QIODevice::ReadOnly);
            volatile qsizetype size = f.readAll().size();
            (void)size;
        });
        const double rawLines = medianMs([&] {
            QFile f(source);
            f.open(QIODevice::ReadOnly);
            char line[4096];
            qint64 total = 0;
            while (f.readLine(line, sizeof line) > 0)
                ++total;
            volatile qint64 sink = total;
            (void)sink;
        });
        const double load = medianMs([&] {
            QString name = source;
            window.LoadPlaylistFile(name, true);
        });
        if (window.FilmList.count() != n)
            qFatal("loaded %d of %d entries", window.FilmList.count(), n);
        const QString out = dir.filePath(QStringLiteral("out.m3u"));
        PlaylistWriter writer;
        const QStringList options = vlc::streamItemOptions(QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ts,"),
                                                           QStringLiteral("#EXTVLCOPT:ttl=1"),
                                                           QStringLiteral("192.168.0.2"), QStringLiteral("udp"));
        writer.WritePlainPlaylist(window.FilmList.items(), out);
        const QByteArray plainBytes = readAll(out);
        writer.WriteStreamingPlaylist(window.FilmList.items(), options, out);
        const QByteArray streamBytes = readAll(out);
        const QString rawOut = dir.filePath(QStringLiteral("raw.m3u"));
        const auto [plain, plainRaw] =
            saveAndFloorMs([&] { writer.WritePlainPlaylist(window.FilmList.items(), out); }, rawOut, plainBytes);
        const auto [stream, streamRaw] = saveAndFloorMs(
            [&] { writer.WriteStreamingPlaylist(window.FilmList.items(), options, out); }, rawOut, streamBytes);
        // Without the sync, a save that replaces a file is still flushed by the file system at the
        // rename (ext4 does so for just this pattern): these writes replace nothing.
        const auto removeOut = [&] { QFile::remove(out); };
        skipSync = true;
        const double plainNoSync =
            medianMs([&] { writer.WritePlainPlaylist(window.FilmList.items(), out); }, 7, removeOut);
        const double streamNoSync =
            medianMs([&] { writer.WriteStreamingPlaylist(window.FilmList.items(), options, out); }, 7, removeOut);
        skipSync = false;
        syncs.push_back({n, plain, plainNoSync, plainRaw, stream, streamNoSync, streamRaw});
        const double worst = std::max({load, plain, stream}) / raw;
        std::printf("%8d %9lld %8.3f %10.3f %9.3f %9.3f %10.3f %.1fx / %.1fx\n", n, bytes, raw, rawLines, load, plain,
                    stream, worst, worst * raw / rawLines);
    }
    // the writes again, the sync skipped, and the floor of a save: the same bytes written and synced
    for (const Sync& s : syncs) {
        std::printf("of which the sync, %d entries: plain %.3f ms, streaming %.3f ms\n", s.entries,
                    s.plain - s.plainNoSync, s.stream - s.streamNoSync);
        std::printf("raw write + sync of the same bytes, %d entries: plain %.3f ms (write %.1fx), streaming %.3f ms "
                    "(write %.1fx)\n",
                    s.entries, s.plainRaw, s.plain / s.plainRaw, s.streamRaw, s.stream / s.streamRaw);
    }
    return 0;
}
