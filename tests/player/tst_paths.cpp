#include "player/PathHelpers.h"

#include <QTemporaryDir>
#include <QTest>

class PathsTest : public QObject {
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void quoting_data();
    void quoting();
    void trailingSeparator_data();
    void trailingSeparator();
    void folderOf();
};

void PathsTest::split_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("leading");
    QTest::newRow("windows") << "C:\\Filme\\a.avi" << "a.avi" << "C:\\Filme\\";
    QTest::newRow("bare") << "a.avi" << "a.avi" << "a.avi";
    QTest::newRow("url") << "http://h/x/film.mp4" << "film.mp4" << "http://h/x/";
    QTest::newRow("mixed, last wins") << "C:\\a/b\\c.mp3" << "c.mp3" << "C:\\a/b\\";
    QTest::newRow("ends in separator") << "/srv/media/" << "" << "/srv/media/";
    QTest::newRow("empty") << "" << "" << "";
}

void PathsTest::split()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, leading);
    QCOMPARE(paths::FileNameOf(path), name);
    QCOMPARE(paths::LeadingPath(path), leading);
}

void PathsTest::quoting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stripped");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("spaced path") << "  C:\\Program Files\\v.exe " << "C:\\Program Files\\v.exe"
                                 << "\"C:\\Program Files\\v.exe\"";
    QTest::newRow("already quoted") << " \"/a b/c\" " << "/a b/c" << "\"/a b/c\"";
    QTest::newRow("no blanks") << "/usr/bin/vlc" << "/usr/bin/vlc" << "/usr/bin/vlc";
    QTest::newRow("lone quote") << "\"" << "" << "\"";
    QTest::newRow("only blanks") << "   " << "" << "   ";
    QTest::newRow("two quotes") << "\"\"" << "" << "\"\"";
    QTest::newRow("quote inside") << "a \"b" << "a \"b" << "a \"b";
}

void PathsTest::quoting()
{
    QFETCH(QString, text);
    QFETCH(QString, stripped);
    QFETCH(QString, quoted);
    QCOMPARE(paths::StripQuotes(text), stripped);
    QCOMPARE(paths::QuoteIfSpaced(text), quoted);
}

void PathsTest::trailingSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("backslash") << "C:\\a" << "C:\\a\\";
    QTest::newRow("already") << "C:\\a\\" << "C:\\a\\";
    QTest::newRow("slash") << "/home/u" << "/home/u/";
    QTest::newRow("quoted") << "\"C:\\a\"" << "\"C:\\a\\\"";
    QTest::newRow("none") << "abc" << "abc";
}

void PathsTest::trailingSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(paths::AddTrailingSeparator(path).value_or(QStringLiteral("<refused>")), expected);
    QVERIFY(!paths::AddTrailingSeparator(QString()).has_value());
}

void PathsTest::folderOf()
{
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/vlc");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(paths::FolderOf(file), dir.path() + u'/');
    QCOMPARE(paths::FolderOf(dir.path()), dir.path());
    QCOMPARE(paths::FolderOf(dir.path() + QStringLiteral("/missing/vlc")), dir.path() + QStringLiteral("/missing/vlc"));
}

QTEST_GUILESS_MAIN(PathsTest)
#include "tst_paths.moc"
