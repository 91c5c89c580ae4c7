// Dropping play lists on the list: how long the window is busy, against reading the same bytes raw.
#include "BenchUtil.h"
#include "Doubles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray noise(qsizetype size, bool withNul)
{
    QByteArray b(size, '\0');
    quint32 x = 2463534242u;
    for (char& c : b) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(x);
        if (!withNul)
            c = char(0x20 + (quint8(c) % 0x5F));  // printable, no line break
    }
    return b;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QByteArray m3u = "#EXTM3U\r\n", pls = "[playlist]\r\n";
    for (int i = 0; i < 40000; ++i) {
        const QByteArray name = "Staffel " + QByteArray::number(i / 100) + "/Folge " + QByteArray::number(i) + ".mp4";
        m3u += "#EXTINF:-1,Folge\r\n" + name + "\r\n";
        pls += "File" + QByteArray::number(40000 - i) + "=" + name + "\r\nTitle" + QByteArray::number(40000 - i) +
               "=x\r\n";
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"relative.m3u", m3u},
        {"reversed.pls", pls},
        {"binary-50MB.m3u", noise(50 << 20, true)},
        {"one-line-50MB.lst", noise(50 << 20, false)},
    };
    std::printf("%-20s %10s %8s %10s %10s\n", "file", "bytes", "entries", "raw ms", "drop ms");
    for (const auto& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        write(path, c.bytes);
        TestWindow doubles({.folder = dir.path()});
        MainWindow& window = *doubles;
        window.Form_Load();
        const double raw = medianMs(
            [&] {
                QFile f(path);
                f.open(QIODevice::ReadOnly);
                volatile qsizetype size = f.readAll().size();
                (void)size;
            },
            5);
        const double drop = medianMs(
            [&] {
                window.FilmList.clear();
                window.FilmList_OLEDragDrop({path});
            },
            5);
        std::printf("%-20s %10lld %8d %10.2f %10.2f\n", c.name, qint64(c.bytes.size()), window.FilmList.count(), raw,
                    drop);
    }
    return 0;
}
