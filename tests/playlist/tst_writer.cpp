#include "Doubles.h"
#include "player/VlcCommand.h"
#include "playlist/PlaylistWriter.h"

#include <QFileInfo>

namespace {

const QStringList kOptions =
    vlc::streamItemOptions("#EXTVLCOPT:sout=#standard{mux=ts,", "#EXTVLCOPT:ttl=1", "192.0.2.7", "udp");

}  // namespace

class WriterTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QString file_ = dir_.filePath("out.m3u");

private slots:
    void exactBytes()
    {
        PlaylistWriter w;
        const QStringList entries{"C:\\Filme\\Urlaub Teil 1.avi", "D:\\Musik\\lied.mp3"};
        QVERIFY(w.WriteStreamingPlaylist(entries, kOptions, file_));
        QCOMPARE(readAll(file_), QByteArray("#EXTM3U\r\n"
                                            "#EXTINF:1,Urlaub Teil 1.avi\r\n"
                                            "#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,access=udp:}\r\n"
                                            "#EXTVLCOPT:ttl=1\r\n"
                                            "C:\\Filme\\Urlaub Teil 1.avi\r\n"
                                            "#EXTINF:2,lied.mp3\r\n"
                                            "#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,access=udp:}\r\n"
                                            "#EXTVLCOPT:ttl=1\r\n"
                                            "D:\\Musik\\lied.mp3\r\n"));
        // an entry holding a line break is written as a file URL, never as lines (or options) of its own
        QVERIFY(w.WritePlainPlaylist(entries + QStringList{"/m/a\n#EXTVLCOPT:sout=#evil\r\nb.avi"}, file_));
        QCOMPARE(readAll(file_), QByteArray("#EXTM3U\r\nC:\\Filme\\Urlaub Teil 1.avi\r\nD:\\Musik\\lied.mp3\r\n"
                                            "file:///m/a%0A%23EXTVLCOPT:sout=%23evil%0D%0Ab.avi\r\n"));
    }

    // EntryCounter goes on from one list to the next; a plain list sets it to n - 1 after a start.
    void numbering()
    {
        PlaylistWriter w;
        w.WriteStreamingPlaylist({"a", "b"}, kOptions, file_);
        QCOMPARE(w.EntryCounter(), 3);
        w.WriteStreamingPlaylist({"a", "b"}, kOptions, file_);
        QVERIFY(readAll(file_).contains("#EXTINF:4,a\r\n") && readAll(file_).contains("#EXTINF:5,b\r\n"));

        PlaylistWriter p;
        p.WritePlainPlaylist({"a", "b", "c"}, file_);
        QCOMPARE(p.EntryCounter(), 2);
        p.WriteStreamingPlaylist({"a"}, kOptions, file_);
        QVERIFY(readAll(file_).contains("#EXTINF:3,a\r\n"));
        p.WriteStreamingPlaylist({}, kOptions, file_);  // empty list: nothing written, counter kept
        QCOMPARE(p.EntryCounter(), 4);
        QVERIFY(readAll(file_).contains("#EXTINF:3,a\r\n"));
        p.WritePlainPlaylist({"a"}, QString());  // no path: nothing written, but counted
        QCOMPARE(p.EntryCounter(), 0);
    }

    void titles_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("firstLines");
        // clang-format off
        QTest::newRow("ends in separator") << "C:\\Filme\\" << QByteArray("#EXTINF:1,\r\n");
        QTest::newRow("web address") << "http://h/x/clip.mp4" << QByteArray("#EXTINF:1,clip.mp4\r\n");
        QTest::newRow("not ASCII") << "/m/Übung/Größe 日本.avi"
                                   << QByteArray(
                                          "#EXTINF:1,Größe 日本.avi\r\n#EXTVLCOPT:sout=#standard{mux=ts,dst="
                                          "192.0.2.7,access=udp:}\r\n#EXTVLCOPT:ttl=1\r\n/m/Übung/Größe 日本.avi\r\n");
        QTest::newRow("longer in the file than in the list")  // three bytes a character
            << "/日本/長い名前の映画ファイル.avi"
            << QByteArray("#EXTINF:1,長い名前の映画ファイル.avi\r\n#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,"
                          "access=udp:}\r\n#EXTVLCOPT:ttl=1\r\n/日本/長い名前の映画ファイル.avi\r\n");
        QTest::newRow("line break in an entry")
            << "/m/a\n#EXTVLCOPT:sout=#evil\r\nb.avi"
            << QByteArray("#EXTINF:1,a #EXTVLCOPT:sout=#evil  b.avi\r\n#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,"
                          "access=udp:}\r\n#EXTVLCOPT:ttl=1\r\nfile:///m/a%0A%23EXTVLCOPT:sout=%23evil%0D%0Ab.avi\r\n");
        // clang-format on
    }
    void titles()
    {
        PlaylistWriter w;
        w.WriteStreamingPlaylist({row<QString>("entry")}, kOptions, file_);
        QVERIFY2(readAll(file_).contains(row<QByteArray>("firstLines")), readAll(file_).constData());
        QCOMPARE(readAll(file_).count("\r\n"), 5);
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("answer");   // %1 = the test folder
        QTest::addColumn<QString>("message");  // what the user is told, %1 = the path; empty = nothing
        const QStringList two{"/a.avi", "/b.avi"};
        QTest::newRow("path without extension") << two << "%1/meine liste" << QString();
        QTest::newRow("cancelled") << two << "" << QString();
        QTest::newRow("missing folder") << two << "%1/nicht da/x.m3u"
                                        << "'%1'";
        QTest::newRow("a folder") << two << "%1"
                                  << "'%1'";
        QTest::newRow("empty list") << QStringList{} << "%1/x.m3u"
                                    << "Keie Titel|Keine Titel in der Liste";
    }
    void save()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        TestWindow w;
        w->Form_Load();
        w->FilmList.addItems(entries);
        w->UpdateFileCount();
        const QString path = answer.contains(u'%') ? answer.arg(w.folderPath.chopped(1)) : answer;
        w.dialogs.answerInput(path);
        w->SaveBtn_Click();  // the button itself is disabled while the list is empty
        QCOMPARE(w.dialogs.prompts, QStringList{"Zielpfad eingeben|Zielpfad eingeben (incl.: ' .m3u ' )!|" +
                                                QDir::currentPath() + "/playlist.m3u"});
        QCOMPARE(QFileInfo(path).isFile(), !entries.isEmpty() && message.isEmpty() && !path.isEmpty());
        if (QFileInfo(path).isFile())
            QCOMPARE(readAll(path), QByteArray("#EXTM3U\r\n/a.avi\r\n/b.avi\r\n"));
        QCOMPARE(w.dialogs.messages.size(), size_t(message.isEmpty() ? 0 : 1));
        if (!message.isEmpty())
            QVERIFY(
                QString(w.dialogs.messages[0].title + u'|' + w.dialogs.messages[0].text).contains(message.arg(path)));
    }
};

QTEST_GUILESS_MAIN(WriterTest)
#include "tst_writer.moc"
