#include "link/LinkMessages.h"
#include "link/RequestIndex.h"
#include "link/RetryBackoff.h"
#include "platform/PeerBudget.h"

#include <QSignalSpy>
#include <QTest>

// What a peer's messages may cost: which entry a request names (through the index, as the plain
// two-pass rule would), how many messages a second are heard, and how often a failed connection
// is tried again.
class TestLinkBudget : public QObject {
    Q_OBJECT
private slots:
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
        QCOMPARE(linkmsg::FindRequestedEntry(entries, name), expected);
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

QTEST_GUILESS_MAIN(TestLinkBudget)
#include "tst_linkbudget.moc"
