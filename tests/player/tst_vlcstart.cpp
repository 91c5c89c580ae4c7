#include "Doubles.h"
#include "platform/qt/QtServices.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The command lines given to the player, checked by starting a stand-in that records its arguments.
class VlcStartTest : public QObject {
    Q_OBJECT
private slots:
    void startsThePlayer_data();
    void startsThePlayer();
    void locationCheck_data();
    void locationCheck();
    void pathColours_data();
    void pathColours();
};

namespace {

// A program standing in for VLC: it writes one argument a line beside itself.
QString makeFakePlayer(const QString& folder)
{
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/vlc");
    writeFile(path, "#!/bin/sh\nout=\"$(dirname \"$0\")/args.txt\"\n"
                    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return path;
}

}  // namespace

void VlcStartTest::startsThePlayer_data()
{
    QTest::addColumn<QString>("vlcFolder");       // below the test folder
    QTest::addColumn<QString>("programFolder");   // where the temporary play list lives
    QTest::addColumn<QString>("pathText");        // %1 = the player's path
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<bool>("receive");
    QTest::addColumn<QString>("argument");        // what the player gets; %1 = the temporary play list

    QTest::newRow("local") << "bin" << "prog" << "%1" << "UDP" << false << "%1";
    QTest::newRow("local, blanks in both paths") << "my vlc" << "my prog" << "%1" << "UDP" << false << "%1";
    QTest::newRow("local, quoted path with blanks around")
        << "my vlc" << "prog" << "  \"%1\" " << "UDP" << false << "%1";
    QTest::newRow("receive") << "bin" << "prog" << "%1" << "UDP" << true << "udp://@";
    QTest::newRow("receive, blanks, protocol in capitals with blanks")
        << "my vlc" << "prog" << "%1" << " RTP " << true << "rtp://@";
    QTest::newRow("receive, no protocol") << "bin" << "prog" << "%1" << "" << true << "://@";
}

void VlcStartTest::startsThePlayer()
{
    QFETCH(QString, vlcFolder);
    QFETCH(QString, programFolder);
    QFETCH(QString, pathText);
    QFETCH(QString, protocol);
    QFETCH(bool, receive);
    QFETCH(QString, argument);

    QTemporaryDir dir;
    const QString player = makeFakePlayer(dir.filePath(vlcFolder));
    QtProcessLauncher launcher;
    ScriptedDialogs dialogs;
    RecordingWindowHost host;
    MainWindowServices services;
    services.processes = &launcher;
    services.dialogs = &dialogs;
    services.window = &host;
    services.environment.programFolder = dir.filePath(programFolder) + u'/';
    services.environment.exeBaseName = QStringLiteral("mirovell");
    QVERIFY(QDir().mkpath(services.environment.programFolder));
    MainWindow w(services);
    writeFile(services.environment.programFolder + QStringLiteral("mirovell.ini"),
              "[LastSettings]\r\nMinimizeOnStart=1\r\nAutoSavePlaylist=0\r\n");
    w.Form_Load();
    w.VlcPath.setText(pathText.arg(player));
    w.ProtokollCombo.setText(protocol);
    w.FilmList.addItems({QStringLiteral("/m/a film.mkv"), QStringLiteral("/m/b.avi")});

    if (receive)
        w.StartClientBtn.fire(ControlEvent::Click);
    else
        w.Command2.fire(ControlEvent::Click);

    const QString record = QFileInfo(player).path() + QStringLiteral("/args.txt");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
    QCOMPARE(QString::fromUtf8(readAll(record)), (receive ? argument : argument.arg(w.TempPlaylistPath)) + u'\n');
    QVERIFY(host.minimized);
    QVERIFY(dialogs.messages.empty());
    if (!receive)
        QCOMPARE(readAll(w.TempPlaylistPath), QByteArray("#EXTM3U\r\n/m/a film.mkv\r\n/m/b.avi\r\n"));
    else
        QVERIFY(!QFile::exists(w.TempPlaylistPath));
}

void VlcStartTest::locationCheck_data()
{
    QTest::addColumn<QString>("pathText");   // %1 = test folder (no trailing '/'); it holds the file "vlc"
    QTest::addColumn<QString>("answer");     // the file dialog's answer; "-" = not asked
    QTest::addColumn<QString>("startedWith");
    QTest::addColumn<QString>("dialogStart");   // folder the dialog opens in

    QTest::newRow("found") << "%1/vlc" << "-" << "%1/vlc" << "";
    QTest::newRow("quoted, blanks around") << " \"%1/vlc\"" << "-" << "%1/vlc" << "";
    QTest::newRow("missing, chosen") << "/nowhere/vlc" << "%1/vlc" << "%1/vlc" << "/nowhere/";
    QTest::newRow("missing, cancelled") << "/nowhere/vlc" << "" << "/nowhere/vlc" << "/nowhere/";
    QTest::newRow("bare name is a cancel") << "/nowhere/vlc" << "vlc" << "/nowhere/vlc" << "/nowhere/";
    QTest::newRow("folder with files passes") << "%1" << "-" << "%1" << "";
    QTest::newRow("empty folder") << "%1/empty" << "%1/vlc" << "%1/vlc" << "%1/empty/";
    QTest::newRow("empty, cancelled") << "" << "" << "" << "";
    QTest::newRow("only quotes, cancelled") << "\"\"" << "" << "" << "";
}

void VlcStartTest::locationCheck()
{
    QFETCH(QString, pathText);
    QFETCH(QString, answer);
    QFETCH(QString, startedWith);
    QFETCH(QString, dialogStart);
    TestWindow w;
    const QString root = w.folderPath.chopped(1);
    writeFile(w.path(QStringLiteral("vlc")), "#!/bin/sh\n");
    QDir().mkpath(w.path(QStringLiteral("empty")));
    w->InitSettingsFile();
    w->VlcPath.setText(pathText.arg(root));
    if (answer != u"-")
        w.dialogs.answerOpenFile(answer.arg(root));

    w->Command2_Click();

    if (answer == u"-") {
        QVERIFY(w.dialogs.messages.empty());
    } else {
        QCOMPARE(w.dialogs.messages.size(), size_t(1));
        QCOMPARE(w.dialogs.messages[0].title, QStringLiteral("VLC.exe nicht gefunden"));
        QCOMPARE(w.dialogs.messages[0].text, QStringLiteral("VLC.exe konnte in diesem Pfad nicht gefunden werden: \r'") +
                                                 pathText.arg(root) + QStringLiteral("'\r\rBitte den Pfad auswählen"));
        QCOMPARE(w.dialogs.openFileCalls, QStringList{QStringLiteral("VLC.EXE wurde nicht gefunden|") +
                                                      dialogStart.arg(root) + QStringLiteral("|vlc|vlc*|vlc*|Alle Dateien|*.*")});
    }
    if (startedWith.isEmpty()) {
        QVERIFY(w.launcher.starts.empty());   // nothing to start
        return;
    }
    QCOMPARE(w.launcher.starts.size(), size_t(1));
    QCOMPARE(w.launcher.starts[0].program, startedWith.arg(root));
    QCOMPARE(w.launcher.starts[0].style, WindowStyle::NormalFocus);
}

void VlcStartTest::pathColours_data()
{
    QTest::addColumn<QString>("pathText");
    QTest::addColumn<qint64>("fore");
    QTest::newRow("file") << "%1/vlc" << qint64(0x008000);
    QTest::newRow("quoted file") << "\"%1/vlc\"" << qint64(0x008000);
    QTest::newRow("mistyped") << "%1/vlcc" << qint64(0x0000FF);
    QTest::newRow("folder") << "%1" << qint64(0x0000FF);
}

void VlcStartTest::pathColours()
{
    QFETCH(QString, pathText);
    QFETCH(qint64, fore);
    TestWindow w;
    writeFile(w.path(QStringLiteral("vlc")), "");
    w->VlcPath.setText(pathText.arg(w.folderPath.chopped(1)));
    w->VlcPath.fire(ControlEvent::GotFocus);
    QCOMPARE(w->VlcPath.foreColor(), kSystemWindowText);
    w->VlcPath.fire(ControlEvent::LostFocus);
    QCOMPARE(w->VlcPath.foreColor(), fore);
    QCOMPARE(w->VlcPath.backColor(), qint64(0xFFFFFF));
}

QTEST_GUILESS_MAIN(VlcStartTest)
#include "tst_vlcstart.moc"
