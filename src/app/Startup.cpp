#include "app/Ini.h"
#include "app/MainWindow.h"
#include "platform/AtomicSave.h"
#include "platform/TextFile.h"
#include "player/PathHelpers.h"
#include "playlist/PlaylistReader.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kLast = QStringLiteral("LastSettings");
const QString kSettings = QStringLiteral("Settings");

}  // namespace

QString MainWindow::readSetting(const QString& section, const QString& key, const QString& fallback) const
{
    return ini::ReadIniValue(section, key, SettingsFilePath, fallback, true);
}

void MainWindow::writeSetting(const QString& section, const QString& key, const QString& value) const
{
    ini::WriteIniValue(section, key, value, SettingsFilePath, true);
}

void MainWindow::InitSettingsFile()
{
    const ProgramEnvironment& env = services_.environment;
    QString folder = env.programFolder;
    // the system's copy, or one that cannot write beside itself, keeps its files in the user's folder
    if (!env.configFolder.isEmpty() && (env.installed || !QFileInfo(folder).isWritable())) {
        folder = env.configFolder;
        QDir().mkpath(folder);
    }
    if (!folder.isEmpty() && !folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += platformdefaults::kPathSeparator;
    TempPlaylistPath = folder + env.exeBaseName + QStringLiteral("_TmpPlst.m3u");
    SettingsFilePath = folder + env.exeBaseName + QStringLiteral(".ini");
    // copies left by saves that an earlier run did not finish; the real files are whole
    atomicsave::removeLeftovers(SettingsFilePath);
    atomicsave::removeLeftovers(TempPlaylistPath);
    if (!QFileInfo::exists(SettingsFilePath)) {
        textfile::writeLines(SettingsFilePath, {QStringLiteral("[LastSettings]"), QString(), QString(),
                                                QStringLiteral("[Settings]"), QString()});
    }
}

void MainWindow::LoadProtocolList()
{
    ProtokollCombo.clear();
    const QString dot = QStringLiteral(".");
    ini::KeyValues missing;  // written in one go, and only when there is something to add
    const QString p1 = readSetting(kSettings, QStringLiteral("Protocol1"), dot);
    if (p1 == dot) {
        missing.append({QStringLiteral("Protocol1"), QStringLiteral("UDP")});
        ProtokollCombo.addItem(QStringLiteral("UDP"));
    } else if (!p1.isEmpty()) {
        ProtokollCombo.addItem(p1);
    }
    for (const char* key : {"Protocol2", "Protocol3"}) {
        const QString v = readSetting(kSettings, QLatin1String(key), dot);
        if (v == dot) {
            // an empty entry is what would be written; a missing one or a "." is not
            if (ini::StoredIniValue(kSettings, QLatin1String(key), SettingsFilePath) != QString())
                missing.append({QLatin1String(key), QString()});
        } else if (!v.isEmpty()) {
            ProtokollCombo.addItem(v);
        }
    }
    for (int i = 4; i <= 9; ++i) {
        const QString v = readSetting(kSettings, QStringLiteral("Protocol%1").arg(i), QString());
        if (!v.isEmpty())
            ProtokollCombo.addItem(v);
    }
    if (!missing.isEmpty())
        ini::WriteIniValues(kSettings, missing, SettingsFilePath, true);
    ProtokollCombo.setText(readSetting(kLast, QStringLiteral("Protocol"), QStringLiteral("UDP")).toUpper());
}

void MainWindow::Form_Load()
{
    for (Control* tab : {&LokalStarteBtn, &SendenTabButton, &EmpfangenTabButton})
        tab->setPictures(tab->picture(), tab->disabledPicture(), tab->disabledPicture());
    ConnectStatusServer.setText(QString());
    Form.setText(kStoredCaption + QStringLiteral("   V. ") + kVersion);
    ConnectStatus.setText(QString());
    Timer1_Timer();

    if (services_.singleInstanceCheck && !services_.singleInstanceCheck()) {
        ended_ = true;
        if (services_.window)
            services_.window->quit();
        return;
    }

    InitSettingsFile();
    EntryCounter = 0;
    LineBreak = QStringLiteral("\r\n");
    LoadProtocolList();
    if (services_.switchOnTop)
        services_.switchOnTop();

    TargetText.setText(readSetting(kLast, QStringLiteral("LastConnection"), platformdefaults::kDefaultRemoteHost));
    VlcPath.setText(readSetting(kLast, QStringLiteral("vlc.exe"), platformdefaults::kDefaultVlcPath));
    if (!textfile::fileExists(paths::StripQuotes(VlcPath.text()))) {
        if (const auto folder = paths::AddTrailingSeparator(services_.environment.programFolder)) {
            const QString beside = *folder + platformdefaults::kVlcExecutableName;
            if (textfile::fileExists(beside))
                VlcPath.setText(beside);
        }
    }

    QString startFile = paths::StripQuotes(services_.environment.commandLine);
    if (startFile.isEmpty() || !textfile::fileExists(startFile))
        startFile.clear();
    LoadPlaylistFile(startFile, true);
    UpdateFileCount();

    if (textfile::fileExists(paths::StripQuotes(VlcPath.text()))) {
        VlcPath.hide();
        VLC_Browse.hide();
        Label2.setText(QStringLiteral("Vlc >"));
    } else {
        Label2_Click();
        VlcPath.setBackColor(0xFFFFFF);
        VlcPath.setForeColor(0x0000FF);
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

void MainWindow::LoadPlaylistFile(QString& name, bool clearFirst)
{
    const bool gaveEmpty = name.isEmpty();
    if (gaveEmpty)
        name = TempPlaylistPath;
    CheckMinimize.setValue(readSetting(kLast, QStringLiteral("MinimizeOnStart"), QStringLiteral("1")) == u"0" ? 0 : 1);
    const QString autoSave = readSetting(kLast, QStringLiteral("AutoSavePlaylist"), QStringLiteral("1"));
    if (autoSave == u"0" && gaveEmpty) {
        textfile::removeFile(TempPlaylistPath);
        return;
    }
    AutoSaveCheck.setValue(1);
    if (!textfile::fileExists(name))
        return;
    const int room = Control::kMaxItems - (clearFirst ? 0 : FilmList.count());
    // our own temporary list is read back line by line; any other list as its author meant it
    const playlist::ReadResult read =
        name == TempPlaylistPath ? playlist::readEntries(name, room) : playlist::readPlaylist(name, room);
    if (read.status != textfile::ReadStatus::Ok)
        return;  // unreadable: keep what the list holds
    if (clearFirst)
        FilmList.clear();
    FilmList.addItems(read.entries);
}

void MainWindow::ExitBtn_Click()
{
    Form_QueryUnload();
    emit ended();
    if (services_.window)
        services_.window->quit();
}

// Every ending comes here: the exit button, the window closing, the system or the desktop session
// asking the program to end, an update. Only the first one saves.
void MainWindow::Form_QueryUnload()
{
    if (ended_)
        return;
    ended_ = true;
    SaveSettingsOnExit();
}

void MainWindow::SaveSettingsOnExit()
{
    const bool keepList = AutoSaveCheck.value() == 1 && FilmList.count() > 0;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    const ini::KeyValues values{{QStringLiteral("LastConnection"), TargetText.text()},
                                {QStringLiteral("Protocol"), ProtokollCombo.text()},
                                {QStringLiteral("vlc.exe"), VlcPath.text()},
                                {QStringLiteral("AutoSavePlaylist"), flag(keepList)},
                                {QStringLiteral("MinimizeOnStart"), flag(CheckMinimize.value() == 1)}};
    // The next start deletes the kept list when AutoSavePlaylist is 0. So the flag never reads 0
    // while a list worth keeping is on disk: it turns 1 before the list is written, and 0 only
    // after the list is gone. Cut off between the two steps, the next start finds the old list or
    // none, as the flag says, and never deletes a list that was saved whole.
    if (keepList) {
        ini::WriteIniValues(kLast, values, SettingsFilePath, true);
        WritePlainPlaylist(TempPlaylistPath);
    } else {
        textfile::removeFile(TempPlaylistPath);
        ini::WriteIniValues(kLast, values, SettingsFilePath, true);
    }
    closeLinkSockets();
}

void MainWindow::closeLinkSockets()
{
    Winsock_ServerSend->close();
    Winsock_ServerListen->close();
    ConnectStatusServer.setText(QStringLiteral("Closed"));
    ConnectStatus.setText(QStringLiteral("Closed"));
    Winsock_ClientSend->close();
    Winsock_ClientListen->close();
}
