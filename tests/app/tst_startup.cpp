#include "Doubles.h"
#include "app/Ini.h"
#include "platform/Codec.h"

#include <QDir>
#include <QTest>

namespace {

QString setting(const TestWindow& w, const char* section, const char* key)
{
    return ini::ReadIniValue(QLatin1String(section), QLatin1String(key), w.folderPath + QStringLiteral("mirovell.ini"),
                             QStringLiteral("<none>"), false);
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void firstStart();
    void modes_data();
    void modes();
    void vlcPathRow();
    void protocolList_data();
    void protocolList();
    void exitAndRestart_data();
    void exitAndRestart();
    void commandLine_data();
    void commandLine();
    void badSettingsFile_data();
    void badSettingsFile();
    void unreadablePlaylist();
    void settingsFolder_data();
    void settingsFolder();
};

void StartupTest::firstStart()
{
    TestWindow w;
    w->Form_Load();
    QCOMPARE(w->Form.text(), QStringLiteral("VLC- Drag&Drop - Mirovell   V. 0.5"));
    QCOMPARE(w->Label9.text(), QStringLiteral("13:14:15"));
    const QByteArray ini = readAll(w.path(QStringLiteral("mirovell.ini")));
    QVERIFY(ini.startsWith("[LastSettings]\r\n\r\n\r\n[Settings]\r\n"));
    QCOMPARE(setting(w, "Settings", "Protocol1"), QStringLiteral("UDP"));
    QVERIFY(ini.contains("Protocol2=\r\n") && ini.contains("Protocol3=\r\n"));
    QCOMPARE(w->AutoSaveCheck.value(), 1);
    QCOMPARE(w->CheckMinimize.value(), 1);
    QCOMPARE(w->FilmList.count(), 0);
    QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: 0"));
    QCOMPARE(w->ProtokollCombo.text(), QStringLiteral("UDP"));
    // start state: local panel on the send panel's place, no start button, no tab disabled
    QVERIFY(w->JetztAbspielenFrame.visible() && !w->SendenFrame.visible() && !w->EmpfangenFrame.visible());
    QCOMPARE(w->JetztAbspielenFrame.rect(), w->SendenFrame.rect());
    QVERIFY(!w->Command2.visible());
    QVERIFY(w->LokalStarteBtn.enabled() && w->SendenTabButton.enabled() && w->EmpfangenTabButton.enabled());
    QCOMPARE(w->LokalStarteBtn.pressedPicture(), w->LokalStarteBtn.disabledPicture());
    QVERIFY(w->ConnectStatus.text().isEmpty() && w->ConnectStatusServer.text().isEmpty());
    QVERIFY(!w->ServerSendTimer.enabled());
}

void StartupTest::modes_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("disabledTab");
    QTest::addColumn<bool>("filmList");
    QTest::addColumn<bool>("remoteList");
    QTest::addColumn<bool>("timer");
    QTest::newRow("local") << QStringList{"LokalStarteBtn"} << "JetztAbspielenFrame"
                           << "LokalStarteBtn" << true << false << false;
    QTest::newRow("send") << QStringList{"SendenTabButton"} << "SendenFrame"
                          << "SendenTabButton" << true << false << true;
    QTest::newRow("receive") << QStringList{"EmpfangenTabButton"} << "EmpfangenFrame"
                             << "EmpfangenTabButton" << false << true << true;
    QTest::newRow("receive, then send") << QStringList{"EmpfangenTabButton", "SendenTabButton"} << "SendenFrame"
                                        << "SendenTabButton" << true << false << true;
    QTest::newRow("send, then local") << QStringList{"SendenTabButton", "LokalStarteBtn"} << "JetztAbspielenFrame"
                                      << "LokalStarteBtn" << true << false << false;
}

void StartupTest::modes()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, panel);
    QFETCH(QString, disabledTab);
    QFETCH(bool, filmList);
    QFETCH(bool, remoteList);
    QFETCH(bool, timer);
    TestWindow w;
    w->Form_Load();
    for (const QString& tab : clicks)
        w->control(tab)->fire(ControlEvent::Click);
    for (const char* p : {"JetztAbspielenFrame", "SendenFrame", "EmpfangenFrame"})
        QCOMPARE(w->control(QLatin1String(p))->visible(), panel == QLatin1String(p));
    QCOMPARE(w->control(panel)->rect(), w->SendenFrame.rect());
    for (const char* t : {"LokalStarteBtn", "SendenTabButton", "EmpfangenTabButton"})
        QCOMPARE(w->control(QLatin1String(t))->enabled(), disabledTab != QLatin1String(t));
    QCOMPARE(w->FilmList.enabled(), filmList);
    QCOMPARE(w->FilmRemoteList.visible(), remoteList);
    QCOMPARE(w->ServerSendTimer.enabled(), timer);
    for (Control* never :
         {&w->ProtokollCombo, &w->Label1, &w->SendenUniCastCheck, &w->MultiCastCheck, &w->UniCastCheck,
          &w->MulitCastCheck, &w->TargetTextClient, &w->SErverBtnTest, &w->ClientBtnTest, &w->ButtonServerSenden})
        QVERIFY2(!never->visible(), qPrintable(never->name()));
    if (panel == u"JetztAbspielenFrame") {
        QVERIFY(w->Command2.visible());
        QCOMPARE(w->Label8.rect().left, 3255);
        QCOMPARE(w->Picture1.rect().left, 2640);
    }
}

