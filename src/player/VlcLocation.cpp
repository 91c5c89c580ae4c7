#include "app/MainWindow.h"
#include "platform/TextFile.h"
#include "player/Files.h"
#include "player/PathHelpers.h"
#include "player/VlcCommand.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr BgrColor kWhite = 0xFFFFFF;
constexpr BgrColor kRed = 0x0000FF;
constexpr BgrColor kGreen = 0x008000;

// An existing file, or an existing folder holding at least one file.
bool vlcLocationPlausible(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString folder = paths::FolderOf(path);
    const auto withSep = paths::AddTrailingSeparator(folder);
    if (!withSep)
        return false;
    const QFileInfo info(*withSep);
    if (!info.isDir())
        return false;
    return !QDir(*withSep).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
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
    if (textfile::fileExists(VlcPath.text())) {
        VlcPath.setForeColor(kGreen);
    } else {
        VlcPath.setBackColor(kWhite);
        VlcPath.setForeColor(kRed);
    }
}

QString MainWindow::askForVlc(const QString& title)
{
    const QString answer = files::ShowOpenDialog(services_.dialogs, paths::LeadingPath(VlcPath.text()), title,
                                                 platformdefaults::kVlcExecutableName,
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
        services_.dialogs->message(QStringLiteral("VLC.exe konnte in diesem Pfad nicht gefunden werden: ") + u'\r' +
                                       u'\'' + VlcPath.text() + u'\'' + u'\r' + u'\r' +
                                       QStringLiteral("Bitte den Pfad auswählen"),
                                   QStringLiteral("VLC.exe nicht gefunden"), MessageIcon::Information,
                                   MessageButtons::Ok);
    const QString answer = askForVlc(QStringLiteral("VLC.EXE wurde nicht gefunden"));
    if (!answer.isEmpty())
        VlcPath.setText(answer);
}

qint64 MainWindow::startCommandLine(const QString& commandLine)
{
    if (!services_.processes)
        return 0;
    const vlccommand::Split split = vlccommand::splitCommandLine(commandLine);
    if (split.program.isEmpty())
        return 0;
    return services_.processes->start(split.program, split.arguments, WindowStyle::NormalFocus);
}
