#include "Doubles.h"
#include "player/VlcCommand.h"
#include "playlist/PlaylistWriter.h"

#include <QFileInfo>

namespace {

const QStringList kOptions =
    vlc::streamItemOptions("#EXTVLCOPT:sout=#standard{mux=ts,", "#EXTVLCOPT:ttl=1", "192.0.2.7", "udp");

// An entry of the streaming list: its number and title, the stream's options, the entry itself.
QByteArray item(int n, const QByteArray& title, const QByteArray& line)
{
    return "#EXTINF:" + QByteArray::number(n) + ',' + title +
           "\r\n#EXTVLCOPT:sout=#standard{mux=ts,dst=192.0.2.7,access=udp:}\r\n#EXTVLCOPT:ttl=1\r\n" + line + "\r\n";
}

}  // namespace

class WriterTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QString file_ = dir_.filePath("out.m3u");

private slots:
    // EntryCounter goes on from one list to the next; a plain list sets it to n - 1 after a start.
    void numbering()
    {
        PlaylistWriter w;
        const QStringList two{"C:\\Filme\\Urlaub Teil 1.avi", "D:\\Musik\\lied.mp3"};
        QVERIFY(w.WriteStreamingPlaylist(two, kOptions, file_));
        QCOMPARE(readAll(file_),
                 "#EXTM3U\r\n" + item(1, "Urlaub Teil 1.avi", two[0].toUtf8()) + item(2, "lied.mp3", two[1].toUtf8()));
        QCOMPARE(w.EntryCounter(), 3);
        w.WriteStreamingPlaylist({"a", "b"}, kOptions, file_);
        QCOMPARE(readAll(file_), "#EXTM3U\r\n" + item(4, "a", "a") + item(5, "b", "b"));

        PlaylistWriter p;
        p.WritePlainPlaylist({"a", "b", "c"}, file_);
        QCOMPARE(p.EntryCounter(), 2);
        p.WriteStreamingPlaylist({"a"}, kOptions, file_);
        p.WriteStreamingPlaylist({}, kOptions, file_);  // empty list: nothing written, counter kept
        QCOMPARE(readAll(file_), "#EXTM3U\r\n" + item(3, "a", "a"));
        QCOMPARE(p.EntryCounter(), 4);
        p.WritePlainPlaylist({"a"}, QString());  // no path: nothing written, but counted
        QCOMPARE(p.EntryCounter(), 0);
    }

    // Each entry in both kinds of list; a line break in one is written as a file URL, never as lines
    // (or options) of their own.
    void entries_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QByteArray>("line");  // as the entry is written, when not as it stands
        QTest::newRow("ends in separator") << "C:\\Filme\\" << QByteArray() << QByteArray();
        QTest::newRow("web address") << "http://h/x/clip.mp4" << QByteArray("clip.mp4") << QByteArray();
        QTest::newRow("not ASCII") << "/m/Übung/Größe 日本.avi" << QByteArray("Größe 日本.avi") << QByteArray();
        QTest::newRow("longer in the file than in the list")  // three bytes a character
            << "/日本/長い名前の映画ファイル.avi" << QByteArray("長い名前の映画ファイル.avi") << QByteArray();
        QTest::newRow("line break") << "/m/a\n#EXTVLCOPT:sout=#evil\r\nb.avi"
                                    << QByteArray("a #EXTVLCOPT:sout=#evil  b.avi")
                                    << QByteArray("file:///m/a%0A%23EXTVLCOPT:sout=%23evil%0D%0Ab.avi");
    }
    void entries()
    {
        QFETCH(QString, entry);
        QFETCH(QByteArray, line);
        if (line.isEmpty())
            line = entry.toUtf8();
        PlaylistWriter w;
        QVERIFY(w.WriteStreamingPlaylist({entry}, kOptions, file_));
        QCOMPARE(readAll(file_), "#EXTM3U\r\n" + item(1, row<QByteArray>("title"), line));
        QVERIFY(w.WritePlainPlaylist({entry}, file_));
        QCOMPARE(readAll(file_), "#EXTM3U\r\n" + line + "\r\n");
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("answer");   // %1 = the test folder
        QTest::addColumn<QString>("message");  // what the user is told, %1 = the path; empty = nothing
        const QStringList two{"/a.avi", "/b.avi"};
        QTest::newRow("path without extension") << two << "%1/meine liste" << QString();
        QTest::newRow("cancelled") << two << "" << QString();
        QTest::newRow("missing folder") << two << QString("%1/nicht da/x.m3u") << "'%1'";
        QTest::newRow("a folder") << two << QString("%1") << "'%1'";
        QTest::newRow("empty list") << QStringList{} << QString("%1/x.m3u") << "Keie Titel|Keine Titel in der Liste";
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
        const auto& told = w.dialogs.messages;
        QCOMPARE(told.size(), size_t(message.isEmpty() ? 0 : 1));
        if (!message.isEmpty())
            QVERIFY(QString(told[0].title + u'|' + told[0].text).contains(message.replace("%1", path)));
    }
};

QTEST_GUILESS_MAIN(WriterTest)
#include "tst_writer.moc"
