#include "Doubles.h"
#include "app/Ini.h"
#include "platform/Codec.h"

namespace {

QString setting(const TestWindow& w, const char* section, const char* key)
{
    return ini::ReadIniValue(QLatin1String(section), QLatin1String(key), w.path("mirovell.ini"), "<none>", false);
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QString file_ = dir_.filePath("settings.ini");

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray base = "[LastSettings]\r\nvlc.exe = /opt/vlc \r\nEmpty=\r\n[Settings]\r\nProtocol1=UDP\r\n";
        // clang-format off
        QTest::newRow("plain") << base << "Settings" << "Protocol1" << "UDP";
        QTest::newRow("case of section and key") << base << "lastsettings" << "VLC.EXE" << "/opt/vlc";
        QTest::newRow("empty value gives default") << base << "LastSettings" << "Empty" << "<default>";
        QTest::newRow("key of another section") << base << "Settings" << "vlc.exe" << "<default>";
        QTest::newRow("key before any section") << QByteArray("k=v\r\n[S]\r\n") << "S" << "k" << "<default>";
        QTest::newRow("first of two keys") << QByteArray("[S]\nk=1\nk=2\n") << "S" << "k" << "1";
        QTest::newRow("149 whole") << "[S]\r\nk=" + QByteArray(149, 'x') << "S" << "k" << QString(149, u'x');
        QTest::newRow("150 cut") << "[S]\r\nk=" + QByteArray(150, 'y') << "S" << "k" << QString(149, u'y');
        QTest::newRow("value with '='") << QByteArray("[S]\r\nk=a=b\r\n") << "S" << "k" << "a=b";
        QTest::newRow("windows-1252 value") << QByteArray("[S]\r\nk=M\xFCnchen\r\n") << "S" << "k" << "München";
        // clang-format on
    }
    void read()
    {
        writeFile(file_, row<QByteArray>("content"));
        QTEST(ini::ReadIniValue(row<QString>("section"), row<QString>("key"), file_, "<default>", true), "expected");
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        const QByteArray fresh = "[LastSettings]\r\n\r\n\r\n[Settings]\r\n\r\n";
        // clang-format off
        QTest::newRow("missing key, end of its section") << fresh << "LastSettings" << "Protocol" << "UDP" << QByteArray("[LastSettings]\r\nProtocol=UDP\r\n\r\n\r\n[Settings]\r\n\r\n");
        QTest::newRow("missing key, last section") << fresh << "Settings" << "Protocol1" << "UDP" << QByteArray("[LastSettings]\r\n\r\n\r\n[Settings]\r\nProtocol1=UDP\r\n\r\n");
        QTest::newRow("existing key in its line") << QByteArray("; note\r\n[s]\r\nA=1\r\nKEY=old\r\nB=2\r\n") << "S" << "key" << "new" << QByteArray("; note\r\n[s]\r\nA=1\r\nkey=new\r\nB=2\r\n");
        QTest::newRow("missing section at the end") << QByteArray("[A]\nx=1") << "B" << "y" << "2" << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
        QTest::newRow("empty file") << QByteArray() << "S" << "k" << "" << QByteArray("[S]\r\nk=\r\n");
        QTest::newRow("line break in value stays one line") << QByteArray("[S]\r\n") << "S" << "k" << "a\r\n[Evil]\nb" << QByteArray("[S]\r\nk=a  [Evil] b\r\n");
        QTest::newRow("garbage lines kept byte for byte") << QByteArray("\x01\xFF\xFE\x00junk\r\n[S]\r\n\x80\x81=\r\n", 20) << "S" << "k" << "v" << QByteArray("\x01\xFF\xFE\x00junk\r\n[S]\r\n\x80\x81=\r\nk=v\r\n", 25);
        // clang-format on
    }
    void write()
    {
        writeFile(file_, row<QByteArray>("before"));
        ini::WriteIniValue(row<QString>("section"), row<QString>("key"), row<QString>("value"), file_, true);
        QTEST(readAll(file_), "after");
    }

