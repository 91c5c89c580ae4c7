#include "update/UpdateCheck.h"

#include "model/Control.h"
#include "model/Defaults.h"
#include "platform/IDialogs.h"
#include "platform/IEventPump.h"
#include "platform/IProcessLauncher.h"
#include "platform/TextFile.h"
#include "update/Download.h"
#include "update/Signature.h"
#include "update/UpdateAddresses.h"

#include <QCoreApplication>
#include <QFile>

#include <utility>

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

UpdateCheck::UpdateCheck(Control& UpdateCaption, IDialogs& dialogs, IProcessLauncher& processes, IEventPump& events,
                         IProgressDialog& progress, const ProgramEnvironment& environment, QByteArray trustedKey)
    : UpdateCaption_(UpdateCaption), dialogs_(dialogs), processes_(processes), events_(events), progress_(progress),
      environment_(environment), trustedKey_(std::move(trustedKey))
{
}

bool UpdateCheck::UpdateCaption_Click()
{
    UpdateCaption_.hide();
    if (environment_.installed) {
        // the system's package management owns the installed files: nothing is fetched or replaced here
        const QString text =
            QCoreApplication::translate("Mirovell",
                                        "Diese Installation wird über die Paketverwaltung des Systems aktualisiert.") +
            u'\r' + u'\r' + QCoreApplication::translate("Mirovell", "Dies ist Version ") + kProgramVersion + u'.';
        dialogs_.message(text, QCoreApplication::translate("Mirovell", "Programmupdate"), MessageIcon::Information,
                         MessageButtons::Ok);
        UpdateCaption_.show();
        return false;
    }
    const QString question = QCoreApplication::translate("Mirovell", "Mirovell auf Update überprüfen?") + u'\r' +
                             u'\r' + QCoreApplication::translate("Mirovell", "Dies ist Version:  ") + kProgramVersion +
                             u'\r';
    if (dialogs_.message(question, QCoreApplication::translate("Mirovell", "Auf Programmupdate überprüfen?"),
                         MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes) {
        UpdateCaption_.show();
        return false;
    }
    // The updater and the program's file are looked for beside the program, not in whatever
    // folder the program happened to be started from.
    const ProgramEnvironment& env = environment_;
    if (StartUpdater(updateaddresses::programAddress(),
                     download::CombinePath(env.programFolder, env.exeBaseName + platformdefaults::kProgramExtension),
                     download::CombinePath(env.programFolder, platformdefaults::kUpdaterFileName),
                     updateaddresses::updaterAddress()))
        return true;
    if (ended_)
        return false;
    events_.processPendingEvents();
    UpdateCaption_.show();
    return false;
}

bool UpdateCheck::StartUpdater(const QString& programAddress, const QString& programFile, const QString& updaterFile,
                               const QString& updaterAddress)
{
    const QString updaterSignature = signature::signatureFileOf(updaterFile);
    if (textfile::fileExists(updaterFile) && !signature::fileSigned(updaterFile, updaterSignature, trustedKey_)) {
        // whoever could put it there may have changed it: it is not run, and a signed one is fetched
        QFile::remove(updaterSignature);
        const bool removed = QFile::remove(updaterFile);
        dialogs_.message(
            updaterFile + u'\r' + u'\r' +
                (removed
                     ? QCoreApplication::translate(
                           "Mirovell", "Der Updater trägt keine gültige Signatur des Herstellers und wurde entfernt.")
                     : QCoreApplication::translate("Mirovell",
                                                   "Der Updater trägt keine gültige Signatur des Herstellers und "
                                                   "wird nicht gestartet. Er ließ sich nicht entfernen.")),
            QCoreApplication::translate("Mirovell", "Programmupdate"), MessageIcon::Warning, MessageButtons::Ok);
        if (ended_ || !removed)
            return false;
    }
    if (!textfile::fileExists(updaterFile)) {
        const QString question =
            updaterFile + QCoreApplication::translate("Mirovell", " (19 kb) wird für das Update benötigt!") + u'\r' +
            QCoreApplication::translate("Mirovell", "Soll es jetzt heruntergeladen werden?") + u'\r' + u'\r' +
            QCoreApplication::translate("Mirovell", "Zielpfad:") + updaterFile;
        if (dialogs_.message(question, QCoreApplication::translate("Mirovell", "Updater downloaden?"),
                             MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
            return false;
        events_.processPendingEvents();
        // a program fetched to be run is run only when it is the one published
        download::Options options;
        options.progress = &progress_;
        options.events = &events_;
        options.trustedKey = trustedKey_;
        const download::Result got = download::fetchVerified(updaterAddress, updaterFile, options);
        if (!got.ok()) {
            QString text = updaterFile + u'\r' + u'\r' +
                           QCoreApplication::translate("Mirovell", "Download Fehlgeschlagen / Download failed");
            if (got.error == download::Error::Signature)
                text += u'\r' + QCoreApplication::translate("Mirovell",
                                                            "Die Datei trägt keine gültige Signatur des Herstellers "
                                                            "und wurde verworfen. Das Programm bleibt unverändert.");
            else if (got.error == download::Error::Redirect)
                text += u'\r' + QCoreApplication::translate(
                                    "Mirovell", "Der Server leitete an eine andere, nicht erlaubte Adresse weiter.");
            dialogs_.message(text, QString(), MessageIcon::None, MessageButtons::Ok);
            return false;
        }
        makeExecutable(updaterFile);
    }

    if (ended_)
        return false;  // the program was ended during the download: nothing new starts
    // The arguments go to the updater as they are; a blank in a path cannot split them.
    // The process id lets the updater wait until this program has really ended.
    const qint64 updater =
        processes_.start(updaterFile,
                         {QStringLiteral("[URL]") + programAddress, QStringLiteral("[PATH]") + programFile,
                          QStringLiteral("[PID]") + QString::number(QCoreApplication::applicationPid())},
                         WindowStyle::NormalFocus);
    // one that does not start (no execute right, not a program) replaces nothing: the program stays
    if (updater == 0)
        dialogs_.message(updaterFile + u'\r' + u'\r' +
                             QCoreApplication::translate("Mirovell", "Der Updater ließ sich nicht starten."),
                         QString(), MessageIcon::None, MessageButtons::Ok);
    return updater != 0;
}
