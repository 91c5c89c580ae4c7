#include "playlist/Playlist.h"

#include "model/Control.h"
#include "model/Defaults.h"
#include "platform/IDialogs.h"
#include "playlist/PlaylistReader.h"

#include <QCoreApplication>
#include <QDir>

Playlist::Playlist(const Controls& controls, IDialogs& dialogs) : c_(controls), dialogs_(dialogs)
{
}

const QStringList& Playlist::entries() const
{
    return c_.FilmList.items();
}

int Playlist::count() const
{
    return c_.FilmList.count();
}

void Playlist::showCount()
{
    const int n = c_.FilmRemoteList.visible() ? c_.FilmRemoteList.count() : c_.FilmList.count();
    c_.List_Count.setText(QCoreApplication::translate("Mirovell", "Dateien: ") + QString::number(n));
    const bool any = c_.FilmList.count() > 0;
    c_.UpBtn.setEnabled(any);
    c_.DownBtn.setEnabled(any);
    c_.SaveBtn.setEnabled(any);
}

void Playlist::clear()
{
    c_.FilmList.clear();
}

void Playlist::moveSelectedDown()
{
    Control& list = c_.FilmList;
    const int n = list.count();
    if (n == 0)
        return;
    if (list.listIndex() < 1)
        list.setListIndex(0);
    const int i = list.listIndex();
    if (i >= n - 1)
        return;
    const QString a = list.item(i);
    list.setItem(i, list.item(i + 1));
    list.setItem(i + 1, a);
    list.setListIndex(i + 1);
    list.setFocus();
}

void Playlist::moveToTop(int i)
{
    Control& list = c_.FilmList;
    if (i <= 0 || i >= list.count())
        return;
    const QString entry = list.item(i);
    list.removeItem(i);
    list.insertItem(0, entry);
}

void Playlist::moveSelectedUp()
{
    Control& list = c_.FilmList;
    if (list.count() == 0)
        return;
    const int i = list.listIndex();
    if (i < 1)
        return;
    const QString a = list.item(i - 1);
    list.setItem(i - 1, list.item(i));
    list.setItem(i, a);
    list.setListIndex(i - 1);
    list.setFocus();
}

void Playlist::showSelectedAsToolTip()
{
    c_.FilmList.setToolTip(c_.FilmList.item(c_.FilmList.listIndex()));
}

void Playlist::removeSelected()
{
    const int i = c_.FilmList.listIndex();
    if (i >= 0)
        c_.FilmList.removeItem(i);
}

void Playlist::addPaths(const QStringList& paths)
{
    for (const QString& path : paths)
        c_.FilmList.addItem(path);
}

void Playlist::loadFile(const QString& name, bool clearFirst, bool ownList)
{
    const int room = Control::kMaxItems - (clearFirst ? 0 : c_.FilmList.count());
    const playlist::ReadResult read = ownList ? playlist::readEntries(name, room) : playlist::readPlaylist(name, room);
    if (read.status != textfile::ReadStatus::Ok)
        return;  // unreadable: keep what the list holds
    if (clearFirst)
        c_.FilmList.clear();
    c_.FilmList.addItems(read.entries);
}

void Playlist::SaveBtn_Click()
{
    const QString proposal = QDir::currentPath() + platformdefaults::kPathSeparator + QStringLiteral("playlist.m3u");
    const QString answer =
        dialogs_.input(QCoreApplication::translate("Mirovell", "Zielpfad eingeben (incl.: ' .m3u ' )!"),
                       QCoreApplication::translate("Mirovell", "Zielpfad eingeben"), proposal);
    if (c_.FilmList.count() == 0) {
        dialogs_.message(QCoreApplication::translate("Mirovell", "Keine Titel in der Liste"),
                         QCoreApplication::translate("Mirovell", "Keie Titel"), MessageIcon::Information,
                         MessageButtons::Ok);
        return;
    }
    if (!WritePlainPlaylist(answer))
        dialogs_.message(QCoreApplication::translate("Mirovell", "Die Playlist konnte nicht gespeichert werden:") +
                             u'\r' + u'\'' + answer + u'\'',
                         QCoreApplication::translate("Mirovell", "Speichern fehlgeschlagen"), MessageIcon::Warning,
                         MessageButtons::Ok);
}
