#include "Doubles.h"
#include "platform/qt/QtServices.h"
#include "player/RunFile.h"

#include <QDir>
#include <QFile>
#include <QTest>

// The desktop's associations come from a desktop of our own: mimeapps.list and desktop entries in
// temporary XDG folders, with the system's MIME types but none of its applications.
class RunFileTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void findExecutableFor_data();
    void findExecutableFor();
    void findAssociatedProgram_data();
    void findAssociatedProgram();
    void openInBrowser_data();
    void openInBrowser();

private:
    void setBrowserDefault(bool on);
    QTemporaryDir xdg_;
    QString browser_, player_;
};

namespace {

QString makeScript(const QString& path)
{
    writeFile(path, "#!/bin/sh\nout=\"$(dirname \"$0\")/browser-args.txt\"\n"
                    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void writeEntry(const QString& path, const QString& exec)
{
    writeFile(path, ("[Desktop Entry]\nType=Application\nName=Test\nExec=" + exec + "\n").toUtf8());
}

}  // namespace

void RunFileTest::initTestCase()
{
    const QString root = xdg_.path();
    for (const char* sub : {"config", "data/applications", "sys", "my bin"})
        QVERIFY(QDir().mkpath(root + u'/' + QLatin1String(sub)));
    QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), root + QStringLiteral("/sys/mime")));
    browser_ = makeScript(root + QStringLiteral("/my bin/browser"));
    player_ = makeScript(root + QStringLiteral("/my bin/player"));
    writeEntry(root + QStringLiteral("/data/applications/testbrowser.desktop"), u'"' + browser_ + QStringLiteral("\" %u"));
    writeEntry(root + QStringLiteral("/data/applications/testplayer.desktop"), u'"' + player_ + QStringLiteral("\" --play %F"));
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_CONFIG_DIRS", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_DATA_DIRS", (root + QStringLiteral("/sys")).toUtf8());
    setBrowserDefault(true);
}

void RunFileTest::setBrowserDefault(bool on)
{
    QByteArray list = "[Default Applications]\nvideo/x-matroska=missing.desktop;testplayer.desktop\n";
    if (on)
        list += "text/html=testbrowser.desktop\n";
    writeFile(xdg_.filePath(QStringLiteral("config/mimeapps.list")), list);
}

void RunFileTest::findExecutableFor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("program");   // "browser", "player" or ""
    QTest::newRow("web page") << "page.html" << "browser";
    QTest::newRow("other letter case") << "PAGE.HTM" << "browser";
    QTest::newRow("film, first entry missing") << "a film.mkv" << "player";
    QTest::newRow("unknown type") << "data.zzqq" << "";
    QTest::newRow("known type, no program") << "notes.txt" << "";
}

void RunFileTest::findExecutableFor()
{
    QFETCH(QString, name);
    QFETCH(QString, program);
    QTemporaryDir dir;
    writeFile(dir.filePath(name), " \r\n");
    const QString expected = program.isEmpty() ? QString() : program == u"browser" ? browser_ : player_;
    QCOMPARE(runfile::FindExecutableFor(dir.filePath(name)), expected);
}

void RunFileTest::findAssociatedProgram_data()
{
    QTest::addColumn<QString>("path");      // below a fresh folder
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer");        // -1 not asked, else MessageAnswer
    QTest::addColumn<QString>("program");
    QTest::newRow("existing file") << "a/page.html" << true << -1 << "browser";
    QTest::newRow("missing file") << "a/gone.html" << false << -1 << "browser";
    QTest::newRow("missing folder") << "nowhere/x.mkv" << false << -1 << "player";
    QTest::newRow("leading star") << "a/*.html" << false << -1 << "browser";
    QTest::newRow("star inside, cancel") << "a/x*y.html" << false << int(MessageAnswer::Yes) << "";
    QTest::newRow("star inside, go on") << "a/x*y.html" << false << int(MessageAnswer::No) << "browser";
    QTest::newRow("no extension, no program") << "a/README" << false << -1 << "";
    QTest::newRow("backslashes") << "a\\b.html" << false << -1 << "browser";
}

void RunFileTest::findAssociatedProgram()
{
    QFETCH(QString, path);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    QFETCH(QString, program);
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("a"))));
    const QString file = dir.filePath(path);
    if (exists)
        writeFile(file, "<html></html>");
    ScriptedDialogs dialogs;
    if (answer >= 0)
        dialogs.answerMessage(MessageAnswer(answer));
    const QString cwd = QDir::currentPath();

    const QString found = runfile::FindAssociatedProgram(&dialogs, file);

    QCOMPARE(found, program.isEmpty() ? QString() : program == u"browser" ? browser_ : player_);
    QCOMPARE(QDir::currentPath(), cwd);
    QCOMPARE(QFile::exists(file), exists);   // a file made for the look-up is gone again
    if (answer >= 0)
        QCOMPARE(dialogs.messages.at(0).text, QStringLiteral("x*y.htmlEnthält ungültige Zeichen Abbrechen?"));
}

void RunFileTest::openInBrowser_data()
{
    QTest::addColumn<bool>("configured");
    QTest::newRow("the desktop's browser") << true;
    QTest::newRow("no browser: the desktop's opener") << false;
}

void RunFileTest::openInBrowser()
{
    QFETCH(bool, configured);
    setBrowserDefault(configured);
    const QString address = QStringLiteral("https://example.org/seite?a=1&b=%20x");
    if (!configured) {
        RecordingLauncher launcher;
        QCOMPARE(runfile::OpenInBrowser(&launcher, address, WindowStyle::NormalFocus), qint64(1001));
        QCOMPARE(launcher.starts.size(), size_t(1));
        QCOMPARE(launcher.starts[0].program, QStringLiteral("xdg-open"));
        QCOMPARE(launcher.starts[0].arguments, QStringList{address});
        return;
    }
    const QString record = QFileInfo(browser_).path() + QStringLiteral("/browser-args.txt");
    QFile::remove(record);
    QtProcessLauncher launcher;
    QVERIFY(runfile::OpenInBrowser(&launcher, address, WindowStyle::NormalFocus) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
    QCOMPARE(readAll(record), address.toUtf8() + '\n');
}

QTEST_GUILESS_MAIN(RunFileTest)
#include "tst_runfile.moc"