    void missingFile()
    {
        const QString file = dir_.filePath("missing.ini");
        const auto read = [](const QString& f, bool create) { return ini::ReadIniValue("S", "k", f, "d", create); };
        QCOMPARE(read(file, false), "d");
        QVERIFY(!QFile::exists(file));
        QCOMPARE(read(file, true), "d");
        QVERIFY(QFile::exists(file) && readAll(file).isEmpty());
        // a folder where the file should be: nothing read, nothing written, nothing lost
        const QString folder = dir_.filePath("folder.ini");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(read(folder, true), "d");
        ini::WriteIniValue("S", "k", "v", folder, true);
        QVERIFY(QFileInfo(folder).isDir());
    }

    void firstStart()
    {
        TestWindow w;
        w->Form_Load();
        QCOMPARE(w->Label9.text(), "13:14:15");
        QVERIFY(
            readAll(w.path("mirovell.ini"))
                .startsWith("[LastSettings]\r\n\r\n\r\n[Settings]\r\nProtocol1=UDP\r\nProtocol2=\r\nProtocol3=\r\n"));
        writeFile(w.path("mirovell.ini"), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
        w.restart();
        w->Form_Load();
        QVERIFY(w->AutoSaveCheck.value() == 1 && w->CheckMinimize.value() == 1);
        QCOMPARE(w->List_Count.text() + w->ProtokollCombo.text(), "Dateien: 0UDP");
        // start state: the local panel without its start button, no link (the tabs: tst_keys' tab walk)
        QVERIFY(w->JetztAbspielenFrame.visible() && !w->SendenFrame.visible() && !w->EmpfangenFrame.visible());
        QVERIFY(!w->Command2.visible() && !w->ServerSendTimer.enabled());
        QVERIFY(w->ConnectStatus.text().isEmpty() && w->ConnectStatusServer.text().isEmpty());
        // no VLC at the stored path nor beside the program: the path row is closed, the field marked red
        QVERIFY(!w->VlcPath.visible() && !w->VLC_Browse.visible() && !w->Label4.visible());
        QCOMPARE(w->Label2.text(), "Vlc >");
        QCOMPARE(w->VlcPath.foreColor(), BgrColor(0x0000FF));
        // a VLC beside the program is found
        writeFile(w.path("vlc"), "#!/bin/sh\n");
        w.restart();
        w->Form_Load();
        QCOMPARE(w->VlcPath.text(), w.path("vlc"));
        QCOMPARE(w->VlcPath.foreColor(), kDefaultColor);
    }

    void modes_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("panel");  // the one shown, and the tab that is disabled
        // clang-format off
        QTest::newRow("local") << QStringList{"LokalStarteBtn"} << "JetztAbspielenFrame";
        QTest::newRow("send") << QStringList{"SendenTabButton"} << "SendenFrame";
        QTest::newRow("receive") << QStringList{"EmpfangenTabButton"} << "EmpfangenFrame";
        QTest::newRow("receive, then send") << QStringList{"EmpfangenTabButton", "SendenTabButton"} << "SendenFrame";
        QTest::newRow("send, then local") << QStringList{"SendenTabButton", "LokalStarteBtn"} << "JetztAbspielenFrame";
        // clang-format on
    }
    void modes()
    {
        QFETCH(QString, panel);
        TestWindow w;
        w->Form_Load();
        for (const QString& tab : row<QStringList>("clicks"))
            w->control(tab)->fire(ControlEvent::Click);
        const QStringList panels{"JetztAbspielenFrame", "SendenFrame", "EmpfangenFrame"};
        const QStringList tabs{"LokalStarteBtn", "SendenTabButton", "EmpfangenTabButton"};
        for (qsizetype i = 0; i < 3; ++i) {
            QCOMPARE(w->control(panels[i])->visible(), panel == panels[i]);
            QCOMPARE(w->control(tabs[i])->enabled(), panel != panels[i]);
        }
        QCOMPARE(w->control(panel)->rect(), w->SendenFrame.rect());
        // the link's timer runs in both link modes; receiving shows the sender's list instead of ours
        QCOMPARE(w->ServerSendTimer.enabled(), panel != u"JetztAbspielenFrame");
        QVERIFY(w->FilmList.enabled() != w->FilmRemoteList.visible() &&
                w->FilmRemoteList.visible() == (panel == u"EmpfangenFrame"));
        for (Control* never :
             {&w->ProtokollCombo, &w->Label1, &w->SErverBtnTest, &w->ClientBtnTest, &w->ButtonServerSenden})
            QVERIFY2(!never->visible(), qPrintable(never->name()));
        // the options for one or several receivers, and the sender to pick up from, are on their panels
        for (Control* shown :
             {&w->SendenUniCastCheck, &w->MultiCastCheck, &w->UniCastCheck, &w->MulitCastCheck, &w->TargetTextClient})
            QVERIFY2(shown->visible(), qPrintable(shown->name()));
        if (panel == u"JetztAbspielenFrame")
            QVERIFY(w->Command2.visible() && w->Label8.rect().left == 3255 && w->Picture1.rect().left == 2640);
    }

