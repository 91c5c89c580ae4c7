// Play-list reader: any bytes under any of the play-list names give a bounded list of entries,
// none blank, none a directive, none holding a line break.
#include "playlist/PlaylistReader.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int kMax = 500;

// blanks as the list knows them: spaces and tabs
bool blank(const QString& e)
{
    for (QChar c : e)
        if (c != u' ' && c != u'\t')
            return false;
    return true;
}

void check(const playlist::ReadResult& r)
{
    if (r.entries.size() > kMax)
        std::abort();
    for (const QString& e : r.entries) {
        if (blank(e) || e.contains(u'\r') || e.contains(u'\n'))
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static const char* const kNames[] = {"list.m3u", "list.M3U8", "list.pls", "list.lst"};
    static const QString folder = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString f = base + QStringLiteral("/fuzz_playlist_%1/").arg(getpid());
        QDir().mkpath(f);
        return f;
    }();
    const QString path = folder + QLatin1String(kNames[data[0] % 4]);
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    }
    const playlist::ReadResult meant = playlist::readPlaylist(path, kMax);
    check(meant);
    const playlist::ReadResult raw = playlist::readEntries(path, kMax);
    check(raw);
    for (const QString& e : raw.entries) {
        qsizetype i = 0;
        while (e[i] == u' ' || e[i] == u'\t')
            ++i;
        if (e[i] == u'#')
            std::abort();
    }
    QFile::remove(path);
    return 0;
}
