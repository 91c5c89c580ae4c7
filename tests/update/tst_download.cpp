#include "Doubles.h"
#include "HttpTestServer.h"
#include "update/Download.h"

#include <QRandomGenerator>
#include <QTimer>

using download::Error;

class DownloadTest : public QObject {
    Q_OBJECT
    HttpTestServer server_;
    QByteArray body_;

private slots:
    void initTestCase()
    {
        body_.resize(300 * 1024);
        QRandomGenerator gen(7);
        for (char& c : body_)
            c = char(gen.bounded(256));
        server_.serve("/files/setup.exe", body_);
        server_.serve("/files/setup.exe?v=2", body_);
        server_.redirect("/old", "/files/setup.exe");
        server_.redirect("/loop", "/loop");
        server_.redirect("/tofile", "file:///etc/passwd");
        server_.serve("/stall", "0123456789", HttpTestServer::Kind::Stall);
        server_.serve("/short", "0123456789", HttpTestServer::Kind::Truncated);
        server_.serve("/endless", {}, HttpTestServer::Kind::Endless);
    }

    void fetch_data()
    {
        QTest::addColumn<QString>("url");          // a leading "/" is a path on the test server
        QTest::addColumn<QString>("destination");  // {dir} is the test folder
        QTest::addColumn<bool>("oldFile");         // out.bin holds "old" before
        QTest::addColumn<Error>("error");
        QTest::addColumn<QString>("written");  // the file's name on success

        const QString setup = "/files/setup.exe", out = "{dir}/out.bin";
        QTest::newRow("into a file, replacing") << setup << out << true << Error::None << "out.bin";
        QTest::newRow("into a folder, no query") << setup + "?v=2"
                                                 << "{dir}" << false << Error::None << "setup.exe";
        QTest::newRow("quoted destination") << setup << "\"{dir}/a b.bin\"" << false << Error::None << "a b.bin";
        QTest::newRow("redirect followed") << "/old" << out << false << Error::None << "out.bin";
        QTest::newRow("404 keeps the old file") << "/missing" << out << true << Error::Http << "";
        QTest::newRow("stalling server") << "/stall" << out << false << Error::Timeout << "";
        QTest::newRow("cancelled keeps the old file") << "/stall" << out << true << Error::Cancelled << "";
        QTest::newRow("body shorter than announced") << "/short" << out << false << Error::Network << "";
        QTest::newRow("endless body") << "/endless" << out << false << Error::TooLarge << "";
        QTest::newRow("redirect loop") << "/loop" << out << false << Error::Redirect << "";
        QTest::newRow("redirect to a local file") << "/tofile" << out << false << Error::Redirect << "";
        QTest::newRow("address without slash") << "setup.exe"
                                               << "{dir}" << false << Error::InvalidAddress << "";
        QTest::newRow("not a web address") << "ftp://127.0.0.1/a" << out << false << Error::InvalidAddress << "";
        QTest::newRow("folder does not exist") << setup << "{dir}/missing/out.bin" << false << Error::Destination << "";
    }

    void fetch()
    {
        QFETCH(QString, url);
        QFETCH(QString, destination);
        QFETCH(bool, oldFile);
        QFETCH(Error, error);
        QFETCH(QString, written);
        QTemporaryDir dir;
        if (oldFile)
            writeFile(dir.filePath("out.bin"), "old");
        if (url.startsWith(u'/'))
            url = server_.url(url);
        destination.replace("{dir}", dir.path());
        const qsizetype requestsBefore = server_.requestedPaths.size();
        RecordingProgress progress;
        progress.cancelAfter = error == Error::Cancelled ? 1 : -1;
        download::Options options;
        options.idleTimeoutMs = 400;
        options.maxBytes = qint64(2) << 20;
        options.progress = &progress;
        int ticks = 0;  // the window must go on painting while a transfer waits
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(20);

        const download::Result r = download::fetch(url, destination, download::kOverwrite, options);

        QCOMPARE(r.error, error);
        QCOMPARE(r.path, written.isEmpty() ? QString() : dir.filePath(written));
        // a failed transfer leaves the folder as it was: no partial or temporary file
        const QStringList after = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(after, !written.isEmpty() ? QStringList{written} : oldFile ? QStringList{"out.bin"} : QStringList{});
        if (!after.isEmpty())
            QCOMPARE(readAll(dir.filePath(after.first())), r.ok() ? body_ : QByteArray("old"));
        if (r.ok())  // the cache is bypassed
            QVERIFY(server_.requestHeads.last().toLower().contains("cache-control: no-cache"));
        if (error == Error::Http)
            QCOMPARE(r.code, 404);
        if (error == Error::Timeout)
            QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        // nothing to write to, or nothing valid to ask for: the server is not bothered
        if (error == Error::Destination || error == Error::InvalidAddress)
            QCOMPARE(server_.requestedPaths.size(), requestsBefore);
        else
            QCOMPARE(progress.ends, progress.begins);
        if (url == "setup.exe")
            QCOMPARE(r.code, download::kInvalidAddressCode);
    }

    // Local test servers speak plain HTTP, so the rule for redirects is checked on its own.
    void redirectPolicy()
    {
        QVERIFY(!download::redirectAllowed(QUrl("HTTPS://a.example/x"), QUrl("http://b.example/x")));
        QVERIFY(!download::redirectAllowed(QUrl("https://a.example/x"), QUrl("ftp://a.example/x")));
        QVERIFY(download::redirectAllowed(QUrl("http://a.example/x"), QUrl("https://a.example/x")));
        QVERIFY(download::redirectAllowed(QUrl("https://a.example/x"), QUrl("https://cdn.example/y")));
    }
};

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
