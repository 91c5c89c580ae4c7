#include "link/LinkMessages.h"
#include "link/RemoteMessages.h"
#include "link/RequestIndex.h"
#include "link/RetryBackoff.h"
#include "link/WholeNameIndex.h"
#include "platform/Codec.h"
#include "platform/PeerBudget.h"

#include <QSignalSpy>
#include <QTest>

using namespace linkmsg;

namespace {

QList<QByteArray> frame(const QList<QByteArray>& pieces)
{
    Framer f;
    QList<QByteArray> out;
    for (const QByteArray& p : pieces) {
        f.append(p);
        while (auto m = f.next())
            out << *m;
    }
    if (auto m = f.flush())
        out << *m;
    return out;
}

}  // namespace

// The link's messages, built, read and framed; and what a peer's messages may cost: which entry a
// request names (through the index, as the plain two-pass rule would), how many messages a second
// are heard, and how often a failed connection is tried again.
class TestLinkMessages : public QObject {
    Q_OBJECT
private slots:
    void buildsTheWireFormat()
    {
        QCOMPARE(BuildTrackList({}), "1113TRACKLIST:0;");
        QCOMPARE(BuildTrackList({"a.avi", "b.mpg"}), "1113TRACKLIST:2;a.avi;b.mpg;");
        // German names go out as single bytes, others as UTF-8
        QCOMPARE(codec::encodeForLink(BuildTrackRequest("Übung.avi")), QByteArray("1113STARTTRACK:\334bung.avi"));
        QCOMPARE(codec::decodeFromLink(codec::encodeForLink(QStringLiteral("1113STARTTRACK:日本.avi"))),
                 "1113STARTTRACK:日本.avi");
        // a full list of long paths comes back whole; one entry more is cut off
        QStringList entries;
        for (int i = 0; i < 32768; ++i)
            entries << QStringLiteral("/srv/media/ein längerer Ordner/film number %1.mkv").arg(i);
        QCOMPARE(TrackListEntries(codec::encodeForLink(BuildTrackList(entries))), entries.mid(0, kMaxEntries));
        // the bytes built straight from the list are the text's bytes: single bytes until one entry,
        // however late, needs UTF-8
        const QString lone[] = {QString(QChar(0xD800)), QString(QChar(0xDC00))};  // halves of a pair
        for (const QStringList& list :
             {QStringList{}, QStringList{"€ Übung.avi", "a"}, entries, QStringList{"a.avi", "b\u00FF", "日本.avi", "z"},
              QStringList{"x" + lone[0], lone[1] + "y", lone[0], "😀"}})
            QCOMPARE(EncodeTrackList(list), codec::encodeForLink(BuildTrackList(list)));
    }

    void parsesTheEdgeCases()
    {
        QCOMPARE(Parse("111").typeCode, 111);
        // junk in front shifts the type code, so the message is not understood
        const Parsed shifted = Parse(" 1113TRACKLIST:1;a;");
        QCOMPARE(shifted.typeCode, 111);
        QCOMPARE(shifted.body, "3TRACKLIST:1;a;");
        QCOMPARE(TrackListEntries("1113TRACKLIST:"), QStringList());
        QCOMPARE(TrackListEntries("1113TRACKLIST:3;a;;b;c"), (QStringList{"a", "", "b"}));
        // every entry is read as the whole message reads
        QCOMPARE(TrackListEntries("1113TRACKLIST:2;\xC3\x9C;\xE4;"), (QStringList{"Ãœ", "ä"}));
        QCOMPARE(TrackListEntries("1113TRACKLIST:1;\xC3\x9C;"), QStringList{"Ü"});
        // a byte after the last entry decides too, and a long plain start is kept before the rest
        QCOMPARE(TrackListEntries("1113TRACKLIST:2;\xC3\x9C;/srv/ein langer Ordner/\xE4\x80x;\xE4"),
                 (QStringList{"Ãœ", "/srv/ein langer Ordner/ä€x"}));
        // entries read from one message stay apart: ended by '\0', changed alone, outliving the list
        QStringList got = TrackListEntries("1113TRACKLIST:3;abc;de;f;");
        QVERIFY(std::all_of(got.begin(), got.end(), [](const QString& e) { return e.utf16()[e.size()] == 0; }));
        QString kept = got[1];
        got[0] += u'x';
        got[1][0] = u'D';
        QCOMPARE(got, (QStringList{"abcx", "De", "f"}));
        got.clear();
        QCOMPARE(kept += "zz", "dezz");
    }

