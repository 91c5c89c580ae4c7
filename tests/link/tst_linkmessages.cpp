#include "link/LinkMessages.h"
#include "link/MessageReader.h"
#include "platform/Codec.h"

#include <QTest>

using namespace linkmsg;

namespace {

QList<QByteArray> frame(const QList<QByteArray>& pieces, bool pauseAtEnd = true)
{
    Framer f;
    QList<QByteArray> out;
    for (const QByteArray& p : pieces) {
        f.append(p);
        while (auto m = f.next())
            out << *m;
    }
    if (pauseAtEnd)
        if (auto m = f.flush())
            out << *m;
    return out;
}

}  // namespace

class TestLinkMessages : public QObject {
    Q_OBJECT
private slots:
    void buildsTheWireFormat()
    {
        QCOMPARE(BuildTrackList({}), QStringLiteral("1113TRACKLIST:0;"));
        QCOMPARE(BuildTrackList({QStringLiteral("a.avi"), QStringLiteral("b.mpg")}),
                 QStringLiteral("1113TRACKLIST:2;a.avi;b.mpg;"));
        QCOMPARE(BuildTrackRequest(QStringLiteral("C:\\b.avi")), QStringLiteral("1113STARTTRACK:C:\\b.avi"));
        // German names go out as single bytes, others as UTF-8
        QCOMPARE(codec::encodeForLink(BuildTrackRequest(QStringLiteral("Übung.avi"))),
                 QByteArray("1113STARTTRACK:\xDC" "bung.avi"));
        QCOMPARE(codec::decodeFromLink(codec::encodeForLink(QStringLiteral("1113STARTTRACK:日本.avi"))),
                 QStringLiteral("1113STARTTRACK:日本.avi"));
    }

