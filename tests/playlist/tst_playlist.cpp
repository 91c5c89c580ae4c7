#include "Doubles.h"
#include "player/VlcCommand.h"
#include "playlist/PlaylistReader.h"
#include "playlist/PlaylistWriter.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>

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

// Drops reach the four handlers with real files in a temporary folder; the buttons edit the list;
// the lists written, and saved with the button.
class PlaylistTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    const QString file_ = dir_.filePath("out.m3u");

private slots:
    void dropOnList_data()
    {
        QTest::addColumn<QByteArray>("content");  // the file's, or "<dir>" (its folder), "<fifo>", "<none>"
        QTest::addColumn<QString>("dropped");     // relative to the test folder
        QTest::addColumn<QStringList>("added");   // %1 = test folder without trailing '/'

        const QByteArray m3u = "#EXTM3U\r\n#EXTINF:1,a\r\n/abs/a.avi\r\n\r\nsub/b.avi\r\n  # note\r\n"
                               "http://host/stream\r\n../up.avi\r\nC:\\Filme\\c.avi\r\n./x/../d.avi\r\nD:/m/e.avi\r\n"
                               "\\\\srv\\m\\f.avi\r\nfile:///m/g.avi\r\nTeil 1: a://h.avi\r\n"
                               "  /lead/abs.avi\r\n \tlead/rel.avi\r\n  http://lead/url\r\n";
        // a colon in a name makes no URL; blanks in front are kept and change nothing else
        // clang-format off
        const QStringList m3uEntries{"/abs/a.avi", "%1/sub/b.avi", "http://host/stream", "%1/../up.avi",
                                     "C:\\Filme\\c.avi", "%1/d.avi", "D:/m/e.avi", "\\\\srv\\m\\f.avi",
                                     "file:///m/g.avi", "%1/Teil 1: a:/h.avi", "  /lead/abs.avi",
                                     " \t%1/lead/rel.avi", "  http://lead/url"};
        // clang-format on
        QTest::newRow("m3u: relative resolved, URL and absolute kept") << m3u << "list.m3u" << m3uEntries;
        // names (and a folder) that only look clean: the result is the cleaned path all the same
        QTest::newRow("m3u: doubled, trailing and dotted separators")
            << QByteArray("a//b.avi\nd/\n.h/...\nx/./y\nx/..\nb\\s.avi\n") << "l.m3u"
            << QStringList{"%1/a/b.avi", "%1/d", "%1/.h/...", "%1/x/y", "%1", "%1/b\\s.avi"};
        QTest::newRow("m3u in a dotted folder") << QByteArray("k.avi\n") << "./k.m3u" << QStringList{"%1/k.avi"};
        QTest::newRow("upper-case .M3U8 with byte-order mark")
            << QByteArray("\xEF\xBB\xBF#EXTM3U\nx.avi\n") << "LIST.M3U8" << QStringList{"%1/x.avi"};
        QTest::newRow("pls: FileN by number, gaps and disorder")
            << QByteArray("[playlist]\nNumberOfEntries=3\nFile10=ten.mp3\nTitle10=T\nfile2 = two.mp3\n"
                          "Length2=-1\nFile5=rtp://239.0.0.1\nFile2=ignored.mp3\nVersion=2\nFilex=no\n")
            << "radio.pls" << QStringList{"%1/two.mp3", "rtp://239.0.0.1", "%1/ten.mp3"};
        // plain-ASCII values are resolved on their bytes, others decoded first; a value that decodes to
        // nothing still takes its key
        QTest::newRow("pls: key case and blanks, names beyond ASCII")
            << QByteArray("FILE1=\xC3\x9C"
                          "bung/a.mp3\r\n fIlE2 \t= ./x/../y.mp3 \f\r\nFile3=\xEF\xBB\xBF\r\n"
                          "File3=late.mp3\r\nFile4=caf\xE9.mp3\r\nFile5=/abs/\xC3\xA4.mp3\r\n")
            << "mixed.pls" << QStringList{"%1/Übung/a.mp3", "%1/y.mp3", "%1/café.mp3", "/abs/ä.mp3"};
        QTest::newRow("lst in CR-only lines")
            << QByteArray("/one.avi\r/two.avi\r") << "a.lst" << QStringList{"/one.avi", "/two.avi"};
        QTest::newRow("media file is added, not read")
            << QByteArray("/should/not/appear\n") << "film.m3u.avi" << QStringList{"%1/film.m3u.avi"};
        QTest::newRow("film inside a folder called x.m3u")
            << QByteArray("<dir>") << "x.m3u/film.avi" << QStringList{"%1/x.m3u/film.avi"};
        QTest::newRow("folder called x.m3u is added as a path")
            << QByteArray("<dir>") << "x.m3u" << QStringList{"%1/x.m3u"};
        QTest::newRow("play list vanished before the drop") << QByteArray("<none>") << "gone.m3u" << QStringList{};
        QTest::newRow("pipe named like a play list") << QByteArray("<fifo>") << "pipe.m3u" << QStringList{};
        QTest::newRow("empty play list") << QByteArray() << "empty.pls" << QStringList{};
    }

    void dropOnList()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, dropped);
        TestWindow w;
        const QString root = w.folderPath.chopped(1), made = w.path(QDir::cleanPath(dropped).section(u'/', 0, 0));
        if (content == "<dir>")
            QVERIFY(QDir().mkpath(made));
        else if (content == "<fifo>")
            QCOMPARE(::mkfifo(QFile::encodeName(made).constData(), 0600), 0);
        else if (content != "<none>")
            writeFile(made, content);
        w->Form_Load();
        w->FilmList.addItem("/before.avi");

        w->FilmList.fire(ControlEvent::Drop, EventArgs{{w.path(dropped)}});

        QStringList expected{"/before.avi"};
        for (const QString& a : row<QStringList>("added")) {  // resolved entries are cleaned paths
            const qsizetype at = a.indexOf(u"%1");
            expected << (at < 0 ? a : a.left(at) + QDir::cleanPath(a.mid(at).arg(root)));
        }
        QCOMPARE(w->FilmList.items(), expected);
        QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: %1").arg(expected.size()));
        w->ExitBtn_Click();  // the next start brings every entry back as it stood
        w.restart();
        w->Form_Load();
        QCOMPARE(w->FilmList.items(), expected);
    }

    void capAndBinary()
    {
        TestWindow w;
        QByteArray big, pls = "[playlist]\n";  // the play list's keys last to first
        for (int i = 0; i < 40000; ++i) {
            big += "/f/" + QByteArray::number(i) + ".avi\n";
            pls += "File" + QByteArray::number(40000 - i) + "=/p/" + QByteArray::number(40000 - i) + ".mp3\n";
        }
        writeFile(w.path("big.m3u"), big);
        writeFile(w.path("big.pls"), pls);
        // 50 MB of noise named like a play list, and one without any line break
        QByteArray noise(50 << 20, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        writeFile(w.path("noise.m3u"), noise);
        writeFile(w.path("oneline.lst"), QByteArray(20 << 20, 'a'));

        w->FilmList.addItem("/first.avi");
        w->FilmList_OLEDragDrop({w.path("noise.m3u"), w.path("oneline.lst")});
        QCOMPARE(w->FilmList.items(), QStringList{"/first.avi"});

        w->FilmList_OLEDragDrop({w.path("big.m3u")});
        QCOMPARE(w->FilmList.count(), Control::kMaxItems);
        QCOMPARE(w->FilmList.item(Control::kMaxItems - 1), "/f/32765.avi");

        const playlist::ReadResult read = playlist::readPlaylist(w.path("big.pls"), 3);
        QCOMPARE(read.entries, (QStringList{"/p/1.mp3", "/p/2.mp3", "/p/3.mp3"}));
    }

    // The file is read a mebibyte at a time: entries that straddle two pieces stay whole.
    void lineBreakAcrossReadPieces()
    {
        TestWindow w;
        const qsizetype piece = 1 << 20;
        // "/spanning.avi" begins 3 bytes before the first piece ends; the last CR ends the second
        QByteArray bytes = "/a.avi\r\n" + QByteArray(piece - 13, '#') + "\r\n/spanning.avi\r\n";
        bytes += QByteArray(2 * piece - 1 - bytes.size(), '#') + "\r\n/b.avi";
        writeFile(w.path("edge.m3u"), bytes);
        QCOMPARE(playlist::readEntries(w.path("edge.m3u"), 100).entries,
                 (QStringList{"/a.avi", "/spanning.avi", "/b.avi"}));
    }

    // "<" and ">" move the selected entry, a double-click removes it, "Clear" empties the list.
    void listButtons_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("control");  // clicked, or double-clicked when it is the list
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("selectedAfter");
        const QStringList abc{"A", "B", "C"};
        // clang-format off
        // from the middle: tst_window's keys on the list
        QTest::newRow("< nothing selected moves the first") << abc << -1 << "UpBtn" << QStringList{"B", "A", "C"} << 1;
        QTest::newRow("> nothing selected") << abc << -1 << "DownBtn" << abc << -1;
        QTest::newRow("< last") << abc << 2 << "UpBtn" << abc << 2;
        QTest::newRow("> first") << abc << 0 << "DownBtn" << abc << 0;
        QTest::newRow("< single") << QStringList{"A"} << -1 << "UpBtn" << QStringList{"A"} << 0;
        QTest::newRow("< empty") << QStringList{} << -1 << "UpBtn" << QStringList{} << -1;
        QTest::newRow("remove") << abc << 1 << "FilmList" << QStringList{"A", "C"} << -1;
        QTest::newRow("remove, nothing selected") << abc << -1 << "FilmList" << abc << -1;
        QTest::newRow("clear") << abc << 1 << "Command1" << QStringList{} << -1;
        // clang-format on
    }
    void listButtons()
    {
        QFETCH(QStringList, after);
        QFETCH(QString, control);
        TestWindow w;
        w->Form_Load();
        w->FilmList.addItems(row<QStringList>("entries"));
        w->UpdateFileCount();
        w->FilmList.setListIndex(row<int>("selected"));
        w->control(control)->fire(control == u"FilmList" ? ControlEvent::DblClick : ControlEvent::Click);
        QCOMPARE(w->FilmList.items(), after);
        QTEST(w->FilmList.listIndex(), "selectedAfter");
        QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: %1").arg(after.size()));
        const bool any = !after.isEmpty();
        QVERIFY(w->UpBtn.enabled() == any && w->DownBtn.enabled() == any && w->SaveBtn.enabled() == any);
    }

    // In receive mode the count is the remote list's; the buttons still follow the local list.
    void countInReceiveMode()
    {
        TestWindow w;
        w->Form_Load();
        w->EmpfangenTabButton_Click();
        w->FilmRemoteList.setItems(QStringList(12, "x"));
        w->UpdateFileCount();
        QCOMPARE(w->List_Count.text(), "Dateien: 12");
        QVERIFY(!w->UpBtn.enabled() && !w->SaveBtn.enabled());
    }

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

QTEST_GUILESS_MAIN(PlaylistTest)
#include "tst_playlist.moc"