    // What the remote control's messages say, and what is no such message.
    void readsSteering_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("index");  // -2: no now-playing message
        QTest::addColumn<int>("state");  // 0 playing, 1 paused, 2 cannot be steered
        QTest::newRow("playing") << "NOWPLAYING:3,0;" << 3 << 0;
        QTest::newRow("paused") << "NOWPLAYING:0,1;" << 0 << 1;
        QTest::newRow("nothing, not steerable") << "NOWPLAYING:-1,x;" << -1 << 2;
        QTest::newRow("index below nothing") << "NOWPLAYING:-2,0;" << -2 << 0;
        QTest::newRow("unknown state") << "NOWPLAYING:1,2;" << -2 << 0;
        QTest::newRow("no end") << "NOWPLAYING:1,0" << -2 << 0;
        QTest::newRow("a name for an index") << "NOWPLAYING:a.avi,0;" << -2 << 0;
    }
    void readsSteering()
    {
        QFETCH(QString, body);
        QFETCH(int, index);
        QFETCH(int, state);
        const auto now = remotemsg::nowPlayingIn(body);
        QCOMPARE(now.has_value(), index != -2);
        if (now) {
            QCOMPARE(now->index, index);
            QCOMPARE(now->paused, state == 1);
            QCOMPARE(now->steerable, state != 2);
            QCOMPARE(QString::fromLatin1(remotemsg::nowPlaying(now->index, now->paused, now->steerable)),
                     "1113" + body);
        }
        QVERIFY(remotemsg::isHello("REMOTE:1;") && remotemsg::isHello("REMOTE:7;"));
        QVERIFY(!remotemsg::isHello("REMOTE:0;") && !remotemsg::isHello("REMOTE:1") && !remotemsg::isHello("REMOTE:;"));
        QCOMPARE(remotemsg::commandIn("PAUSE:"), remotemsg::Command::Pause);
        QVERIFY(!remotemsg::commandIn("PAUSE:x") && !remotemsg::commandIn("pause:"));
    }

    // A request ends as soon as its text can only be one entry; a list after the entries that fit.
    void endsByContent_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("whole");
        QTest::newRow("an entry") << QByteArray("/m/b.avi") << true;
        QTest::newRow("the start of one") << QByteArray("/m/b") << false;
        QTest::newRow("another entry begins with it") << QByteArray("/m/Folge 1") << false;
        QTest::newRow("the longer one") << QByteArray("/m/Folge 11") << true;
        QTest::newRow("in Windows-1252") << QByteArray("/m/\334bung.avi") << true;
        QTest::newRow("an entry twice in the list") << QByteArray("/m/zwei") << false;
    }
    void endsByContent()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, whole);
        WholeNameIndex names;
        names.rebuild({"/m/Folge 1", "/m/Folge 11", "/m/b.avi", "/m/Übung.avi", "/m/zwei", "/m/zwei"});
        Framer f(&names);
        f.append("1113STARTTRACK:" + name);
        QCOMPARE(f.next().has_value(), whole);

        const QByteArray list = "1113TRACKLIST:40000;" + QByteArray("a;").repeated(40000);
        f.clear();
        f.append(list);
        QCOMPARE(f.next(), list.left(20 + 2 * kMaxEntries));
        QVERIFY(!f.next() && f.overflowed());
        f.clear();
        f.append(list.left(20 + 2 * kMaxEntries) + "1113RESETPLAYLIST:");  // a head after it is fine
        QVERIFY(f.next() && f.next() == "1113RESETPLAYLIST:" && !f.overflowed());
    }

    // Wherever TCP cuts the stream in two (a lone message: in three), the same whole messages come out.
    void framesAtEverySplitPoint_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<QByteArray>>("messages");
        // a ";" in a name, or a notice head inside garbage, reads differently when cut there
        QTest::addColumn<bool>("cuttable");
        for (const QByteArray& one :
             {QByteArray("1113TRACKLIST:3;C:\\a.avi;;x\xE4y.mpg;"), QByteArray("1113STARTTRACK:C:\\1113\\b.avi"),
              QByteArray("1113RESETPLAYLIST:"), QByteArray("1111Server")})
            QTest::newRow(one.left(18).constData()) << one << QList<QByteArray>{one} << true;
        // clang-format off
        QTest::newRow("two lists") << QByteArray("1113TRACKLIST:1;a;1113TRACKLIST:0;") << QList<QByteArray>{"1113TRACKLIST:1;a;", "1113TRACKLIST:0;"} << true;
        QTest::newRow("list, request, reset") << QByteArray("1113TRACKLIST:2;a;b;1113STARTTRACK:a1113RESETPLAYLIST:junk") << QList<QByteArray>{"1113TRACKLIST:2;a;b;", "1113STARTTRACK:a", "1113RESETPLAYLIST:"} << true;
        QTest::newRow("count too high, next head ends it") << QByteArray("1113TRACKLIST:5;a;1113TRACKLIST:1;b;") << QList<QByteArray>{"1113TRACKLIST:5;a;", "1113TRACKLIST:1;b;"} << true;
        QTest::newRow("name holding a separator") << QByteArray("1113TRACKLIST:1;x;y.avi;1113TRACKLIST:0;") << QList<QByteArray>{"1113TRACKLIST:1;x;y.avi;", "1113TRACKLIST:0;"} << false;
        QTest::newRow("garbage before a head") << QByteArray(" abc 1111 1113TRACKLIST:1;a;") << QList<QByteArray>{"1113TRACKLIST:1;a;"} << false;
        QTest::newRow("garbage only") << QByteArray("hello\r\n\x00\xff 111", 13) << QList<QByteArray>{} << true;
        QTest::newRow("cut head at a pause") << QByteArray("1113TRACK") << QList<QByteArray>{} << true;
        QTest::newRow("steering joined") << QByteArray("1113REMOTE:1;1113NOWPLAYING:2,1;1113PAUSE:1113NEXT:1113PREV:1113TRACKLIST:0;") << QList<QByteArray>{"1113REMOTE:1;", "1113NOWPLAYING:2,1;", "1113PAUSE:", "1113NEXT:", "1113PREV:", "1113TRACKLIST:0;"} << true;
        QTest::newRow("list without final separator at a pause") << QByteArray("1113TRACKLIST:3;a;b;c") << QList<QByteArray>{"1113TRACKLIST:3;a;b;c"} << true;
        // clang-format on
    }
    void framesAtEverySplitPoint()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<QByteArray>, messages);
        QFETCH(bool, cuttable);
        QCOMPARE(frame({stream}), messages);
        for (qsizetype cut = 1; cuttable && cut < stream.size(); ++cut) {
            QVERIFY2(frame({stream.left(cut), stream.mid(cut)}) == messages, qPrintable(QString::number(cut)));
            for (qsizetype cut2 = cut + 1; messages == QList<QByteArray>{stream} && cut2 < stream.size(); cut2 += 3)
                QVERIFY(frame({stream.left(cut), stream.mid(cut, cut2 - cut), stream.mid(cut2)}) == messages);
        }
    }

    void indexNamesTheSameEntryAsTheRule_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("name");
        const QStringList paths{"C:\\x\\film.avi", "film.avi", "C:\\y\\film.avi", "/m/a b.mkv",   "/m/Folge 11",
                                "/m/Folge 1",      "/m/zwei",  "/m/zwei",         "/m/Übung.avi", ""};
        for (const char* name : {"film.avi", "film", "C:\\", "/m/Folge 1", "Folge 1", "zwei", "/m/zwei", "Übung",
                                 "b.mkv", "nicht da", ";", "1113", "", "a", "avi"})
            QTest::newRow(qPrintable(QStringLiteral("'%1'").arg(QString::fromUtf8(name))))
                << paths << QString::fromUtf8(name);
        QTest::newRow("equal wins over a later containing one") << QStringList{"ab", "xaby"} << "ab";
        QTest::newRow("the last equal one") << QStringList{"ab", "c", "ab"} << "ab";
        QTest::newRow("the last containing one") << QStringList{"xab", "c", "abx", "d"} << "ab";
        QTest::newRow("not across two entries") << QStringList{"xa", "by"} << "ab";
        QTest::newRow("a name holding a nul")
            << QStringList{"a", QString::fromUtf8("b\0c", 3)} << QString::fromUtf8("\0", 1);
        QTest::newRow("entries holding a nul") << QStringList{QString::fromUtf8("a\0b", 3), "c"} << "b";
        QTest::newRow("an empty list") << QStringList{} << "a";
    }
    void indexNamesTheSameEntryAsTheRule()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, name);
        // the rule: the last entry equal to the name, else the last containing it
        int expected = -1;
        for (qsizetype i = entries.size() - 1; i >= 0 && expected < 0 && !name.isEmpty(); --i)
            if (entries[i] == name)
                expected = int(i);
        for (qsizetype i = entries.size() - 1; i >= 0 && expected < 0 && !name.isEmpty(); --i)
            if (entries[i].contains(name))
                expected = int(i);
        QCOMPARE(FindRequestedEntry(entries, name), expected);
        // a kept index follows the list it watches once told it changed
        QStringList list = entries;
        RequestIndex index(&list);
        QCOMPARE(index.find(name), expected);
        list.prepend(name);
        index.markStale();
        const int equalAt = int(entries.lastIndexOf(name));
        QCOMPARE(index.find(name), name.isEmpty() ? -1 : equalAt >= 0 ? equalAt + 1 : 0);
    }

    void budgetHearsAFewMessagesASecond_data()
    {
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("spacingMs");
        QTest::addColumn<int>("taken");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<bool>("disconnected");
        QTest::newRow("a burst within the budget") << 10 << 0 << 10 << 0 << false;
        QTest::newRow("a burst beyond it") << 25 << 0 << 10 << 15 << false;
        QTest::newRow("a flood") << 1000 << 0 << 10 << 20 << true;
        QTest::newRow("one every 100 ms, for a minute") << 600 << 100 << 600 << 0 << false;
        QTest::newRow("fifteen a second goes on too long") << 1000 << 66 << -1 << -1 << true;
        QTest::newRow("a request every second") << 100 << 1000 << 100 << 0 << false;
    }
    void budgetHearsAFewMessagesASecond()
    {
        QFETCH(int, messages);
        QFETCH(int, spacingMs);
        QFETCH(int, taken);
        QFETCH(int, dropped);
        QFETCH(bool, disconnected);
        qint64 now = 0;
        PeerBudget budget([&now] { return now; });
        int took = 0, drops = 0;
        bool gone = false;
        for (int i = 0; i < messages && !gone; ++i, now += spacingMs) {
            const PeerBudget::Verdict v = budget.charge();
            took += v == PeerBudget::Verdict::Take;
            drops += v == PeerBudget::Verdict::Drop;
            gone = v == PeerBudget::Verdict::Disconnect;
        }
        QCOMPARE(gone, disconnected);
        if (taken >= 0) {
            QCOMPARE(took, taken);
            QCOMPARE(drops, dropped);
        }
        // a quiet second forgives what was overdone
        now += 1000;
        QCOMPARE(budget.charge(), PeerBudget::Verdict::Take);
    }

    void retriesBackOff()
    {
        qint64 now = 0;
        RetryBackoff backoff([&now] { return now; });
        backoff.seed(20);
        // the waits double from half a second up to 30 s, spread by a quarter either way
        for (int failures = 1; failures <= 12; ++failures) {
            const int base = std::min(500 << (failures - 1), 30000);
            for (int k = 0; k < 50; ++k) {
                const int d = backoff.delayMs(failures);
                QVERIFY2(d >= base * 3 / 4 && d <= base * 5 / 4, qPrintable(QString::number(d)));
            }
        }
        // after the first ten seconds, on average no more than one attempt a second
        for (quint32 seed = 1; seed <= 20; ++seed) {
            backoff.seed(seed);
            qint64 at = 0;
            int afterTen = 0;
            for (int failures = 1; at < 600000; ++failures) {
                at += backoff.delayMs(failures);
                afterTen += at > 10000;
            }
            QVERIFY(afterTen <= (at - 10000) / 1000);
            QVERIFY(afterTen >= 1);
        }
        // a connection closed at once counts as a failure; one that held starts afresh
        backoff.failed();
        backoff.failed();
        backoff.connected();
        now += 100;
        backoff.closed();
        QCOMPARE(backoff.failures(), 3);
        QVERIFY(!backoff.mayTry());
        backoff.connected();
        now += RetryBackoff::kHeldMs;
        backoff.closed();
        QCOMPARE(backoff.failures(), 1);
        QSignalSpy retried(&backoff, &RetryBackoff::retry);
        QVERIFY(retried.wait(5000));
        QVERIFY(backoff.mayTry());
    }
};

QTEST_GUILESS_MAIN(TestLinkMessages)
#include "tst_linkmessages.moc"
