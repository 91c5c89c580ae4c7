#include "HttpTestServer.h"
#include "RecordingProgress.h"
#include "update/Download.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using download::Error;

class DownloadTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fetch_data();
    void fetch();
    void asksForAFreshCopy();
    void eventLoopKeepsRunning();
    void redirectPolicy_data();
    void redirectPolicy();
    void combinePath_data();
    void combinePath();

private:
    HttpTestServer server_;
    QByteArray body_;
};

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// every entry of the folder, hidden ones too: a leftover temporary file must show
QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

download::Options shortOptions()
{
    download::Options o;
    o.idleTimeoutMs = 400;
    o.maxBytes = qint64(2) << 20;
    return o;
}

}  // namespace

void DownloadTest::initTestCase()
{
    body_.resize(300 * 1024);
    QRandomGenerator gen(7);
    for (char& c : body_)
        c = char(gen.bounded(256));
    server_.serve("/files/setup.exe", body_);
    server_.serve("/files/setup.exe?version=2", body_);
    server_.redirect("/old", "/files/setup.exe");
    server_.redirect("/loop", "/loop2");
    server_.redirect("/loop2", "/loop");
    server_.redirect("/tofile", "file:///etc/passwd");
    server_.route("/stall", {200, "0123456789", {}, HttpTestServer::Kind::Stall});
    server_.route("/endless", {200, {}, {}, HttpTestServer::Kind::Endless});
    server_.route("/short", {200, "0123456789", {}, HttpTestServer::Kind::Truncated});
}

void DownloadTest::fetch_data()
{
    QTest::addColumn<QString>("url");            // a leading "/" is a path on the test server
    QTest::addColumn<QString>("destination");    // {dir} is the test folder
    QTest::addColumn<QByteArray>("existing");    // content of {dir}/out.bin before, if any
    QTest::addColumn<qint64>("cancelAfter");
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("after");      // the folder's entries afterwards
    QTest::addColumn<QByteArray>("content");     // of the first entry; "BODY" is the served file

    const QByteArray none;
    const auto ok = int(Error::None);
    QTest::newRow("into a file") << "/files/setup.exe" << "{dir}/out.bin" << none << -1LL << ok
                                 << QStringList{"out.bin"} << QByteArray("BODY");
    QTest::newRow("into a folder") << "/files/setup.exe" << "{dir}" << none << -1LL << ok
                                   << QStringList{"setup.exe"} << QByteArray("BODY");
    QTest::newRow("into a folder, query dropped") << "/files/setup.exe?version=2" << "{dir}" << none << -1LL << ok
                                                  << QStringList{"setup.exe"} << QByteArray("BODY");
    QTest::newRow("quoted destination") << "/files/setup.exe" << "\"{dir}/out file.bin\"" << none << -1LL << ok
                                        << QStringList{"out file.bin"} << QByteArray("BODY");
    QTest::newRow("quote at one end only") << "/files/setup.exe" << "{dir}/x.bin\"" << none << -1LL << ok
                                           << QStringList{"x.bin\""} << QByteArray("BODY");
    QTest::newRow("existing file replaced") << "/files/setup.exe" << "{dir}/out.bin" << QByteArray("old") << -1LL
                                            << ok << QStringList{"out.bin"} << QByteArray("BODY");
    QTest::newRow("redirect followed") << "/old" << "{dir}/out.bin" << none << -1LL << ok
                                       << QStringList{"out.bin"} << QByteArray("BODY");
    QTest::newRow("404") << "/missing" << "{dir}/out.bin" << none << -1LL << int(Error::Http) << QStringList{}
                         << none;
    QTest::newRow("404 keeps the old file") << "/missing" << "{dir}/out.bin" << QByteArray("old") << -1LL
                                            << int(Error::Http) << QStringList{"out.bin"} << QByteArray("old");
    QTest::newRow("stalling server") << "/stall" << "{dir}/out.bin" << none << -1LL << int(Error::Timeout)
                                     << QStringList{} << none;
    QTest::newRow("endless body") << "/endless" << "{dir}/out.bin" << none << -1LL << int(Error::TooLarge)
                                  << QStringList{} << none;
    QTest::newRow("body shorter than announced") << "/short" << "{dir}/out.bin" << none << -1LL
                                                 << int(Error::Network) << QStringList{} << none;
    QTest::newRow("redirect loop") << "/loop" << "{dir}/out.bin" << none << -1LL << int(Error::Redirect)
                                   << QStringList{} << none;
    QTest::newRow("redirect to a local file") << "/tofile" << "{dir}/out.bin" << none << -1LL
                                              << int(Error::Redirect) << QStringList{} << none;
    QTest::newRow("cancelled keeps the old file") << "/stall" << "{dir}/out.bin" << QByteArray("old") << 1LL
                                                  << int(Error::Cancelled) << QStringList{"out.bin"} << QByteArray("old");
    QTest::newRow("address without slash") << "setup.exe" << "{dir}" << none << -1LL << int(Error::InvalidAddress)
                                           << QStringList{} << none;
    QTest::newRow("not a web address") << "ftp://127.0.0.1/setup.exe" << "{dir}/out.bin" << none << -1LL
                                       << int(Error::InvalidAddress) << QStringList{} << none;
    QTest::newRow("folder does not exist") << "/files/setup.exe" << "{dir}/missing/out.bin" << none << -1LL
                                           << int(Error::Destination) << QStringList{} << none;
}

