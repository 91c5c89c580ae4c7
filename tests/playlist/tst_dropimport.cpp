#include "Doubles.h"
#include "playlist/PlaylistReader.h"

#include <QRandomGenerator>

#include <sys/stat.h>

// Drops reach the four handlers with real files in a temporary folder; the buttons edit the list.
class DropImportTest : public QObject {
    Q_OBJECT
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
};

QTEST_GUILESS_MAIN(DropImportTest)
#include "tst_dropimport.moc"