void StartupTest::vlcPathRow()
{
    TestWindow w;
    writeFile(w.path(QStringLiteral("mirovell.ini")), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
    w->Form_Load();
    // no VLC at the stored path nor beside the program: the row was toggled closed and the field marked red
    QCOMPARE(w->Label2.text(), QStringLiteral("Vlc >"));
    QVERIFY(!w->VlcPath.visible() && !w->VLC_Browse.visible() && !w->Label4.visible());
    QCOMPARE(w->VlcPath.foreColor(), BgrColor(0x0000FF));
    w->Label2.fire(ControlEvent::Click);
    QVERIFY(w->VlcPath.visible() && w->VLC_Browse.visible() && w->Label4.visible());
    QCOMPARE(w->Label2.text(), QStringLiteral("< Vlc"));
    QCOMPARE(w->VlcPath.selStart(), 0);
    QCOMPARE(w->VlcPath.selLength(), int(w->VlcPath.text().size()));
    w->Label2.fire(ControlEvent::Click);
    QVERIFY(!w->VlcPath.visible());
    QCOMPARE(w->Label2.text(), QStringLiteral("Vlc >"));

    // a vlc beside the program is found and the row stays closed
    TestWindow beside;
    writeFile(beside.path(QStringLiteral("vlc")), "#!/bin/sh\n");
    writeFile(beside.path(QStringLiteral("mirovell.ini")), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
    beside->Form_Load();
    QCOMPARE(beside->VlcPath.text(), beside.path(QStringLiteral("vlc")));
    QVERIFY(!beside->VlcPath.visible());
    QCOMPARE(beside->VlcPath.foreColor(), kDefaultColor);
}

void StartupTest::protocolList_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty Protocol1 becomes UDP")
        << QByteArray("[Settings]\r\nProtocol1=\r\n") << QStringList{"UDP"} << "UDP";
    QTest::newRow("Protocol5 without Protocol4")
        << QByteArray(
               "[Settings]\r\nProtocol1=rtp\r\nProtocol2=Http\r\nProtocol5=mmsh\r\n[LastSettings]\r\nProtocol=rtp\r\n")
        << QStringList{"rtp", "Http", "mmsh"} << "RTP";
}

void StartupTest::protocolList()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, items);
    QFETCH(QString, text);
    TestWindow w;
    writeFile(w.path(QStringLiteral("mirovell.ini")), settings);
    w->Form_Load();
    QCOMPARE(w->ProtokollCombo.items(), items);
    QCOMPARE(w->ProtokollCombo.text(), text);
    w->ExitBtn_Click();
    QCOMPARE(setting(w, "LastSettings", "Protocol"), text);
}

void StartupTest::exitAndRestart_data()
{
    QTest::addColumn<bool>("autoSave");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("kept");
    const QStringList three{"/m/Folge #3.avi", "  /m/leading blanks.mp3", "/m/Lied für dich.ogg"};
    QTest::newRow("kept") << true << three << true;
    QTest::newRow("box unchecked") << false << three << false;
    QTest::newRow("checked but empty") << true << QStringList{} << false;
}

void StartupTest::exitAndRestart()
{
    QFETCH(bool, autoSave);
    QFETCH(QStringList, entries);
    QFETCH(bool, kept);
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems(entries);
    w->AutoSaveCheck.setValue(autoSave ? 1 : 0);
    w->TargetText.setText(QStringLiteral("10.0.0.7"));
    w->CheckMinimize.setValue(0);
    writeFile(w.kept(), "#EXTM3U\r\n/old.avi\r\n");
    w->ExitBtn_Click();
    QCOMPARE(w.host.quits, 1);
    QCOMPARE(setting(w, "LastSettings", "AutoSavePlaylist"), kept ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(QFile::exists(w.kept()), kept);
    QCOMPARE(w->ConnectStatus.text(), QStringLiteral("Closed"));

    w.restart();
    w->Form_Load();
    QCOMPARE(w->FilmList.items(), kept ? entries : QStringList{});
    QCOMPARE(w->AutoSaveCheck.value(), kept ? 1 : 0);
    QCOMPARE(w->CheckMinimize.value(), 0);
    QCOMPARE(w->TargetText.text(), QStringLiteral("10.0.0.7"));
    QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: %1").arg(w->FilmList.count()));
}

void StartupTest::commandLine_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("quoted, with blanks") << "  \"%1/my list.m3u\" " << QStringList{"/a/one.avi", "/a/two.avi"};
    QTest::newRow("unquoted") << "%1/my list.m3u" << QStringList{"/a/one.avi", "/a/two.avi"};
    QTest::newRow("a folder") << "%1" << QStringList{"/kept.avi"};
    QTest::newRow("missing file") << "%1/nothing.m3u" << QStringList{"/kept.avi"};
    QTest::newRow("lone quote") << "\"" << QStringList{"/kept.avi"};
}

