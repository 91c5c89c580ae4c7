// The settings file alone; the window's start-up, its exit button and where its target fields
// connect; and the built program ended from outside, as a service manager, a closed terminal or a
// crash ends it: strace counts its writes and kills it at each write of its shut-down in turn.
#include "Doubles.h"
#include "app/Ini.h"
#include "platform/Codec.h"

#include <QRegularExpression>

#include <csignal>

namespace {

const QString kIni = "mirovell.ini";
const QString kKept = "mirovell_TmpPlst.m3u";

// a settings file that start-up has nothing to add to
QByteArray settingsWith(const QByteArray& autoSave)
{
    return "[LastSettings]\r\nAutoSavePlaylist=" + autoSave +
           "\r\n[Settings]\r\nProtocol1=UDP\r\nProtocol2=\r\nProtocol3=\r\n";
}

const DiscoveredPeer kWohnzimmer{"wohnzimmer", "10.0.0.5", 22355, PeerRole::Receiver, "R wohnzimmer", {}};
// publishes the default receiver's address as its host name
const DiscoveredPeer kStranger{"192.168.0.2", "10.0.0.66", 22355, PeerRole::Receiver, "R stranger", {}};
const DiscoveredPeer kSender{"buero", "10.0.0.7", 22356, PeerRole::Sender, "S buero", {}};

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
            readAll(w.path(kIni))
                .startsWith("[LastSettings]\r\n\r\n\r\n[Settings]\r\nProtocol1=UDP\r\nProtocol2=\r\nProtocol3=\r\n"));
        writeFile(w.path(kIni), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
        w.restart();
        w->Form_Load();
        QVERIFY(w->AutoSaveCheck.value() == 1 && w->CheckMinimize.value() == 1);
        QCOMPARE(w->List_Count.text() + w->ProtokollCombo.text(), "Dateien: 0UDP");
        // start state: the local panel, no link (its start button and the link's timer: tst_window's tab walk)
        QVERIFY(w->JetztAbspielenFrame.visible() && !w->SendenFrame.visible() && !w->EmpfangenFrame.visible());
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

    // Protocol5 counts without Protocol4; the one picked last is shown and kept in capitals
    void protocolList()
    {
        TestWindow w;
        writeFile(w.path(kIni), "[Settings]\r\nProtocol1=rtp\r\nProtocol2=Http\r\nProtocol5=mmsh\r\n"
                                "[LastSettings]\r\nProtocol=rtp\r\n");
        w->Form_Load();
        QCOMPARE(w->ProtokollCombo.items(), (QStringList{"rtp", "Http", "mmsh"}));
        QCOMPARE(w->ProtokollCombo.text(), "RTP");
        w->ExitBtn_Click();
        QCOMPARE(ini::ReadIniValue("LastSettings", "Protocol", w.path(kIni), "<none>", false), "RTP");
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
        QCOMPARE(ini::ReadIniValue("LastSettings", "AutoSavePlaylist", w.path(kIni), "<none>", false),
                 kept ? "1" : "0");
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
        QTest::newRow("quoted, with blanks") << "  \"%1/my list.m3u\" " << two;  // unquoted: scripts/package-test.sh
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
        writeFile(w.path(kIni), "[LastSettings]\r\nAutoSavePlaylist=0\r\n");
        w.restart(argument.contains(u'%') ? argument.arg(w.folderPath.chopped(1)) : argument);
        w->Form_Load();
        QCOMPARE(w->FilmList.items(), expected);
        QVERIFY(w->AutoSaveCheck.value() == (expected.isEmpty() ? 0 : 1) &&
                QFile::exists(w.kept()) != expected.isEmpty());
    }

    // A file the program kept before reads as it did, and an exit that changed nothing leaves it
    // byte for byte.
    void storedFile()
    {
        const QByteArray stored = readAll(QStringLiteral(STORED_INI));
        TestWindow w;
        writeFile(w.path(kIni), stored);
        writeFile(w.kept(), "/a/one.avi\r\n");
        w->Form_Load();
        QCOMPARE(w->TargetText.text() + w->ProtokollCombo.text() + w->VlcPath.text() + w->TargetTextClient.text(),
                 "10.0.0.7HTTP/opt/vlc/vlcwohnzimmer");
        QVERIFY(w->CheckMinimize.value() == 0 && w->AutoSaveCheck.value() == 1);
        QVERIFY(w->MultiCastCheck.value() == 1 && w->MulitCastCheck.value() == 1);
        QCOMPARE(WindowProbe::sending(*w).allowedHosts(), QStringList({"10.0.0.8", "10.0.0.9"}));
        QCOMPARE(WindowProbe::sending(*w).deniedHosts(), QStringList{"10.0.0.5"});
        QCOMPARE(w->FilmList.items(), QStringList{"/a/one.avi"});
        w->ExitBtn_Click();
        QCOMPARE(readAll(w.path(kIni)), stored);
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
        writeFile(w.path(kIni), content);
        w->Form_Load();
        QCOMPARE(w->ProtokollCombo.items(), QStringList{"UDP"});
        w->FilmList.addItem("/x.avi");
        w->ExitBtn_Click();
        const QByteArray after = readAll(w.path(kIni));
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
        // a folder in place of the kept list (noise read as a list: tst_playlist's capAndBinary)
        QVERIFY(QDir().mkpath(w.kept()));
        w->Form_Load();
        QCOMPARE(w->FilmList.count(), 0);
        w->ExitBtn_Click();
        QVERIFY(QFileInfo(w.kept()).isDir());
    }

    // Signals during the shut-down a first signal began (every rename takes 300 ms): the program
    // writes what the exit button wrote, once.
    void signalsSaveOnce()
    {
        const QString folder = install();
        const QString list = folder + "meine listen/liste.m3u";
        QDir().mkpath(folder + "meine listen");
        writeFile(list, "#EXTM3U\r\n  /m/lead blanks.mp3\r\n  sub/relative.mp3\r\n  http://host/s\r\n/m/plain.avi\r\n");
        TestWindow exitButton({.commandLine = u'"' + list + u'"', .folder = folder});
        exitButton->Form_Load();
        exitButton->ExitBtn_Click();
        exitButton.window.reset();
        const QByteArray settings = readAll(folder + kIni);
        const QByteArray kept = readAll(folder + kKept);  // how the entries read: tst_playlist

        QVERIFY(start(folder, {}, {"-e", "inject=rename:delay_enter=300000"}));
        signal(SIGHUP);
        QTest::qWait(150);
        signal(SIGTERM);
        QVERIFY(endedBy(SIGINT));
        QCOMPARE(readAll(folder + kIni), settings);
        QCOMPARE(readAll(folder + kKept), kept);
        QCOMPARE(writes(folder), (QList<int>{0, 1, 1}));  // nothing at start-up, each file once
    }
    // The file manager starts the program again with a list: the running one takes it as a drop.
    void laterStartHandsOverList()
    {
        const QString folder = install();
        writeFile(folder + kIni, settingsWith("1"));
        writeFile(folder + "neue liste.m3u", "#EXTM3U\r\n/m/eins.avi\r\nzwei.avi\r\n");
        QVERIFY(start(folder, {}));
        QProcess later;
        later.setProcessEnvironment(process_.processEnvironment());
        later.setWorkingDirectory(folder);  // a relative name, as a shell gives it
        later.start(folder + "mirovell", {"neue liste.m3u"});
        QVERIFY(later.waitForFinished(20000) && later.exitStatus() == QProcess::NormalExit && later.exitCode() == 0);
        QTest::qWait(500);  // loaded after the request's event has returned
        QVERIFY(endedBy(SIGTERM));
        QCOMPARE(readAll(folder + kKept), "#EXTM3U\r\n/m/eins.avi\r\n" + QFile::encodeName(folder) + "zwei.avi\r\n");
    }
    void killedAtEachWrite_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("kept");  // the kept list before the run
        QTest::addColumn<bool>("withList");    // started with a list on the command line
        // the old order lost a list here: written whole, then the flag still said 0
        QTest::newRow("list kept, flag was 0") << settingsWith("0") << QByteArray() << true;
        QTest::newRow("list dropped, flag was 1") << settingsWith("1") << QByteArray("#EXTM3U\r\n") << false;
    }
    void killedAtEachWrite()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, kept);
        QFETCH(bool, withList);
        writeFile(dir_.filePath("liste.m3u"), "/m/eins.avi\r\n/m/zwei.avi\r\n");
        const QStringList args = withList ? QStringList{dir_.filePath("liste.m3u")} : QStringList{};
        const auto prepare = [&] {
            const QString folder = install();
            writeFile(folder + kIni, settings);
            if (!kept.isEmpty())
                writeFile(folder + kKept, kept);
            return folder;
        };

        // an undisturbed run gives the new files and the calls of the shut-down to kill at
        const QString first = prepare();
        QVERIFY(start(first, args, {"-q"}));  // traced, nothing injected
        QVERIFY(endedBy(SIGTERM));
        const QByteArray newSettings = readAll(first + kIni);
        const QByteArray newKept = readAll(first + kKept);
        QVERIFY(newSettings.contains(withList ? "AutoSavePlaylist=1" : "AutoSavePlaylist=0"));
        QCOMPARE(newKept, withList ? QByteArray("#EXTM3U\r\n/m/eins.avi\r\n/m/zwei.avi\r\n") : QByteArray());
        QStringList killPoints;  // the n-th call of its kind, counted over the whole run
        QMap<QString, int> calls;
        const QList<QStringList> t = trace();
        for (const QString& line : t[0] + t[1]) {
            const QString call = line.section(u'(', 0, 0);
            if (call == u"fsync" || call == u"rename" || call == u"unlink")
                ++calls[call];
            if (line.isEmpty())  // the signal
                killPoints.clear();
            else if (calls.contains(call) && !line.contains("/runtime/"))
                killPoints << QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(calls[call]);
        }
        QCOMPARE(killPoints.size(), withList ? 4 : 3);  // both files synced and renamed, or the list deleted

        for (const QString& point : killPoints) {
            const QString folder = prepare();
            QVERIFY(start(folder, args, {"-e", point}));
            signal(SIGTERM);
            QVERIFY(process_.waitForFinished(20000));
            QVERIFY2(process_.exitStatus() == QProcess::CrashExit, qPrintable(point));
            // old or new, never cut
            const QByteArray settingsNow = readAll(folder + kIni);
            const QByteArray keptNow = readAll(folder + kKept);
            QVERIFY2(settingsNow == settings || settingsNow == newSettings, qPrintable(point));
            QVERIFY2(keptNow == kept || keptNow == newKept, qPrintable(point));

            // the next start removes the cut-off copy and keeps a list that was whole (which names
            // count as such copies: tst_otherusers)
            QVERIFY(start(folder, {}));
            QTRY_VERIFY2_WITH_TIMEOUT(QDir(folder).entryList({"*.part-*"}, QDir::Files | QDir::Hidden).isEmpty(),
                                      qPrintable(point), 10000);  // start() returns before start-up is through
            QVERIFY(endedBy(SIGTERM));
            QVERIFY2(readAll(folder + kKept) == (keptNow.contains(".avi") ? keptNow : QByteArray()), qPrintable(point));
        }
    }
    // Where the target fields connect when the LAN offers names: a found address stands for a name only
    // when the user picked it from the offered ones, as a stranger may publish any host name, the typed
    // address among them (a typed address and a plain pick between real daemons: scripts/offered-receivers.sh).
    // Steps, one a word: "type:x" the user types x, "pick:x" picks x from the offered names, "set:x" the
    // program sets the text, "gone" the peers vanish, "back" they come back.
    void whereTheFieldConnects_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        // clang-format off
        QTest::newRow("typed name of a found receiver") << "TargetText" << "type:wohnzimmer" << "wohnzimmer";
        QTest::newRow("picked, the stranger's address as a name") << "TargetText" << "pick:192.168.0.2" << "10.0.0.66";
        QTest::newRow("picked, then edited") << "TargetText" << "pick:wohnzimmer type:wohnzimmer2" << "wohnzimmer2";
        QTest::newRow("picked, edited, typed back") << "TargetText" << "pick:wohnzimmer type:wohnzimme type:wohnzimmer" << "wohnzimmer";
        QTest::newRow("picked, then set by the program") << "TargetText" << "pick:wohnzimmer set:192.168.0.2" << "192.168.0.2";
        QTest::newRow("picked, then gone") << "TargetText" << "pick:wohnzimmer gone" << "wohnzimmer";
        QTest::newRow("picked, gone and back") << "TargetText" << "pick:wohnzimmer gone back" << "10.0.0.5";
        QTest::newRow("picked again after an edit") << "TargetText" << "pick:wohnzimmer type:x pick:wohnzimmer" << "10.0.0.5";
        QTest::newRow("sender typed") << "TargetTextClient" << "type:buero" << "buero";
        QTest::newRow("sender picked") << "TargetTextClient" << "pick:buero" << "10.0.0.7";
        // clang-format on
    }
    void whereTheFieldConnects()
    {
        TestWindow w;
        const QList<DiscoveredPeer> found{kWohnzimmer, kStranger, kSender};
        w.lan.show(found);
        Control& field = *w->control(row<QString>("field"));
        for (const QString& step : row<QString>("steps").split(u' ')) {
            const QString verb = step.section(u':', 0, 0), text = step.section(u':', 1);
            if (verb == "pick") {
                QVERIFY(field.items().contains(text));
                field.setListIndex(-1);
                field.setListIndex(int(field.items().indexOf(text)));
            }
            if (verb == "gone" || verb == "back")
                w.lan.show(verb == "gone" ? QList<DiscoveredPeer>{} : found);
            else
                field.setText(text);
            if (verb == "type" || verb == "pick")
                field.fire(ControlEvent::Change);
        }
        QTEST(WindowProbe::lanNames(*w).addressOf(field.text()), "expected");
        if (&field == &w->TargetText)  // the link and the stream go where the field says
            QTEST(WindowProbe::sending(*w).targetAddress(), "expected");
    }
    void cleanup()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QString install()
    {
        const QString folder = dir_.filePath(QStringLiteral("app%1/").arg(++installs_));
        QDir().mkpath(folder + "runtime");
        QFile::copy(QStringLiteral(MIROVELL_EXE), folder + "mirovell");
        return folder;
    }
    // Returns once the signal handlers are in place (before the single-instance socket appears)
    // and, traced, once start-up is through (its log has stopped growing).
    bool start(const QString& folder, const QStringList& args, const QStringList& strace = {})
    {
        const QString runtime = folder + "runtime";
        for (const QString& f : QDir(runtime).entryList(QDir::System | QDir::Files))
            QFile::remove(runtime + u'/' + f);  // a killed run leaves its socket behind
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(folder + "mirovell", QFile::ReadOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime);
        // LeakSanitizer cannot work under a tracer
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        process_.setProcessEnvironment(env);
        log_ = folder + "strace.log";
        QFile::remove(log_);
        const QStringList traceArgs{"-f", "-o", log_, "-e", "trace=openat,rename,unlink,fsync"};
        if (strace.isEmpty())
            process_.start(folder + "mirovell", args);
        else
            process_.start("strace", traceArgs + strace + QStringList{folder + "mirovell"} + args);
        qint64 lastSize = -1;
        for (int i = 0, quiet = 0; i < 800 && process_.waitForStarted(10000); ++i, QTest::qWait(25)) {
            pid_ = process_.processId();
            if (!strace.isEmpty()) {  // the program is strace's child
                const QByteArray children = readAll(QStringLiteral("/proc/%1/task/%1/children").arg(pid_)).trimmed();
                pid_ = children.split(' ').first().toLongLong();
            }
            quiet = QFileInfo(log_).size() == lastSize ? quiet + 1 : 0;
            lastSize = QFileInfo(log_).size();
            if (pid_ > 0 && !QDir(runtime).entryList({"*.socket"}, QDir::System).isEmpty() &&
                (strace.isEmpty() || quiet >= 20))
                return true;
        }
        return false;
    }
    void signal(int number) { ::kill(pid_t(pid_), number); }
    bool endedBy(int number)
    {
        signal(number);
        return process_.waitForFinished(20000) && process_.exitStatus() == QProcess::NormalExit &&
               process_.exitCode() == 0;
    }
    // The main thread's calls in strace's log: those before the ending signal, and from it on
    // (an empty line marks where it arrived, at whichever thread).
    QList<QStringList> trace() const
    {
        QList<QStringList> parts(2);
        const QRegularExpression ending("^\\d+ +--- SIG(TERM|HUP|INT) ");
        for (const QString& line : QString::fromUtf8(readAll(log_)).split(u'\n')) {
            if (ending.match(line).hasMatch())
                parts[1] << QString();
            if (line.section(u' ', 0, 0).toLongLong() == pid_)  // the pid is padded with blanks
                parts[parts[1].isEmpty() ? 0 : 1] << line.section(u' ', 1).trimmed();
        }
        return parts;
    }
    // Settings writes before the signal and after it, then writes of the kept list after it; a
    // write replaces the file by a rename or opens it for writing.
    QList<int> writes(const QString& folder) const
    {
        const auto count = [](const QStringList& calls, const QString& path) {
            return int(std::count_if(calls.begin(), calls.end(), [&path](const QString& c) {
                return (c.startsWith(u"rename") && c.contains(", \"" + path + u'"')) ||
                       (c.startsWith(u"openat") && c.contains(u'"' + path + u'"') && !c.contains(u"O_RDONLY"));
            }));
        };
        const QList<QStringList> t = trace();
        return {count(t[0], folder + kIni), count(t[1], folder + kIni), count(t[1], folder + kKept)};
    }

    int installs_ = 0;
    QProcess process_;
    qint64 pid_ = 0;
    QString log_;
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_app.moc"
