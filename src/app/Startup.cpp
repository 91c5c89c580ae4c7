// Start-up and shut-down.
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

    TargetText.setText(
        settings_.read(Settings::kLast, QStringLiteral("LastConnection"), platformdefaults::kDefaultRemoteHost));
    VlcPath.setText(settings_.read(Settings::kLast, QStringLiteral("vlc.exe"), platformdefaults::kDefaultVlcPath));
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

    JetztAbspielenFrame.setRect(SendenFrame.rect());
    SendenFrame.hide();
    JetztAbspielenFrame.show();
    SendenTabButton.setEnabled(true);
    EmpfangenTabButton.setEnabled(true);
    FilmList.setEnabled(true);
    ProtokollCombo.hide();
    Label1.hide();
    Command2.hide();
    LokalStarteBtn.setEnabled(true);
}

void MainWindow::LoadProtocolList()
{
    ProtokollCombo.setItems(settings_.LoadProtocolList());
    ProtokollCombo.setText(
        settings_.read(Settings::kLast, QStringLiteral("Protocol"), QStringLiteral("UDP")).toUpper());
}

void MainWindow::LoadPlaylistFile(QString& name, bool clearFirst)
{
    const bool gaveEmpty = name.isEmpty();
    if (gaveEmpty)
        name = settings_.TempPlaylistPath();
    CheckMinimize.setValue(
        settings_.read(Settings::kLast, QStringLiteral("MinimizeOnStart"), QStringLiteral("1")) == u"0" ? 0 : 1);
    const QString autoSave = settings_.read(Settings::kLast, QStringLiteral("AutoSavePlaylist"), QStringLiteral("1"));
    if (autoSave == u"0" && gaveEmpty) {
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
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const ini::KeyValues values{{QStringLiteral("LastConnection"), TargetText.text()},
                                {QStringLiteral("Protocol"), ProtokollCombo.text()},
                                {QStringLiteral("vlc.exe"), VlcPath.text()},
                                {QStringLiteral("AutoSavePlaylist"), flag(keepList)},
                                {QStringLiteral("MinimizeOnStart"), flag(CheckMinimize.value() == 1)},
                                {QStringLiteral("SendToSeveral"), flag(MultiCastCheck.value() == 1)},
                                {QStringLiteral("PickUp"), flag(MulitCastCheck.value() == 1)},
                                {QStringLiteral("PickUpFrom"), TargetTextClient.text()}};
    // The next start deletes the kept list when AutoSavePlaylist is 0. So the flag never reads 0
    // while a list worth keeping is on disk: it turns 1 before the list is written, and 0 only
    // after the list is gone. Cut off between the two steps, the next start finds the old list or
    // none, as the flag says, and never deletes a list that was saved whole.
    if (keepList) {
        settings_.write(Settings::kLast, values);
        playlist_.WritePlainPlaylist(settings_.TempPlaylistPath());
    } else {
        textfile::removeFile(settings_.TempPlaylistPath());
        settings_.write(Settings::kLast, values);
    }
    sending_.close();
    receiving_.close();
    leaveTheLan();
}

// The choices of the last run; the caption of the start button stays as designed until a click.
void MainWindow::restoreStreamChoices()
{
    const bool several = settings_.read(Settings::kLast, QStringLiteral("SendToSeveral"), QStringLiteral("0")) == u"1";
    SendenUniCastCheck.setValue(several ? 0 : 1);
    MultiCastCheck.setValue(several ? 1 : 0);
    applySendChoice();
    const bool pickUp = settings_.read(Settings::kLast, QStringLiteral("PickUp"), QStringLiteral("0")) == u"1";
    UniCastCheck.setValue(pickUp ? 0 : 1);
    MulitCastCheck.setValue(pickUp ? 1 : 0);
    TargetTextClient.setEnabled(pickUp);
    TargetTextClient.setText(
        settings_.read(Settings::kLast, QStringLiteral("PickUpFrom"), platformdefaults::kDefaultRemoteHost));
}
