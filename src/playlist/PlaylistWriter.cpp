#include "app/MainWindow.h"
#include "platform/Codec.h"
#include "platform/TextFile.h"
#include "player/PathHelpers.h"

#include <QDir>
#include <QUrl>

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kSoutKey = QStringLiteral("EXTVLCOPT1");
const QString kTtlKey = QStringLiteral("EXTVLCOPT2");
const QString kSoutDefault = QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ts,");
const QString kTtlDefault = QStringLiteral("#EXTVLCOPT:ttl=1");

// A line break inside an entry would split it into lines or smuggle in options.
QString asPlaylistLine(const QString& entry)
{
    if (!entry.contains(u'\r') && !entry.contains(u'\n'))
        return entry;
    return QString::fromLatin1(QUrl::fromLocalFile(entry).toEncoded(QUrl::FullyEncoded));
}

// The title is shown text only; a line break there would end the directive line early.
QString titleOf(const QString& entry)
{
    QString title = paths::FileNameOf(entry);
    title.replace(u'\r', u' ').replace(u'\n', u' ');
    return title;
}

}  // namespace

QString MainWindow::SelectedProtocol() const
{
    return ProtokollCombo.text().toLower().trimmed();
}

MainWindow::StreamOptions MainWindow::readStreamOptions()
{
    StreamOptions o;
    o.sout = readSetting(kSettings, kSoutKey, QString());
    if (o.sout.isEmpty()) {
        writeSetting(kSettings, kSoutKey, kSoutDefault);
        o.sout = readSetting(kSettings, kSoutKey, kSoutDefault);
    }
    o.ttl = readSetting(kSettings, kTtlKey, QString());
    if (o.ttl.isEmpty()) {
        writeSetting(kSettings, kTtlKey, kTtlDefault);
        o.ttl = readSetting(kSettings, kTtlKey, kTtlDefault);
    }
    // the same for every entry of one write
    o.middle = o.sout + QStringLiteral("dst=") + TargetText.text() + QStringLiteral(",access=") + SelectedProtocol() +
               QStringLiteral(":}") + LineBreak;
    if (!o.ttl.isEmpty())
        o.middle += o.ttl + LineBreak;
    return o;
}

void MainWindow::appendStreamingEntry(QString& out, const QString& entry, const StreamOptions& options) const
{
    out += QStringLiteral("#EXTINF:");
    out += QString::number(EntryCounter);
    out += u',';
    out += titleOf(entry);
    out += LineBreak;
    out += options.middle;
    out += asPlaylistLine(entry);
}

QString MainWindow::BuildStreamingEntry(const QString& entry)
{
    QString block;
    appendStreamingEntry(block, entry, readStreamOptions());
    return block;
}

bool MainWindow::writePlaylistText(const QString& path, const QString& text)
{
    return textfile::writeBytes(path, codec::encodeForFile(text));
}

bool MainWindow::WritePlainPlaylist(const QString& path)
{
    const int n = FilmList.count();
    if (n == 0)
        return true;
    EntryCounter = EntryCounter == 0 ? -1 : 0;
    if (path.isEmpty())
        return true;
    QString text;
    text.reserve(n * 64);
    text += QStringLiteral("#EXTM3U\r\n");
    for (const QString& entry : FilmList.items()) {
        text += asPlaylistLine(entry);
        text += QStringLiteral("\r\n");
        ++EntryCounter;
    }
    return writePlaylistText(path, text);
}

bool MainWindow::WriteStreamingPlaylist(const QString& path)
{
    const int n = FilmList.count();
    if (n == 0)
        return true;
    ++EntryCounter;
    if (path.isEmpty())
        return true;
    // read once per write: a hand edit of the settings file is still seen by the next write
    const StreamOptions options = readStreamOptions();
    const qsizetype perEntry = options.sout.size() + options.ttl.size() + TargetText.text().size() + 160;
    QString text;
    text.reserve(n * perEntry);
    text += QStringLiteral("#EXTM3U\r\n");
    for (const QString& entry : FilmList.items()) {
        appendStreamingEntry(text, entry, options);
        text += QStringLiteral("\r\n");
        ++EntryCounter;
    }
    return writePlaylistText(path, text);
}

void MainWindow::SaveBtn_Click()
{
    const QString proposal = QDir::currentPath() + platformdefaults::kPathSeparator + QStringLiteral("playlist.m3u");
    const QString answer = services_.dialogs
                               ? services_.dialogs->input(QStringLiteral("Zielpfad eingeben (incl.: ' .m3u ' )!"),
                                                          QStringLiteral("Zielpfad eingeben"), proposal)
                               : QString();
    if (FilmList.count() == 0) {
        if (services_.dialogs)
            services_.dialogs->message(QStringLiteral("Keine Titel in der Liste"), QStringLiteral("Keie Titel"),
                                       MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    if (!WritePlainPlaylist(answer) && services_.dialogs) {
        services_.dialogs->message(
            QStringLiteral("Die Playlist konnte nicht gespeichert werden:") + u'\r' + u'\'' + answer + u'\'',
            QStringLiteral("Speichern fehlgeschlagen"), MessageIcon::Warning, MessageButtons::Ok);
    }
}
