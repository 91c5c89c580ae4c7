#include "Doubles.h"
#include "platform/qt/QtProcessLauncher.h"
#include "player/RunFile.h"

// The desktop's associations come from a desktop of our own: mimeapps.list and desktop entries in
// temporary XDG folders, with the system's MIME types but none of its applications.
class RunFileTest : public QObject {
    Q_OBJECT
    QTemporaryDir xdg_;
    QString browser_, player_, editor_;
    const QByteArray mimeapps_ = "[Default Applications]\ntext/html=testbrowser.desktop\n"
                                 "video/x-matroska=missing.desktop;testplayer.desktop\n";

private slots:
    void initTestCase()
    {
        const QString root = xdg_.path();
        for (const char* sub : {"config", "data/applications", "sys", "my bin"})
            QVERIFY(QDir().mkpath(root + u'/' + QLatin1String(sub)));
        QVERIFY(QFile::link("/usr/share/mime", root + "/sys/mime"));
        // programs that write their arguments to args.txt, and their desktop entries
        for (auto [program, name, exec] : {std::tuple{&browser_, "browser", "--new-window %u"},
                                           {&player_, "player", "--play %F"},
                                           {&editor_, "editor", "--edit %F"}}) {
            *program = root + "/my bin/" + QLatin1String(name);
            writeProgram(*program, kArgsRecorder);
            writeFile(root + QStringLiteral("/data/applications/test%1.desktop").arg(QLatin1String(name)),
                      "[Desktop Entry]\nType=Application\nName=Test\nExec=\"" + program->toUtf8() + "\" " + exec +
                          '\n');
        }
        for (auto [name, value] : {std::pair{"XDG_CONFIG_HOME", "config"},
                                   {"XDG_CONFIG_DIRS", "config"},
                                   {"XDG_DATA_HOME", "data"},
                                   {"XDG_DATA_DIRS", "sys"}})
            qputenv(name, (root + u'/' + QLatin1String(value)).toUtf8());
        writeFile(root + "/config/mimeapps.list", mimeapps_);
    }

    // Existing files are asked about directly, missing ones through a short-lived probe file.
    void findAssociatedProgram_data()
    {
        QTest::addColumn<QString>("path");  // below a fresh folder
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("answer");       // -1 not asked, else MessageAnswer
        QTest::addColumn<QString>("program");  // "browser", "player" or ""
        QTest::newRow("existing file") << "a/page.html" << true << -1 << "browser";
        QTest::newRow("other letter case") << "a/PAGE.HTM" << true << -1 << "browser";
        QTest::newRow("unknown type") << "a/data.zzqq" << true << -1 << "";
        QTest::newRow("known type, no program") << "a/picture.png" << true << -1 << "";
        QTest::newRow("missing file") << "a/gone.html" << false << -1 << "browser";
        QTest::newRow("missing folder, first entry missing") << "nowhere/a film.mkv" << false << -1 << "player";
        QTest::newRow("leading star") << "a/*.html" << false << -1 << "browser";
        QTest::newRow("star inside, cancel") << "a/x*y.html" << false << int(MessageAnswer::Yes) << "";
        QTest::newRow("star inside, go on") << "a/x*y.html" << false << int(MessageAnswer::No) << "browser";
        QTest::newRow("no extension, no program") << "a/README" << false << -1 << "";
        QTest::newRow("backslashes") << "a\\b.html" << false << -1 << "browser";
    }
    void findAssociatedProgram()
    {
        QFETCH(bool, exists);
        QFETCH(int, answer);
        QFETCH(QString, program);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("a")));
        const QString file = dir.filePath(row<QString>("path"));
        if (exists)
            writeFile(file, " \r\n");
        ScriptedDialogs dialogs;
        if (answer >= 0)
            dialogs.answerMessage(MessageAnswer(answer));
        const QString cwd = QDir::currentPath();
        QCOMPARE(runfile::FindAssociatedProgram(&dialogs, file), program.isEmpty()       ? QString()
                                                                 : program == u"browser" ? browser_
                                                                                         : player_);
        QCOMPARE(QDir::currentPath(), cwd);
        QCOMPARE(QFile::exists(file), exists);  // a file made for the look-up is gone again
        if (answer >= 0)
            QCOMPARE(dialogs.messages.at(0).text, "x*y.htmlEnthält ungültige Zeichen Abbrechen?");
    }

    // The kept list opens in the desktop's plain-text handler, never in the play list's own (the player).
    void openKeptListInEditor()
    {
        writeFile(xdg_.filePath("config/mimeapps.list"),
                  mimeapps_ + "text/plain=testeditor.desktop\naudio/x-mpegurl=testplayer.desktop\n");
        TestWindow w;
        w->Form_Load();
        w->List_Count.fire(ControlEvent::Click);
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        QCOMPARE(QStringList{w.launcher.starts[0].program} + w.launcher.starts[0].arguments,
                 (QStringList{editor_, "--edit", w.kept()}));
        // no editor anywhere: the user is told, nothing ends
        writeFile(xdg_.filePath("config/mimeapps.list"), mimeapps_);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", xdg_.path().toLocal8Bit());
        w->List_Count.fire(ControlEvent::Click);
        qputenv("PATH", path);
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        QCOMPARE(w.dialogs.messages.size(), size_t(1));
        QVERIFY(w.dialogs.messages[0].text.contains(w.kept()));
    }

    void openInBrowser()
    {
        const QString address = "https://example.org/seite?a=1&b=%20x";
        QtProcessLauncher launcher;
        QVERIFY(runfile::OpenInBrowser(launcher, address, WindowStyle::NormalFocus) > 0);
        const QString record = QFileInfo(browser_).path() + "/args.txt";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QCOMPARE(readAll(record), "--new-window\n" + address.toUtf8() + '\n');  // the whole Exec line

        // no browser: the desktop's URL opener
        writeFile(xdg_.filePath("config/mimeapps.list"), "[Default Applications]\n");
        RecordingLauncher opener;
        QVERIFY(runfile::OpenInBrowser(opener, address, WindowStyle::NormalFocus) > 0);
        QCOMPARE(opener.starts.at(0).program + u' ' + opener.starts.at(0).arguments.join(u' '), "xdg-open " + address);
    }
};

QTEST_GUILESS_MAIN(RunFileTest)
#include "tst_runfile.moc"
