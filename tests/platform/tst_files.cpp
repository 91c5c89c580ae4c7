// Where text meets bytes, files replaced whole or not at all, and the path helpers; their other cases
// are met where the settings file, the drop import, the link messages and the VLC path use them.
#include "Doubles.h"
#include "platform/Codec.h"
#include "platform/Installation.h"
#include "platform/PathHelpers.h"
#include "platform/TextFile.h"

class FilesTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void decodeLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("Empf\xC3\xA4nger") << QStringLiteral("Empfänger");
        QTest::newRow("windows-1252 euro and quotes") << QByteArray("\x80 \x93x\x94") << QStringLiteral("€ “x”");
        QTest::newRow("truncated utf-8 falls back") << QByteArray("a\xC3") << QStringLiteral("aÃ");
        QTest::newRow("overlong utf-8 falls back") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    }
    void decodeLine() { QTEST(codec::decodeLine(row<QByteArray>("bytes")), "text"); }

    void windows1252RoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(codec::toWindows1252(codec::fromWindows1252(all)), all);
        QCOMPARE(codec::toWindows1252(QStringLiteral("日本 😀")), QByteArray("?? ?"));
        // lines end at CR LF, CR or LF; LF CR is two breaks
        QCOMPARE(codec::splitLines("a\n\rb\r\nc\r").size(), 4);
    }

    void failedWriteKeepsOldFile()
    {
        const QString dir = dir_.filePath("ro");
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + "/keep.m3u";
        writeFile(file, "old");
        // the temporary file cannot be created beside the target: the old file stays whole
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        const bool rootCanWrite = QFile(dir + "/probe").open(QIODevice::WriteOnly);
        QFile::remove(dir + "/probe");
        const bool ok = textfile::writeLines(file, {"new"});
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ok, rootCanWrite);
        QCOMPARE(readAll(file), rootCanWrite ? QByteArray("new\r\n") : QByteArray("old"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"keep.m3u"});
    }

    void replacedThroughALink()
    {
        // a file kept elsewhere and linked here stays a link to a file of the same mode
        const QString real = dir_.filePath("real.m3u"), link = dir_.filePath("link.m3u");
        writeFile(real, "old");
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
        const QFile::Permissions mode = QFile::permissions(real);
        QVERIFY(QFile::link(real, link) && textfile::writeLines(link, {"new"}));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(real), mode);
    }

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
        QTemporaryDir dir;
        QFile(dir.filePath("vlc")).open(QIODevice::WriteOnly);
        const auto at = [&dir](QString t) { return t.replace("%1", dir.path()); };
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QString found = paths::FolderOf(at(path));
        QDir::setCurrent(before);
        QCOMPARE(found, at(row<QString>("folder")));
        QCOMPARE(paths::AddTrailingSeparator(at(path)).value_or("-"), at(row<QString>("separated")));
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
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("bin"));
        QVERIFY(QFile::link(dir.path() + "/bin", dir.path() + "/link"));
        const auto at = [&](const QString& p) { return p.isEmpty() ? p : dir.path() + u'/' + p; };
        QTEST(installation::isInstalledCopy(at(row<QString>("programFolder")), at(row<QString>("installFolder"))),
              "installed");
    }
};

QTEST_GUILESS_MAIN(FilesTest)
#include "tst_files.moc"
