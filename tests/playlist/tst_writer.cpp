#include "Doubles.h"
#include "app/Ini.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace {

// a started window holding the given entries
struct ListWindow : TestWindow {
    explicit ListWindow(const QStringList& entries, const QString& target = QStringLiteral("h"))
    {
        (*this)->Form_Load();
        (*this)->TargetText.setText(target);
        (*this)->FilmList.addItems(entries);
    }
};

}  // namespace

class WriterTest : public QObject {
    Q_OBJECT
private slots:
    void exactBytes()
    {
        ListWindow w({QStringLiteral("C:\\Filme\\Urlaub Teil 1.avi"), QStringLiteral("D:\\Musik\\lied.mp3")},
                     QStringLiteral("192.0.2.7"));
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
        // an entry holding a line break is written as a file URL, never as lines (or options) of its own
        w->FilmList.addItem(QStringLiteral("/m/a\n#EXTVLCOPT:sout=#evil\r\nb.avi"));
        QVERIFY(w->WritePlainPlaylist(file));
        QCOMPARE(readAll(file), QByteArray("#EXTM3U\r\nC:\\Filme\\Urlaub Teil 1.avi\r\nD:\\Musik\\lied.mp3\r\n"
                                           "file:///m/a%0A%23EXTVLCOPT:sout=%23evil%0D%0Ab.avi\r\n"));
    }

    void numbering()
    {
        ListWindow w({"a", "b"});
        const QString file = w.path(QStringLiteral("n.m3u"));
        w->WriteStreamingPlaylist(file);
        QCOMPARE(w->EntryCounter, 3);
        w->WriteStreamingPlaylist(file);
        QVERIFY(readAll(file).contains("#EXTINF:4,a\r\n") && readAll(file).contains("#EXTINF:5,b\r\n"));

        ListWindow p({"a", "b", "c"});
        p->WritePlainPlaylist(file);
        QCOMPARE(p->EntryCounter, 2);  // n - 1 right after start-up
        p->WriteStreamingPlaylist(file);
        QVERIFY(readAll(file).contains("#EXTINF:3,a\r\n"));
        p->FilmList.clear();
        const qint32 before = p->EntryCounter;
        p->WriteStreamingPlaylist(file);  // empty list: nothing written, counter kept
        QCOMPARE(p->EntryCounter, before);
        QVERIFY(readAll(file).contains("#EXTINF:3,a\r\n"));
    }