void DownloadTest::fetch()
{
    QFETCH(QString, url);
    QFETCH(QString, destination);
    QFETCH(QByteArray, existing);
    QFETCH(qint64, cancelAfter);
    QFETCH(int, error);
    QFETCH(QStringList, after);
    QFETCH(QByteArray, content);

    QTemporaryDir dir;
    if (!existing.isEmpty()) {
        QFile f(dir.filePath(QStringLiteral("out.bin")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(existing);
    }
    if (url.startsWith(u'/'))
        url = server_.url(url);
    destination.replace(QStringLiteral("{dir}"), dir.path());
    const int requestsBefore = int(server_.requestedPaths.size());

    RecordingProgress progress;
    progress.cancelAfter = cancelAfter;
    download::Options options = shortOptions();
    options.progress = &progress;
    QElapsedTimer clock;
    clock.start();
    const download::Result r = download::fetch(url, destination, download::kOverwrite, options);

    QCOMPARE(int(r.error), error);
    QCOMPARE(entries(dir.path()), after);
    if (r.ok()) {
        QCOMPARE(r.path, dir.filePath(after.first()));
        QCOMPARE(download::URLDownload(url, destination, download::kOverwrite, options), r.path);
    } else {
        QVERIFY(r.path.isEmpty());
    }
    if (!after.isEmpty())
        QCOMPARE(fileBytes(dir.filePath(after.first())), content == "BODY" ? body_ : content);
    if (error == int(Error::InvalidAddress) && destination == dir.path())
        QCOMPARE(r.code, download::kInvalidAddressCode);
    if (error == int(Error::Http))
        QCOMPARE(r.code, 404);
    // nothing to write to, or nothing valid to ask for: the server is not bothered
    if (error == int(Error::Destination) || error == int(Error::InvalidAddress))
        QCOMPARE(int(server_.requestedPaths.size()), requestsBefore);
    else
        QCOMPARE(progress.ends, progress.begins);
    QVERIFY2(clock.elapsed() < 10000, "a failed transfer must end within its timeout");
}

void DownloadTest::asksForAFreshCopy()
{
    QTemporaryDir dir;
    QVERIFY(download::fetch(server_.url(QStringLiteral("/files/setup.exe")), dir.path(), download::kOverwrite,
                            shortOptions()).ok());
    const QByteArray head = server_.requestHeads.last().toLower();
    QVERIFY2(head.contains("cache-control: no-cache"), head.constData());
    QVERIFY(head.contains("pragma: no-cache"));
}

// The program's window must go on painting while a transfer waits on a slow server.
void DownloadTest::eventLoopKeepsRunning()
{
    QTemporaryDir dir;
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(20);
    int pumps = 0;
    download::Options options = shortOptions();
    options.pumpEvents = [&pumps] { ++pumps; };
    const download::Result r = download::fetch(server_.url(QStringLiteral("/stall")), dir.filePath(QStringLiteral("o")),
                                               download::kOverwrite, options);
    QCOMPARE(r.error, Error::Timeout);
    QCOMPARE(pumps, 1);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void DownloadTest::redirectPolicy_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("https to http") << "https://a.example/x" << "http://a.example/x" << false;
    QTest::newRow("HTTPS to http, any case") << "HTTPS://a.example/x" << "http://b.example/x" << false;
    QTest::newRow("http to https") << "http://a.example/x" << "https://a.example/x" << true;
    QTest::newRow("https to https") << "https://a.example/x" << "https://cdn.example/y" << true;
    QTest::newRow("http to http") << "http://a.example/x" << "http://b.example/x" << true;
    QTest::newRow("to a local file") << "http://a.example/x" << "file:///etc/passwd" << false;
    QTest::newRow("to ftp") << "https://a.example/x" << "ftp://a.example/x" << false;
}

void DownloadTest::redirectPolicy()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, allowed);
    QCOMPARE(download::redirectAllowed(QUrl(from), QUrl(to)), allowed);
}

void DownloadTest::combinePath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("windows folder") << "C:\\dl" << "a.exe" << "C:\\dl\\a.exe";
    QTest::newRow("windows folder with separator") << "C:\\dl\\" << "a.exe" << "C:\\dl\\a.exe";
    QTest::newRow("no folder") << "" << "a.exe" << "a.exe";
    QTest::newRow("unix folder") << "/tmp/dl" << "a" << "/tmp/dl/a";
    QTest::newRow("unix folder with separator") << "/tmp/dl/" << "a" << "/tmp/dl/a";
}

void DownloadTest::combinePath()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(download::CombinePath(folder, name), path);
}

QTEST_GUILESS_MAIN(DownloadTest)
#include "tst_download.moc"
