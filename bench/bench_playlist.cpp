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

namespace {

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
        const double plain = medianMs([&] { writer.WritePlainPlaylist(window.FilmList.items(), out); });
        const double stream = medianMs([&] { writer.WriteStreamingPlaylist(window.FilmList.items(), options, out); });
        const double worst = std::max({load, plain, stream}) / raw;
        std::printf("%8d %9lld %8.3f %10.3f %9.3f %9.3f %10.3f %.1fx / %.1fx\n", n, bytes, raw, rawLines, load, plain,
                    stream, worst, worst * raw / rawLines);
    }
    return 0;
}