    void titles_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QByteArray>("firstLines");
        QTest::newRow("ends in separator") << "C:\\Filme\\"
                                           << "UDP" << QByteArray("#EXTINF:1,\r\n");
        QTest::newRow("web address") << "http://h/x/clip.mp4"
                                     << "udp" << QByteArray("#EXTINF:1,clip.mp4\r\n");
        QTest::newRow("empty protocol") << "a"
                                        << "" << QByteArray("dst=h,access=:}\r\n");
        QTest::newRow("protocol trimmed, lower case") << "a"
                                                      << " RTP " << QByteArray("access=rtp:}\r\n");
        QTest::newRow("line break in an entry")
            << "/m/a\n#EXTVLCOPT:sout=#evil\r\nb.avi"
            << "UDP" << QByteArray("\r\nfile:///m/a%0A%23EXTVLCOPT:sout=%23evil%0D%0Ab.avi\r\n");
    }
    void titles()
    {
        QFETCH(QString, entry);
        QFETCH(QString, protocol);
        QFETCH(QByteArray, firstLines);
        ListWindow w({entry});
        w->ProtokollCombo.setText(protocol);
        const QString file = w.path(QStringLiteral("t.m3u"));
        w->WriteStreamingPlaylist(file);
        QVERIFY2(readAll(file).contains(firstLines), readAll(file).constData());
        QCOMPARE(readAll(file).count("\r\n"), 5);
    }

    // The user's own option values are used as they stand, and a hand edit is seen by the next write.
    void userOptions()
    {
        ListWindow w({"a"});
        const QString ini = w.path(QStringLiteral("mirovell.ini"));
        ini::WriteIniValue(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT1"),
                           QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ps"), ini, true);
        const QString file = w.path(QStringLiteral("u.m3u"));
        w->WriteStreamingPlaylist(file);
        QVERIFY(
            readAll(file).contains("#EXTVLCOPT:sout=#standard{mux=psdst=h,access=udp:}\r\n#EXTVLCOPT:ttl=1\r\na\r\n"));
        ini::WriteIniValue(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT2"), QStringLiteral("#EXTVLCOPT:ttl=4"),
                           ini, true);
        w->WriteStreamingPlaylist(file);
        QVERIFY(readAll(file).contains("#EXTVLCOPT:ttl=4\r\na\r\n"));
    }

    void save_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("answer");   // %1 = the test folder
        QTest::addColumn<QString>("message");  // what the user is told, %1 = the path; empty = nothing
        const QStringList two{"/a.avi", "/b.avi"};
        QTest::newRow("path without extension") << two << "%1/meine liste"
                                                << "";
        QTest::newRow("cancelled") << two << ""
                                   << "";
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
        ListWindow w(entries);
        w->UpdateFileCount();
        const QString path = answer.contains(u'%') ? answer.arg(w.folderPath.chopped(1)) : answer;
        w.dialogs.answerInput(path);
        w->SaveBtn_Click();
        QCOMPARE(w.dialogs.prompts,
                 QStringList{QStringLiteral("Zielpfad eingeben|Zielpfad eingeben (incl.: ' .m3u ' )!|") +
                             QDir::currentPath() + QStringLiteral("/playlist.m3u")});
        QCOMPARE(QFileInfo(path).isFile(), !entries.isEmpty() && message.isEmpty() && !path.isEmpty());
        if (QFileInfo(path).isFile())
            QCOMPARE(readAll(path), QByteArray("#EXTM3U\r\n/a.avi\r\n/b.avi\r\n"));
        QCOMPARE(w.dialogs.messages.size(), size_t(message.isEmpty() ? 0 : 1));
        if (!message.isEmpty())
            QVERIFY(
                QString(w.dialogs.messages[0].title + u'|' + w.dialogs.messages[0].text).contains(message.arg(path)));
        QCOMPARE(w->FilmList.items(), entries);
    }

    void failedWriteKeepsOldFile()
    {
        ListWindow w({QStringLiteral("/new.avi")});
        const QString dir = w.path(QStringLiteral("ro"));
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + QStringLiteral("/keep.m3u");
        writeFile(file, "#EXTM3U\r\n/old.avi\r\n");
        // the temporary file cannot be created beside the target: the old file stays whole
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        const bool rootCanWrite = QFile(dir + QStringLiteral("/probe")).open(QIODevice::WriteOnly);
        QFile::remove(dir + QStringLiteral("/probe"));
        const bool ok = w->WritePlainPlaylist(file);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ok, rootCanWrite);
        QCOMPARE(readAll(file),
                 rootCanWrite ? QByteArray("#EXTM3U\r\n/new.avi\r\n") : QByteArray("#EXTM3U\r\n/old.avi\r\n"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("keep.m3u")});
    }

    void replacedThroughALink()
    {
        // a list kept elsewhere and linked here stays a link to a file of the same mode
        ListWindow w({QStringLiteral("/new.avi")});
        const QString real = w.path(QStringLiteral("real.m3u")), link = w.path(QStringLiteral("link.m3u"));
        writeFile(real, "old");
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
        const QFile::Permissions mode = QFile::permissions(real);
        QVERIFY(QFile::link(real, link) && w->WritePlainPlaylist(link));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("#EXTM3U\r\n/new.avi\r\n"));
        QCOMPARE(QFile::permissions(real), mode);
    }
};

QTEST_GUILESS_MAIN(WriterTest)
#include "tst_writer.moc"