    void readsTypeCodes_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("body");
        QTest::newRow("track list") << "1113TRACKLIST:0;" << 1113 << "TRACKLIST:0;";
        QTest::newRow("notice") << "1111Server" << 1111 << "Server";
        QTest::newRow("letters") << "abcdTRACKLIST:1;a;" << 0 << "TRACKLIST:1;a;";
        QTest::newRow("short") << "111" << 111 << "";
        QTest::newRow("leading blank") << " 1113TRACKLIST:1;a;" << 111 << "3TRACKLIST:1;a;";
        QTest::newRow("empty") << "" << 0 << "";
    }
    void readsTypeCodes()
    {
        QFETCH(QString, message);
        const Parsed p = Parse(message);
        QTEST(p.typeCode, "code");
        QTEST(p.body, "body");
    }

    void splitsTrackLists_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("three") << "a;b;c;" << QStringList{"a", "b", "c"};
        QTest::newRow("no final separator") << "a;b;c" << QStringList{"a", "b"};
        QTest::newRow("empty entry") << "a;;b;" << QStringList{"a", "", "b"};
        QTest::newRow("separator in a name") << "x;y.avi;" << QStringList{"x", "y.avi"};
    }
    void splitsTrackLists()
    {
        QFETCH(QString, list);
        QTEST(SplitTrackList(list), "entries");
    }

    void splitsLongListsWhole()
    {
        QStringList entries;
        for (int i = 0; i < 32767; ++i)
            entries << QStringLiteral("/srv/media/a rather long folder name/film number %1.mkv").arg(i);
        const QString m = BuildTrackList(entries);
        QVERIFY(m.size() > 32767 * 50);
        QCOMPARE(SplitTrackList(m.mid(m.indexOf(u';') + 1)), entries);
    }

    void findsRequestedEntries_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        const QStringList two{"C:\\a.avi", "C:\\b.avi"};
        QTest::newRow("exact") << two << "C:\\b.avi" << 1;
        QTest::newRow("last containing") << QStringList{"C:\\x\\film.avi", "C:\\y\\film.avi"} << "film.avi" << 1;
        QTest::newRow("equal wins over containing")
            << QStringList{"film.avi", "C:\\y\\film.avi"} << "film.avi" << 0;
        QTest::newRow("no match") << two << "Warte auf Playlist ..." << -1;
        QTest::newRow("empty name") << two << "" << -1;
    }
    void findsRequestedEntries()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, name);
        QTEST(FindRequestedEntry(entries, name), "index");
    }

    // Wherever TCP cuts a message, it comes out once and whole.
    void joinsEverySplitPoint_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("track list") << QByteArray("1113TRACKLIST:3;C:\\a.avi;;x\xE4y.mpg;");
        QTest::newRow("empty list") << QByteArray("1113TRACKLIST:0;");
        QTest::newRow("request") << QByteArray("1113STARTTRACK:C:\\1113\\b.avi");
        QTest::newRow("reset") << QByteArray("1113RESETPLAYLIST:");
        QTest::newRow("notice") << QByteArray("1111Server");
    }
    void joinsEverySplitPoint()
    {
        QFETCH(QByteArray, message);
        for (qsizetype cut = 1; cut < message.size(); ++cut) {
            const auto out = frame({message.left(cut), message.mid(cut)});
            QVERIFY2(out == QList<QByteArray>{message}, qPrintable(QString::number(cut)));
            // and in three pieces
            for (qsizetype cut2 = cut + 1; cut2 < message.size(); cut2 += 3) {
                const auto out3 = frame({message.left(cut), message.mid(cut, cut2 - cut), message.mid(cut2)});
                QVERIFY(out3 == QList<QByteArray>{message});
            }
        }
    }

    void separatesMessagesInOneRead_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("messages");
        QTest::newRow("two lists")
            << QByteArray("1113TRACKLIST:1;a;1113TRACKLIST:1;a;")
            << QList<QByteArray>{"1113TRACKLIST:1;a;", "1113TRACKLIST:1;a;"};
        QTest::newRow("three requests")
            << QByteArray("1113STARTTRACK:a1113STARTTRACK:b1113RESETPLAYLIST:")
            << QList<QByteArray>{"1113STARTTRACK:a", "1113STARTTRACK:b", "1113RESETPLAYLIST:"};
        QTest::newRow("list, request, list")
            << QByteArray("1113TRACKLIST:2;a;b;1113STARTTRACK:a1113TRACKLIST:0;")
            << QList<QByteArray>{"1113TRACKLIST:2;a;b;", "1113STARTTRACK:a", "1113TRACKLIST:0;"};
        QTest::newRow("count too high, next head ends it")
            << QByteArray("1113TRACKLIST:5;a;1113TRACKLIST:1;b;")
            << QList<QByteArray>{"1113TRACKLIST:5;a;", "1113TRACKLIST:1;b;"};
        QTest::newRow("name holding a separator")
            << QByteArray("1113TRACKLIST:1;x;y.avi;1113TRACKLIST:0;")
            << QList<QByteArray>{"1113TRACKLIST:1;x;y.avi;", "1113TRACKLIST:0;"};
        QTest::newRow("garbage before a head")
            << QByteArray(" abc 1111 1113TRACKLIST:1;a;")
            << QList<QByteArray>{"1113TRACKLIST:1;a;"};
        QTest::newRow("garbage only") << QByteArray("hello\r\n\x00\xff 111") << QList<QByteArray>{};
        QTest::newRow("cut head at a pause") << QByteArray("1113TRACK") << QList<QByteArray>{};
        QTest::newRow("list without final separator at a pause")
            << QByteArray("1113TRACKLIST:3;a;b;c") << QList<QByteArray>{"1113TRACKLIST:3;a;b;c"};
    }
    void separatesMessagesInOneRead()
    {
        QFETCH(QByteArray, stream);
        QTEST(frame({stream}), "messages");
    }

    void dropsLongGarbageAsItComes()
    {
        Framer f;
        const QByteArray junk(1 << 20, 'x');
        for (int i = 0; i < 100; ++i) {
            f.append(junk);
            QVERIFY(!f.next());
            QVERIFY(f.buffered() < 64);
        }
        f.append("1113STARTTRACK:a");
        QCOMPARE(f.flush().value_or(QByteArray()), QByteArray("1113STARTTRACK:a"));
    }

    void readerHandsOnWholeMessagesAndDropsOversized()
    {
        QStringList got;
        int batches = 0, overflows = 0;
        MessageReader r({[&](const QString& m) { got << m; }, [&] { ++batches; }, [&] { ++overflows; }});
        r.feed("1113TRACKLIST:2;a;");
        QVERIFY(got.isEmpty());
        r.feed("b;1113STARTTRACK:a");
        QCOMPARE(got, QStringList{"1113TRACKLIST:2;a;b;"});
        // a request has no end of its own: it is whole once the data pauses
        QTRY_COMPARE(got.size(), 2);
        QCOMPARE(got.last(), QStringLiteral("1113STARTTRACK:a"));
        QCOMPARE(batches, 2);

        r.feed("1113STARTTRACK:");
        const QByteArray chunk(1 << 20, 'y');
        for (int i = 0; i < 17 && overflows == 0; ++i)
            r.feed(chunk);
        QCOMPARE(overflows, 1);
        QCOMPARE(r.buffered(), 0);
        QCOMPARE(got.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLinkMessages)
#include "tst_linkmessages.moc"
