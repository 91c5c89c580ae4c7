// The path helpers on the forms paths take in play lists and in the VLC path field (a folder
// with its trailing separator is met in tst_vlcstart's location check).
#include "player/PathHelpers.h"

#include <QTest>

class PathsTest : public QObject {
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void quoting_data();
    void quoting();
};

void PathsTest::split_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("leading");
    QTest::newRow("windows") << "C:\\Filme\\a.avi" << "a.avi" << "C:\\Filme\\";
    QTest::newRow("bare name is its own leading path") << "a.avi" << "a.avi" << "a.avi";
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
    QTest::newRow("lone quote") << "\"" << "" << "\"";
    QTest::newRow("only blanks") << "   " << "" << "   ";
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

QTEST_GUILESS_MAIN(PathsTest)
#include "tst_paths.moc"
