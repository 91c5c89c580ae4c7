#include "app/MainWindow.h"
#include "platform/TextFile.h"
#include "player/Files.h"
#include "player/PathHelpers.h"
#include "player/VlcCommand.h"

#include <QDir>

namespace {

constexpr BgrColor kWhite = 0xFFFFFF;
constexpr BgrColor kRed = 0x0000FF;
constexpr BgrColor kGreen = 0x008000;

// The program itself must be there. A folder, even one holding files, is refused here so that
// the user is asked for VLC instead of clicking a start button that silently does nothing.
// Quotes around the path are the command line's business, not part of the name.
bool vlcFound(const QString& path)
{
    return textfile::fileExists(paths::StripQuotes(path));
}

// The check before a start: the folder of the path (the path itself when it names a folder or
// nothing) must hold at least one file; a path to a file passes with it. The start then tells by
// itself whether it was a player.
bool vlcLocationPlausible(const QString& path)
{
    const auto folder = paths::AddTrailingSeparator(paths::FolderOf(paths::StripQuotes(path)));
    return folder && textfile::folderExists(*folder) &&
           !QDir(*folder).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
}

}  // namespace

void MainWindow::wireVlcLocationEvents()
{
    VlcPath.on(ControlEvent::GotFocus, [this] { VlcPath_GotFocus(); });
    VlcPath.on(ControlEvent::LostFocus, [this] { VlcPath_LostFocus(); });
    VLC_Browse.on(ControlEvent::Click, [this] { VLC_Browse_Click(); });
}

void MainWindow::VlcPath_GotFocus()
{
    VlcPath.setBackColor(kWhite);
    VlcPath.setForeColor(kSystemWindowText);
}

void MainWindow::VlcPath_LostFocus()
{
    if (vlcFound(VlcPath.text())) {
        VlcPath.setForeColor(kGreen);
    } else {
        VlcPath.setBackColor(kWhite);
        VlcPath.setForeColor(kRed);
    }
}

QString MainWindow::askForVlc(const QString& title)
{
    const QString bare = paths::StripQuotes(VlcPath.text());
    // a folder typed into the field is where the user expects to start looking
    const QString startIn =
        textfile::folderExists(bare) ? paths::AddTrailingSeparator(bare).value_or(bare) : paths::LeadingPath(bare);
    const QString answer =
        files::ShowOpenDialog(services_.dialogs, startIn, title, platformdefaults::kVlcExecutableName,
                              platformdefaults::kExecutablePattern, QString());
    if (answer.isEmpty() || answer == platformdefaults::kVlcExecutableName)
        return {};
    return answer;
}

void MainWindow::VLC_Browse_Click()
{
    const QString answer = askForVlc(QStringLiteral("VLC.EXE suchen"));
    if (!answer.isEmpty())
        VlcPath.setText(answer);
}

void MainWindow::EnsureVlcLocation()
{
    if (vlcLocationPlausible(VlcPath.text()))
        return;
    if (services_.dialogs)
        services_.dialogs->message(
            QStringLiteral("VLC.exe konnte in diesem Pfad nicht gefunden werden: ") + u'\r' + u'\'' + VlcPath.text() +
                u'\'' + u'\r' + u'\r' + QStringLiteral("Bitte den Pfad auswählen"),
            QStringLiteral("VLC.exe nicht gefunden"), MessageIcon::Information, MessageButtons::Ok);
    const QString answer = askForVlc(QStringLiteral("VLC.EXE wurde nicht gefunden"));
    if (!answer.isEmpty())
        VlcPath.setText(answer);
}

// Without a program the command line would start its first argument, the play list, as one.
bool MainWindow::hasVlcPath() const
{
    return !paths::StripQuotes(VlcPath.text()).isEmpty();
}

qint64 MainWindow::startCommandLine(const QString& commandLine)
{
    // an ending that came while a dialog was open has shut everything down: nothing new starts
    if (!services_.processes || ended_)
        return 0;
    const vlccommand::Split split = vlccommand::splitCommandLine(commandLine);
    if (split.program.isEmpty())
        return 0;
    return services_.processes->start(split.program, split.arguments, WindowStyle::NormalFocus);
}