void StartupTest::commandLine()
{
    QFETCH(QString, argument);
    QFETCH(QStringList, expected);
    TestWindow w;
    // LF line endings and an M3U header: written on Linux
    writeFile(w.path(QStringLiteral("my list.m3u")), "#EXTM3U\n#EXTINF:1,one\n/a/one.avi\n\n/a/two.avi\n");
    writeFile(w.kept(), "#EXTM3U\r\n/kept.avi\r\n");
    writeFile(w.path(QStringLiteral("mirovell.ini")), "[LastSettings]\r\nAutoSavePlaylist=0\r\n");
    w.restart(argument.contains(u'%') ? argument.arg(w.folderPath.chopped(1)) : argument);
    w->Form_Load();
    if (expected == QStringList{QStringLiteral("/kept.avi")}) {
        // AutoSavePlaylist "0" without a start file: the kept list is dropped
        QCOMPARE(w->FilmList.count(), 0);
        QVERIFY(!QFile::exists(w.kept()));
        QCOMPARE(w->AutoSaveCheck.value(), 0);
    } else {
        QCOMPARE(w->FilmList.items(), expected);
        QCOMPARE(w->AutoSaveCheck.value(), 1);
        QVERIFY(QFile::exists(w.kept()));
    }
}

void StartupTest::badSettingsFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray garbage;
    for (int i = 0; i < 20000; ++i)
        garbage.append(char((i * 131 + 7) & 0xFF));
    QTest::newRow("binary garbage") << garbage;
    QTest::newRow("no sections") << QByteArray("hello\nworld\n");
    QTest::newRow("100,000-character lines")
        << QByteArray(100000, 'x') + "\r\n[LastSettings]\r\nvlc.exe=" + QByteArray(100000, 'v');
}

void StartupTest::badSettingsFile()
{
    QFETCH(QByteArray, content);
    TestWindow w;
    writeFile(w.path(QStringLiteral("mirovell.ini")), content);
    w->Form_Load();
    QCOMPARE(w->ProtokollCombo.items(), QStringList{QStringLiteral("UDP")});
    QCOMPARE(w->AutoSaveCheck.value(), 1);
    w->FilmList.addItem(QStringLiteral("/x.avi"));
    w->ExitBtn_Click();
    const QByteArray after = readAll(w.path(QStringLiteral("mirovell.ini")));
    for (QByteArrayView line : codec::splitLines(content))
        if (!line.startsWith("vlc.exe="))
            QVERIFY(after.contains(line));
    w.restart();
    w->Form_Load();
    QCOMPARE(w->FilmList.items(), QStringList{QStringLiteral("/x.avi")});
}

void StartupTest::unreadablePlaylist()
{
    TestWindow w;
    // a folder in place of the kept list, and a binary file as the start file
    QVERIFY(QDir().mkpath(w.kept()));
    w->Form_Load();
    QCOMPARE(w->FilmList.count(), 0);
    QByteArray binary(200000, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((i * 2654435761u) >> 24);
    writeFile(w.path(QStringLiteral("bin.m3u")), binary);
    w.restart(w.path(QStringLiteral("bin.m3u")));
    w->Form_Load();
    QVERIFY(w->FilmList.count() <= Control::kMaxItems);
    w->ExitBtn_Click();
    QVERIFY(QFileInfo(w.kept()).isDir());
}

void StartupTest::settingsFolder_data()
{
    QTest::addColumn<bool>("installed");
    QTest::newRow("copy in a folder of its own") << false;
    QTest::newRow("installed copy") << true;
}

void StartupTest::settingsFolder()
{
    QFETCH(bool, installed);
    QTemporaryDir home, program;
    const QString config = home.path() + QStringLiteral("/config/Mirovell");
    const QString kept = (installed ? config : program.path()) + QStringLiteral("/mirovell");
    const QStringList entries{QStringLiteral("/m/a.avi")};
    for (const QStringList& add : {entries, QStringList()}) {  // the second start finds what the first one kept
        TestWindow w({.folder = program.path(), .installed = installed, .configFolder = config});
        w->Form_Load();
        QCOMPARE(w->settings().SettingsFilePath(), kept + QStringLiteral(".ini"));
        QCOMPARE(w->settings().TempPlaylistPath(), kept + QStringLiteral("_TmpPlst.m3u"));
        w->FilmList.addItems(add);
        QCOMPARE(w->FilmList.items(), entries);
        w->ExitBtn_Click();
    }
    // nothing of an installed copy beside the program, and no settings in the user's folder for the other
    QCOMPARE(QDir(program.path()).isEmpty(), installed);
    QCOMPARE(QFileInfo::exists(config), installed);
}

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
