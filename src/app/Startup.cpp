// Start-up and shut-down.
#include "app/LastRun.h"
#include "app/MainWindow.h"
#include "desktop/PrevInstance.h"
#include "platform/IWindowHost.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"

#include <QFileInfo>

void MainWindow::Form_Load()
{
    for (Control* tab : {&LokalStarteBtn, &SendenTabButton, &EmpfangenTabButton})
        tab->setPictures(tab->picture(), tab->disabledPicture(), tab->disabledPicture());
    ConnectStatusServer.setText(QString());
    Form.setText(kStoredCaption + QStringLiteral("   V. ") + kProgramVersion);
    ConnectStatus.setText(QString());
    Timer1_Timer();

    QString startFile = paths::StripQuotes(environment_.commandLine);
    if (startFile.isEmpty() || !textfile::fileExists(startFile))
        startFile.clear();
    // the running instance has another current folder
    const QString handedOver = startFile.isEmpty() ? QString() : QFileInfo(startFile).absoluteFilePath();
    if (!desktop::ActivatePrevInstance(singleInstance_, QString(), QString(), handedOver)) {
        ended_ = true;
        window_.quit();
        return;
    }

    settings_.InitSettingsFile(environment_);
    const Settings::OneRead once(settings_);
    LoadProtocolList();
    pin_.SetToTop();

    TargetText.setText(lastrun::read(settings_, lastrun::kTarget));
    VlcPath.setText(lastrun::read(settings_, lastrun::kVlcPath));
    restoreStreamChoices();
    restoreAnswers();
    restoreWebRemote();
    if (!vlc_.vlcFound()) {
        if (const auto folder = paths::AddTrailingSeparator(environment_.programFolder)) {
            const QString beside = *folder + platformdefaults::kVlcExecutableName;
            if (textfile::fileExists(beside))
                VlcPath.setText(beside);
        }
    }

    LoadPlaylistFile(startFile, true);
    UpdateFileCount();

    if (vlc_.vlcFound()) {
        VlcPath.hide();
        VLC_Browse.hide();
        Label2.setText(tr("Vlc >"));
    } else {
        Label2_Click();
        VlcPath.setBackColor(kWhite);
        VlcPath.setForeColor(kRed);
    }

    Form.enter(Mode::Start);
}

void MainWindow::LoadProtocolList()
{
    ProtokollCombo.setItems(settings_.LoadProtocolList());
    ProtokollCombo.setText(lastrun::read(settings_, lastrun::kProtocol).toUpper());
}

void MainWindow::LoadPlaylistFile(QString& name, bool clearFirst)
{
    const bool gaveEmpty = name.isEmpty();
    if (gaveEmpty)
        name = settings_.TempPlaylistPath();
    CheckMinimize.setValue(lastrun::read(settings_, lastrun::kMinimize) ? 1 : 0);
    if (!lastrun::read(settings_, lastrun::kKeepList) && gaveEmpty) {
        textfile::removeFile(settings_.TempPlaylistPath());
        return;
    }
    AutoSaveCheck.setValue(1);
    if (textfile::fileExists(name))
        playlist_.loadFile(name, clearFirst, name == settings_.TempPlaylistPath());
}

void MainWindow::ExitBtn_Click()
{
    Form_QueryUnload();
    window_.quit();
}

// Every ending comes here: the exit button, the window closing, the system or the desktop session
// asking the program to end, an update. Only the first one saves.
void MainWindow::Form_QueryUnload()
{
    if (ended_)
        return;
    ended_ = true;
    vlc_.shutDown();
    update_.shutDown();
    SaveSettingsOnExit();
}

void MainWindow::SaveSettingsOnExit()
{
    const bool keepList = AutoSaveCheck.value() == 1 && playlist_.count() > 0;
    lastrun::Values values;
    values.set(lastrun::kTarget, TargetText.text())
        .set(lastrun::kProtocol, ProtokollCombo.text())
        .set(lastrun::kVlcPath, VlcPath.text())
        .set(lastrun::kKeepList, keepList)
        .set(lastrun::kMinimize, CheckMinimize.value() == 1)
        .set(lastrun::kSendToSeveral, MultiCastCheck.value() == 1)
        .set(lastrun::kPickUp, MulitCastCheck.value() == 1)
        .set(lastrun::kPickUpFrom, TargetTextClient.text());
    // The next start deletes the kept list when AutoSavePlaylist is 0. So the flag never reads 0
    // while a list worth keeping is on disk: it turns 1 before the list is written, and 0 only
    // after the list is gone. Cut off between the two steps, the next start finds the old list or
    // none, as the flag says, and never deletes a list that was saved whole.
    if (keepList) {
        values.writeTo(settings_);
        playlist_.WritePlainPlaylist(settings_.TempPlaylistPath());
    } else {
        textfile::removeFile(settings_.TempPlaylistPath());
        values.writeTo(settings_);
    }
    sending_.close();
    receiving_.close();
    leaveTheLan();
}

// The choices of the last run; the caption of the start button stays as designed until a click.
void MainWindow::restoreStreamChoices()
{
    const bool several = lastrun::read(settings_, lastrun::kSendToSeveral);
    SendenUniCastCheck.setValue(several ? 0 : 1);
    MultiCastCheck.setValue(several ? 1 : 0);
    applySendChoice();
    const bool pickUp = lastrun::read(settings_, lastrun::kPickUp);
    UniCastCheck.setValue(pickUp ? 0 : 1);
    MulitCastCheck.setValue(pickUp ? 1 : 0);
    TargetTextClient.setEnabled(pickUp);
    TargetTextClient.setText(lastrun::read(settings_, lastrun::kPickUpFrom));
}