    void protocolList_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("text");
        // clang-format off
        QTest::newRow("empty Protocol1 becomes UDP") << QByteArray("[Settings]\r\nProtocol1=\r\n") << QStringList{"UDP"} << "UDP";
        // clang-format on
        QTest::newRow("Protocol5 without Protocol4")
            << QByteArray("[Settings]\r\nProtocol1=rtp\r\nProtocol2=Http\r\nProtocol5=mmsh\r\n"
                          "[LastSettings]\r\nProtocol=rtp\r\n")
            << QStringList{"rtp", "Http", "mmsh"} << "RTP";
    }
    void protocolList()
    {
        QFETCH(QString, text);
        TestWindow w;
        writeFile(w.path("mirovell.ini"), row<QByteArray>("settings"));
        w->Form_Load();
        QTEST(w->ProtokollCombo.items(), "items");
        QCOMPARE(w->ProtokollCombo.text(), text);
        w->ExitBtn_Click();
        QCOMPARE(setting(w, "LastSettings", "Protocol"), text);
    }

    void exitAndRestart_data()
    {
        QTest::addColumn<bool>("autoSave");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<bool>("kept");
        const QStringList three{"/m/Folge #3.avi", "  /m/leading blanks.mp3", "/m/Lied für dich.ogg"};
        QTest::newRow("kept") << true << three << true;
        QTest::newRow("box unchecked") << false << three << false;
        QTest::newRow("checked but empty") << true << QStringList{} << false;
    }
    void exitAndRestart()
    {
        QFETCH(QStringList, entries);
        QFETCH(bool, kept);
        TestWindow w;
        w->Form_Load();
        w->FilmList.addItems(entries);
        w->AutoSaveCheck.setValue(row<bool>("autoSave") ? 1 : 0);
        w->TargetText.setText("10.0.0.7");
        w->CheckMinimize.setValue(0);
        for (Control* several : {&w->MultiCastCheck, &w->MulitCastCheck}) {
            several->setValue(1);
            several->fire(ControlEvent::Click);
        }
        w->TargetTextClient.setText("wohnzimmer");
        writeFile(w.kept(), "#EXTM3U\r\n/old.avi\r\n");
        w->ExitBtn_Click();
        QVERIFY(w.host.quits == 1 && w->ConnectStatus.text() == u"Closed");
        QCOMPARE(setting(w, "LastSettings", "AutoSavePlaylist"), kept ? "1" : "0");
        QCOMPARE(QFile::exists(w.kept()), kept);

        w.restart();
        w->Form_Load();
        QCOMPARE(w->FilmList.items(), kept ? entries : QStringList{});
        QVERIFY(w->AutoSaveCheck.value() == (kept ? 1 : 0) && w->CheckMinimize.value() == 0);
        QCOMPARE(w->TargetText.text(), "10.0.0.7");
        // serving several and picking up from a sender come back
        QVERIFY(w->MultiCastCheck.value() == 1 && w->SendenUniCastCheck.value() == 0 && !w->TargetText.enabled());
        QVERIFY(w->MulitCastCheck.value() == 1 && w->UniCastCheck.value() == 0 && w->TargetTextClient.enabled());
        QCOMPARE(w->TargetTextClient.text(), "wohnzimmer");
        QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: %1").arg(w->FilmList.count()));
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QStringList>("expected");  // empty: the kept list is dropped, AutoSavePlaylist being "0"
        const QStringList two{"/a/one.avi", "/a/two.avi"};
        QTest::newRow("quoted, with blanks") << "  \"%1/my list.m3u\" " << two;
        QTest::newRow("unquoted") << "%1/my list.m3u" << two;
        QTest::newRow("a folder") << "%1" << QStringList{};
        QTest::newRow("missing file") << "%1/nothing.m3u" << QStringList{};
        QTest::newRow("lone quote") << "\"" << QStringList{};
    }
    void commandLine()
    {
        QFETCH(QString, argument);
        QFETCH(QStringList, expected);
        TestWindow w;
        // LF line endings and an M3U header: written on Linux
        writeFile(w.path("my list.m3u"), "#EXTM3U\n#EXTINF:1,one\n/a/one.avi\n\n/a/two.avi\n");
        writeFile(w.kept(), "#EXTM3U\r\n/kept.avi\r\n");
        writeFile(w.path("mirovell.ini"), "[LastSettings]\r\nAutoSavePlaylist=0\r\n");
        w.restart(argument.contains(u'%') ? argument.arg(w.folderPath.chopped(1)) : argument);
        w->Form_Load();
        QCOMPARE(w->FilmList.items(), expected);
        QVERIFY(w->AutoSaveCheck.value() == (expected.isEmpty() ? 0 : 1) &&
                QFile::exists(w.kept()) != expected.isEmpty());
    }

    void badSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QByteArray garbage;
        for (int i = 0; i < 20000; ++i)
            garbage.append(char((i * 131 + 7) & 0xFF));
        // clang-format off
        QTest::newRow("binary garbage") << garbage;
        QTest::newRow("no sections") << QByteArray("hello\nworld\n");
        QTest::newRow("100,000-character lines") << QByteArray(100000, 'x') + "\r\n[LastSettings]\r\nvlc.exe=" + QByteArray(100000, 'v');
        // clang-format on
    }
    void badSettingsFile()
    {
        QFETCH(QByteArray, content);
        TestWindow w;
        writeFile(w.path("mirovell.ini"), content);
        w->Form_Load();
        QCOMPARE(w->ProtokollCombo.items(), QStringList{"UDP"});
        w->FilmList.addItem("/x.avi");
        w->ExitBtn_Click();
        const QByteArray after = readAll(w.path("mirovell.ini"));
        for (QByteArrayView line : codec::splitLines(content))
            if (!line.startsWith("vlc.exe="))
                QVERIFY(after.contains(line));
        w.restart();
        w->Form_Load();
        QCOMPARE(w->FilmList.items(), QStringList{"/x.avi"});
    }

    void unreadablePlaylist()
    {
        TestWindow w;
        // a folder in place of the kept list, and a binary file as the start file
        QVERIFY(QDir().mkpath(w.kept()));
        QByteArray binary(200000, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 2654435761u) >> 24);
        writeFile(w.path("bin.m3u"), binary);
        for (const QString& start : {QString(), w.path("bin.m3u")}) {
            w.restart(start);
            w->Form_Load();
            QCOMPARE(w->FilmList.count(), 0);
        }
        w->ExitBtn_Click();
        QVERIFY(QFileInfo(w.kept()).isDir());
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
