#include "app/MainWindow.h"
#include "player/DesktopApps.h"

void MainWindow::wirePlaylistEvents()
{
    Command1.on(ControlEvent::Click, [this] { Command1_Click(); });
    UpBtn.on(ControlEvent::Click, [this] { UpBtn_Click(); });
    DownBtn.on(ControlEvent::Click, [this] { DownBtn_Click(); });
    FilmList.on(ControlEvent::Click, [this] { FilmList_Click(); });
    FilmList.on(ControlEvent::DblClick, [this] { FilmList_DblClick(); });
    List_Count.on(ControlEvent::Click, [this] { List_Count_Click(); });
    SaveBtn.on(ControlEvent::Click, [this] { SaveBtn_Click(); });
}

void MainWindow::UpdateFileCount()
{
    const int n = FilmRemoteList.visible() ? FilmRemoteList.count() : FilmList.count();
    List_Count.setText(QStringLiteral("Dateien: ") + QString::number(n));
    const bool any = FilmList.count() > 0;
    UpBtn.setEnabled(any);
    DownBtn.setEnabled(any);
    SaveBtn.setEnabled(any);
    if (SendenFrame.visible()) {
        SErverBtnTest_Click();
        ButtonServerSenden_Click();
    }
}

void MainWindow::Command1_Click()
{
    FilmList.clear();
    UpdateFileCount();
}

void MainWindow::UpBtn_Click()
{
    const int n = FilmList.count();
    if (n == 0)
        return;
    if (FilmList.listIndex() < 1)
        FilmList.setListIndex(0);
    const int i = FilmList.listIndex();
    if (i >= n - 1)
        return;
    const QString a = FilmList.item(i);
    FilmList.setItem(i, FilmList.item(i + 1));
    FilmList.setItem(i + 1, a);
    FilmList.setListIndex(i + 1);
    FilmList.setFocus();
}

void MainWindow::DownBtn_Click()
{
    if (FilmList.count() == 0)
        return;
    const int i = FilmList.listIndex();
    if (i < 1)
        return;
    const QString a = FilmList.item(i - 1);
    FilmList.setItem(i - 1, FilmList.item(i));
    FilmList.setItem(i, a);
    FilmList.setListIndex(i - 1);
    FilmList.setFocus();
}

void MainWindow::FilmList_Click()
{
    FilmList.setToolTip(FilmList.item(FilmList.listIndex()));
}

void MainWindow::FilmList_DblClick()
{
    const int i = FilmList.listIndex();
    if (i >= 0)
        FilmList.removeItem(i);
    UpdateFileCount();
}

void MainWindow::List_Count_Click()
{
    if (!services_.processes)
        return;
#ifdef Q_OS_WIN
    const desktopapps::Command editor{QStringLiteral("Notepad.exe"), {TempPlaylistPath}};
#else
    // a play list's own type would open the media player; ask for the plain-text handler
    const desktopapps::Command editor = desktopapps::textEditorFor(TempPlaylistPath);
#endif
    if (editor.isValid() && services_.processes->start(editor.program, editor.arguments, WindowStyle::NormalFocus) != 0)
        return;
    if (services_.dialogs)
        services_.dialogs->message(QStringLiteral("Kein Texteditor gefunden, um die Playlist zu öffnen:") + u'\r' +
                                       TempPlaylistPath,
                                   QStringLiteral("Texteditor"), MessageIcon::Information, MessageButtons::Ok);
}
