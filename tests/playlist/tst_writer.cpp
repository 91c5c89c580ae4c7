#include "Doubles.h"
#include "app/Ini.h"

#include <QDir>
#include <QTest>

class WriterTest : public QObject {
    Q_OBJECT
private slots:
    void streamingExample();
    void numbering();
    void titles_data();
    void titles();
    void userOptions();
    void lineBreakInEntry();
    void save_data();
    void save();
    void saveEmptyList();
    void failedWriteKeepsOldFile();
};

void WriterTest::streamingExample()
{
    TestWindow w;
    w->Form_Load();
    w->TargetText.setText(QStringLiteral("192.0.2.7"));
    w->FilmList.addItems({QStringLiteral("C:\\Filme\\Urlaub Teil 1.avi"), QStringLiteral("D:\\Musik\\lied.mp3")});
    const QString file = w.path(QStringLiteral("s.m3u"));
    QVERIFY(w->WriteStreamingPlaylist(file));
    QCOMPARE(readAll(file), QByteArray("#EXTM3U\r\n"
                                       "#EXTINF:1,Urlaub Teil 1.avi\r\n"
                                       "#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,access=udp:}\r\n"
                                       "#EXTVLCOPT:ttl=1\r\n"
                                       "C:\\Filme\\Urlaub Teil 1.avi\r\n"
                                       "#EXTINF:2,lied.mp3\r\n"
                                       "#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,access=udp:}\r\n"
                                       "#EXTVLCOPT:ttl=1\r\n"
                                       "D:\\Musik\\lied.mp3\r\n"));
    const QString ini = w.path(QStringLiteral("mirovell.ini"));
    QCOMPARE(ini::ReadIniValue(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT1"), ini, {}, false),
             QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ts,"));
    QVERIFY(w->WritePlainPlaylist(file));
    QCOMPARE(readAll(file), QByteArray("#EXTM3U\r\nC:\\Filme\\Urlaub Teil 1.avi\r\nD:\\Musik\\lied.mp3\r\n"));
}

void WriterTest::numbering()
{
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems({"a", "b"});
    const QString file = w.path(QStringLiteral("n.m3u"));
    w->WriteStreamingPlaylist(file);
    QCOMPARE(w->EntryCounter, 3);
    w->WriteStreamingPlaylist(file);
    QVERIFY(readAll(file).contains("#EXTINF:4,a\r\n") && readAll(file).contains("#EXTINF:5,b\r\n"));

    TestWindow p;
    p->Form_Load();
    p->FilmList.addItems({"a", "b", "c"});
    p->WritePlainPlaylist(file);
    QCOMPARE(p->EntryCounter, 2);   // n - 1 right after start-up
    p->WriteStreamingPlaylist(file);
    QVERIFY(readAll(file).contains("#EXTINF:3,a\r\n"));
    p->FilmList.clear();
    const qint32 before = p->EntryCounter;
    p->WriteStreamingPlaylist(file);   // empty list: nothing written, counter kept
    QCOMPARE(p->EntryCounter, before);
    QVERIFY(readAll(file).contains("#EXTINF:3,a\r\n"));
}

void WriterTest::titles_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QByteArray>("firstLines");
    QTest::newRow("no separator") << "film.avi" << "UDP" << QByteArray("#EXTINF:1,film.avi\r\n#EXTVLCOPT:sout=#standard{mux=ts,dst=h,access=udp:}");
    QTest::newRow("ends in separator") << "C:\\Filme\\" << "UDP" << QByteArray("#EXTINF:1,\r\n");
    QTest::newRow("web address") << "http://h/x/clip.mp4" << "udp" << QByteArray("#EXTINF:1,clip.mp4\r\n");
    QTest::newRow("empty protocol") << "a" << "" << QByteArray("dst=h,access=:}\r\n");
    QTest::newRow("protocol trimmed, lower case") << "a" << " RTP " << QByteArray("access=rtp:}\r\n");
}

void WriterTest::titles()
{
    QFETCH(QString, entry);
    QFETCH(QString, protocol);
    QFETCH(QByteArray, firstLines);
    TestWindow w;
    w->Form_Load();
    w->TargetText.setText(QStringLiteral("h"));
    w->ProtokollCombo.setText(protocol);
    w->FilmList.addItem(entry);
    const QString file = w.path(QStringLiteral("t.m3u"));
    w->WriteStreamingPlaylist(file);
    QVERIFY2(readAll(file).contains(firstLines), readAll(file).constData());
}

// The user's own option values are used as they stand, and a hand edit is seen by the next write.
void WriterTest::userOptions()
{
    TestWindow w;
    w->Form_Load();
    w->TargetText.setText(QStringLiteral("h"));
    w->FilmList.addItem(QStringLiteral("a"));
    const QString ini = w.path(QStringLiteral("mirovell.ini"));
    ini::WriteIniValue(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT1"),
                       QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ps"), ini, true);
    const QString file = w.path(QStringLiteral("u.m3u"));
    w->WriteStreamingPlaylist(file);
    QVERIFY(readAll(file).contains("#EXTVLCOPT:sout=#standard{mux=psdst=h,access=udp:}\r\n#EXTVLCOPT:ttl=1\r\na\r\n"));
    ini::WriteIniValue(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT2"), QStringLiteral("#EXTVLCOPT:ttl=4"), ini, true);
    w->WriteStreamingPlaylist(file);
    QVERIFY(readAll(file).contains("#EXTVLCOPT:ttl=4\r\na\r\n"));
    QCOMPARE(w->BuildStreamingEntry(QStringLiteral("/x/y.avi")),
             QStringLiteral("#EXTINF:%1,y.avi\r\n#EXTVLCOPT:sout=#standard{mux=psdst=h,access=udp:}\r\n"
                            "#EXTVLCOPT:ttl=4\r\n/x/y.avi").arg(w->EntryCounter));
}

// An entry holding a line break must not turn into lines (or options) of its own.
void WriterTest::lineBreakInEntry()
{
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItem(QStringLiteral("/m/a\n#EXTVLCOPT:sout=#evil\r\nb.avi"));
    const QString file = w.path(QStringLiteral("l.m3u"));
    w->WritePlainPlaylist(file);
    QCOMPARE(readAll(file), QByteArray("#EXTM3U\r\nfile:///m/a%0A%23EXTVLCOPT:sout=%23evil%0D%0Ab.avi\r\n"));
    w->WriteStreamingPlaylist(file);
    QCOMPARE(readAll(file).count("\r\n"), 5);
}

void WriterTest::save_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("told");
    QTest::newRow("path without extension") << "%1/meine liste" << true << false;
    QTest::newRow("cancelled") << "" << false << false;
    QTest::newRow("missing folder") << "%1/nicht da/x.m3u" << false << true;
    QTest::newRow("a folder") << "%1" << false << true;
}

void WriterTest::save()
{
    QFETCH(QString, answer);
    QFETCH(bool, written);
    QFETCH(bool, told);
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems({"/a.avi", "/b.avi"});
    w->UpdateFileCount();
    const QString path = answer.contains(u'%') ? answer.arg(w.folderPath.chopped(1)) : answer;
    w.dialogs.answerInput(path);
    w->SaveBtn.fire(ControlEvent::Click);
    QCOMPARE(w.dialogs.prompts.first(),
             QStringLiteral("Zielpfad eingeben|Zielpfad eingeben (incl.: ' .m3u ' )!|") + QDir::currentPath() +
                 QStringLiteral("/playlist.m3u"));
    if (written)
        QCOMPARE(readAll(path), QByteArray("#EXTM3U\r\n/a.avi\r\n/b.avi\r\n"));
    QCOMPARE(w.dialogs.messages.size(), size_t(told ? 1 : 0));
    if (told)
        QVERIFY(w.dialogs.messages[0].text.contains(u'\'' + path + u'\''));
    QCOMPARE(w->FilmList.items(), (QStringList{"/a.avi", "/b.avi"}));
}

void WriterTest::saveEmptyList()
{
    TestWindow w;
    w->Form_Load();
    w.dialogs.answerInput(w.path(QStringLiteral("x.m3u")));
    w->SaveBtn_Click();
    QCOMPARE(w.dialogs.prompts.size(), 1);
    QCOMPARE(w.dialogs.messages.size(), size_t(1));
    QCOMPARE(w.dialogs.messages[0].text, QStringLiteral("Keine Titel in der Liste"));
    QCOMPARE(w.dialogs.messages[0].title, QStringLiteral("Keie Titel"));
    QVERIFY(!QFile::exists(w.path(QStringLiteral("x.m3u"))));
}

void WriterTest::failedWriteKeepsOldFile()
{
    TestWindow w;
    w->Form_Load();
    const QString dir = w.path(QStringLiteral("ro"));
    QVERIFY(QDir().mkpath(dir));
    const QString file = dir + QStringLiteral("/keep.m3u");
    writeFile(file, "#EXTM3U\r\n/old.avi\r\n");
    // the temporary file cannot be created beside the target: the old file stays whole
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    const bool rootCanWrite = QFile(dir + QStringLiteral("/probe")).open(QIODevice::WriteOnly);
    QFile::remove(dir + QStringLiteral("/probe"));
    w->FilmList.addItem(QStringLiteral("/new.avi"));
    const bool ok = w->WritePlainPlaylist(file);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (rootCanWrite) {
        QVERIFY(ok);
        QCOMPARE(readAll(file), QByteArray("#EXTM3U\r\n/new.avi\r\n"));
    } else {
        QVERIFY(!ok);
        QCOMPARE(readAll(file), QByteArray("#EXTM3U\r\n/old.avi\r\n"));
    }
    QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("keep.m3u")});
}

QTEST_GUILESS_MAIN(WriterTest)
#include "tst_writer.moc"
