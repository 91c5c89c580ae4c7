#include "app/MainWindow.h"
#include "platform/TextFile.h"
#include "player/PathHelpers.h"
#include "playlist/PlaylistReader.h"

void MainWindow::wireDropEvents()
{
    FilmList.on(ControlEvent::Drop, [this](const EventArgs& e) { FilmList_OLEDragDrop(e.paths); });
    Form.on(ControlEvent::Drop, [this](const EventArgs& e) { Form_OLEDragDrop(e.paths); });
    Frame1.on(ControlEvent::Drop, [this](const EventArgs& e) { Frame1_OLEDragDrop(e.paths); });
    Frame2.on(ControlEvent::Drop, [this](const EventArgs& e) { Frame2_OLEDragDrop(e.paths); });
}

void MainWindow::FilmList_OLEDragDrop(const QStringList& dropped)
{
    for (const QString& path : dropped) {
        QString name = paths::StripQuotes(path);
        // a folder that happens to be called "x.m3u" is added like any other path
        if (playlist::isPlaylistName(name) && !textfile::folderExists(name))
            LoadPlaylistFile(name, false);
        else
            FilmList.addItem(path);
    }
    UpdateFileCount();
}

void MainWindow::addDroppedPaths(const QStringList& dropped)
{
    for (const QString& path : dropped)
        FilmList.addItem(path);
    UpdateFileCount();
}

void MainWindow::Form_OLEDragDrop(const QStringList& dropped)
{
    addDroppedPaths(dropped);
}

void MainWindow::Frame1_OLEDragDrop(const QStringList& dropped)
{
    addDroppedPaths(dropped);
}

void MainWindow::Frame2_OLEDragDrop(const QStringList& dropped)
{
    addDroppedPaths(dropped);
}
