#pragma once

#include "playlist/PlaylistWriter.h"

#include <QString>
#include <QStringList>

class Control;
class IDialogs;

// The list of tracks, FilmList: its editing, its count and list buttons, reading play lists into
// it and writing it out.
class Playlist {
public:
    struct Controls {
        Control& FilmList;
        Control& FilmRemoteList;  // counted instead while it is shown
        Control& List_Count;
        Control& UpBtn;
        Control& DownBtn;
        Control& SaveBtn;
    };
    Playlist(const Controls& controls, IDialogs& dialogs);

    // The count label and the list buttons, after every change of the list.
    void showCount();
    void clear();
    // The selected entry one place further down (the first when none is selected) or up.
    void moveSelectedDown();
    void moveSelectedUp();
    // The selected entry becomes the list's tool tip.
    void showSelectedAsToolTip();
    void removeSelected();
    // Entry i becomes the first; the others keep their order.
    void moveToTop(int i);
    // Dropped paths, added as they are.
    void addPaths(const QStringList& paths);
    // The reading part of LoadPlaylistFile: the file's entries join the list (replace it when
    // clearFirst). ownList: the program's own kept list, read line by line as it was written;
    // any other as its author meant it. A file that cannot be read leaves the list as it was.
    void loadFile(const QString& name, bool clearFirst, bool ownList);
    // "Speichern als..": asks for a path and writes the plain play list there.
    void SaveBtn_Click();

    bool WritePlainPlaylist(const QString& path) { return writer_.WritePlainPlaylist(entries(), path); }
    bool WriteStreamingPlaylist(const QString& path, const QStringList& itemOptions)
    {
        return writer_.WriteStreamingPlaylist(entries(), itemOptions, path);
    }
    const QStringList& entries() const;
    int count() const;

private:
    Controls c_;
    IDialogs& dialogs_;
    PlaylistWriter writer_;
};
