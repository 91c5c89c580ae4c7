// The path helpers on the forms paths take in play lists and in the VLC path field, and where an
// installed copy is told from the user's own. StripQuotes, FileNameOf and LeadingPath meet their
// edge cases in the VLC location check, the command line, the writer's titles and the drop import.
#include "platform/Installation.h"
#include "platform/PathHelpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class PathsTest : public QObject {
    Q_OBJECT
private slots:
    void folders_data()
    {
        QTest::addColumn<QString>("path");       // relative names are looked up in a folder holding the file "vlc"
        QTest::addColumn<QString>("folder");     // FolderOf; %1 = that folder
        QTest::addColumn<QString>("separated");  // AddTrailingSeparator; "-" = refused
        // clang-format off
        QTest::newRow("existing file") << "%1/vlc" << "%1/" << "%1/vlc/";
        QTest::newRow("existing file, no separator") << "vlc" << "" << "vlc";
        QTest::newRow("existing folder") << "%1" << "%1" << "%1/";
        QTest::newRow("missing file is itself") << "C:\\x\\vlc.exe" << "C:\\x\\vlc.exe" << "C:\\x\\vlc.exe\\";
        QTest::newRow("ends in its separator") << "C:\\a\\" << "C:\\a\\" << "C:\\a\\";
        QTest::newRow("quoted") << "\"C:\\a\"" << "\"C:\\a\"" << "\"C:\\a\\\"";
        QTest::newRow("mixed: the backslash decides") << "/a\\b" << "/a\\b" << "/a\\b\\";
        QTest::newRow("empty") << "" << "" << "-";
        // clang-format on
    }
    void folders()
    {
        QFETCH(QString, path);
        QFETCH(QString, folder);
        QFETCH(QString, separated);
        QTemporaryDir dir;
        QFile(dir.filePath("vlc")).open(QIODevice::WriteOnly);
        const auto at = [&dir](QString t) { return t.replace("%1", dir.path()); };
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString found = paths::FolderOf(at(path));
        QDir::setCurrent(before);
        QCOMPARE(found, at(folder));
        QCOMPARE(paths::AddTrailingSeparator(at(path)).value_or("-"), at(separated));
    }

    void installedCopy_data()
    {
        // folders inside a temporary folder that holds bin/ and link -> bin; "" for none
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("installFolder");
        QTest::addColumn<bool>("installed");
        // clang-format off
        QTest::newRow("the install folder") << "bin/" << "bin" << true;
        QTest::newRow("reached through a link") << "link/" << "bin" << true;
        QTest::newRow("another folder") << "/" << "bin" << false;
        QTest::newRow("install folder missing") << "bin/" << "nowhere" << false;
        QTest::newRow("no install folder") << "bin/" << "" << false;
        // clang-format on
    }
    void installedCopy()
    {
        QFETCH(QString, programFolder);
        QFETCH(QString, installFolder);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        QVERIFY(QFile::link(dir.path() + "/bin", dir.path() + "/link"));
        const auto at = [&](const QString& p) { return p.isEmpty() ? p : dir.path() + u'/' + p; };
        QTEST(installation::isInstalledCopy(at(programFolder), at(installFolder)), "installed");
        // one folder level in the XDG configuration home
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        QCOMPARE(installation::userConfigFolder(), dir.path() + "/Mirovell");
    }
};

QTEST_GUILESS_MAIN(PathsTest)
#include "tst_paths.moc"
