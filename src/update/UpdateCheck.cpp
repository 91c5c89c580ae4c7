#include "app/MainWindow.h"
#include "platform/TextFile.h"
#include "update/Download.h"
#include "update/UpdateAddresses.h"

#include <QCoreApplication>
#include <QFile>

namespace {

// A fetched updater is a program: it needs the execute bits wherever it may be read.
void makeExecutable(const QString& path)
{
#ifndef Q_OS_WIN
    QFile::Permissions p = QFile::permissions(path);
    if (p & QFile::ReadOwner)
        p |= QFile::ExeOwner | QFile::ExeUser;
    if (p & QFile::ReadGroup)
        p |= QFile::ExeGroup;
    if (p & QFile::ReadOther)
        p |= QFile::ExeOther;
    QFile::setPermissions(path, p);
#else
    Q_UNUSED(path);
#endif
}

}  // namespace

void MainWindow::wireUpdateEvents()
{
    UpdateCaption.on(ControlEvent::Click, [this] { UpdateCaption_Click(); });
    Label3.on(ControlEvent::Click, [this] { Label3_Click(); });
    Label4.on(ControlEvent::Click, [this] { Label4_Click(); });
}

download::Options MainWindow::downloadOptions() const
{
    download::Options options;
    options.progress = services_.progress;
    if (IWindowHost* window = services_.window)
        options.pumpEvents = [window] { window->processPendingEvents(); };
    return options;
}

void MainWindow::UpdateCaption_Click()
{
    UpdateCaption.hide();
    if (services_.environment.installed) {
        // the system's package management owns the installed files: nothing is fetched or replaced here
        const QString text =
            QStringLiteral("Diese Installation wird über die Paketverwaltung des Systems aktualisiert.") + u'\r' +
            u'\r' + QStringLiteral("Dies ist Version ") + kVersion + u'.';
        if (services_.dialogs)
            services_.dialogs->message(text, QStringLiteral("Programmupdate"), MessageIcon::Information,
                                       MessageButtons::Ok);
        UpdateCaption.show();
        return;
    }
    const QString question = QStringLiteral("Mirovell auf Update überprüfen?") + u'\r' + u'\r' +
                             QStringLiteral("Dies ist Version:  ") + kVersion + u'\r';
    const bool yes = services_.dialogs &&
                     services_.dialogs->message(question, QStringLiteral("Auf Programmupdate überprüfen?"),
                                                MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
    if (!yes) {
        UpdateCaption.show();
        return;
    }
    // The updater and the program's file are looked for beside the program, not in whatever
    // folder the program happened to be started from.
    const ProgramEnvironment& env = services_.environment;
    StartUpdater(updateaddresses::programAddress(),
                 download::CombinePath(env.programFolder, env.exeBaseName + platformdefaults::kProgramExtension),
                 download::CombinePath(env.programFolder, platformdefaults::kUpdaterFileName),
                 updateaddresses::updaterAddress());
    if (ended_)
        return;
    if (services_.window)
        services_.window->processPendingEvents();
    UpdateCaption.show();
}

bool MainWindow::StartUpdater(const QString& programAddress, const QString& programFile, const QString& updaterFile,
                              const QString& updaterAddress)
{
    if (!textfile::fileExists(updaterFile)) {
        const QString question = updaterFile + QStringLiteral(" (19 kb) wird für das Update benötigt!") + u'\r' +
                                 QStringLiteral("Soll es jetzt heruntergeladen werden?") + u'\r' + u'\r' +
                                 QStringLiteral("Zielpfad:") + updaterFile;
        const bool yes = services_.dialogs &&
                         services_.dialogs->message(question, QStringLiteral("Updater downloaden?"),
                                                    MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::Yes;
        if (!yes)
            return false;
        if (services_.window)
            services_.window->processPendingEvents();
        // a program fetched to be run is run only when it is the one published
        if (!download::fetchVerified(updaterAddress, updaterFile, downloadOptions()).ok()) {
            if (services_.dialogs)
                services_.dialogs->message(updaterFile + u'\r' + u'\r' +
                                               QStringLiteral("Download Fehlgeschlagen / Download failed"),
                                           QString(), MessageIcon::None, MessageButtons::Ok);
            return false;
        }
        makeExecutable(updaterFile);
    }

    if (ended_)
        return false;  // the program was ended during the download: nothing new starts
    // The arguments go to the updater as they are; a blank in a path cannot split them.
    // The process id lets the updater wait until this program has really ended.
    if (services_.processes)
        services_.processes->start(updaterFile,
                                   {QStringLiteral("[URL]") + programAddress, QStringLiteral("[PATH]") + programFile,
                                    QStringLiteral("[PID]") + QString::number(QCoreApplication::applicationPid())},
                                   WindowStyle::NormalFocus);
    // End as the exit button does, so the settings and the kept list survive the update.
    ExitBtn_Click();
    return true;
}

void MainWindow::Label3_Click()
{
    Label3.hide();
    if (services_.openInBrowser)
        services_.openInBrowser(updateaddresses::homepageAddress());
    if (services_.window)
        services_.window->processPendingEvents();
    Label3.show();
}

void MainWindow::Label4_Click()
{
    Label4.hide();
    if (services_.openInBrowser)
        services_.openInBrowser(updateaddresses::kVlcAddress);
    if (services_.window)
        services_.window->processPendingEvents();
}
