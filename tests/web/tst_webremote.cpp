#include "web/QrCode.h"
#include "web/WebRemote.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QWebSocket>

// The web remote on loopback, asked by hand-made HTTP: who gets the list and the controls, and
// what a host may cost.
class TestWebRemote : public QObject {
    Q_OBJECT

    struct Answer {
        int status = 0;
        QByteArray headers, body;
    };
    WebRemote* web_ = nullptr;
    qint64 now_ = 0;
    const QStringList list_{"/m/one.avi", "/m/two.avi", "/m/three.avi"};

    QByteArray request(const QByteArray& method, const QByteArray& path, const QByteArray& cookie = {},
                       const QByteArray& body = {}, const QByteArray& origin = {})
    {
        QByteArray r =
            method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(web_->port()) + "\r\n";
        if (!cookie.isEmpty())
            r += "Cookie: " + cookie + "\r\n";
        if (!origin.isEmpty())
            r += "Origin: " + origin + "\r\n";
        return r + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    // One request on a connection of its own; status 0 when the connection ends without an answer.
    Answer ask(const QByteArray& raw)
    {
        QTcpSocket s;
        QByteArray got;
        connect(&s, &QTcpSocket::readyRead, this, [&] { got += s.readAll(); });
        s.connectToHost(QHostAddress::LocalHost, web_->port());
        s.write(raw);
        Answer a;
        const auto whole = [&] {
            const qsizetype end = got.indexOf("\r\n\r\n"), at = got.toLower().indexOf("content-length: ");
            const int length = at < 0 || at > end ? 0 : got.mid(at + 16).split('\r').first().toInt();
            if (end < 0 || got.size() < end + 4 + length)
                return false;
            a = {got.mid(9, 3).toInt(), got.left(end), got.mid(end + 4, length)};
            return true;
        };
        (void)QTest::qWaitFor([&] { return whole() || s.state() == QAbstractSocket::UnconnectedState; }, 5000);
        return a;
    }
    static QByteArray cookieOf(const Answer& a)
    {
        const qsizetype at = a.headers.indexOf("Set-Cookie: ");
        return at < 0 ? QByteArray() : a.headers.mid(at + 12).split(';').first();
    }
    // A browser of this host let in: its cookie.
    QByteArray letIn()
    {
        ask(request("POST", "/ask"));
        web_->answer(QStringLiteral("127.0.0.1"), true);
        return cookieOf(ask(request("POST", "/ask")));
    }
    // A page as the browser opens it, with the cookie it was given.
    std::unique_ptr<QWebSocket> open(const QByteArray& cookie)
    {
        auto page = std::make_unique<QWebSocket>();
        QNetworkRequest r(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(web_->port())));
        r.setRawHeader("Cookie", cookie);
        page->open(r);
        return page;
    }

private slots:
    void init()
    {
        now_ = 0;
        web_ = new WebRemote([this] { return list_; }, [this] { return now_; });
        web_->listChanged();
        QVERIFY(web_->start(0, QHostAddress::LocalHost));
    }
    void cleanup()
    {
        delete web_;
        web_ = nullptr;
    }

    // What a host not let in sees and may do is checked in scripts/web-remote.sh; here a forged cookie.
    void aForgedCookieGetsNothing()
    {
        QVERIFY(ask(request("GET", "/")).headers.contains("Content-Security-Policy: default-src 'none'"));
        const QByteArray forged = "mirovell=" + QByteArray(32, 'a');
        QCOMPARE(ask(request("GET", "/state", forged)).status, 403);
        QSignalSpy next(web_, &WebRemote::nextRequested);
        QCOMPARE(ask(request("POST", "/next", forged)).status, 403);
        QCOMPARE(next.count(), 0);
    }

    void theUserIsAskedOnceAndTheAnswerCounts_data()
    {
        QTest::addColumn<bool>("allow");
        QTest::newRow("Zulassen") << true;
        QTest::newRow("Ablehnen") << false;
    }
    void theUserIsAskedOnceAndTheAnswerCounts()
    {
        QFETCH(bool, allow);
        QSignalSpy asked(web_, &WebRemote::admissionAsked);
        QCOMPARE(ask(request("POST", "/ask")).status, 202);
        QCOMPARE(ask(request("POST", "/ask")).status, 202);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.first().first().toString(), QStringLiteral("127.0.0.1"));
        web_->answer(QStringLiteral("127.0.0.1"), allow);
        const Answer a = ask(request("POST", "/ask"));
        QCOMPARE(a.status, allow ? 200 : 403);
        QCOMPARE(cookieOf(a).isEmpty(), !allow);
        if (!allow)
            return;
        QVERIFY(a.headers.contains("HttpOnly; SameSite=Strict"));
        QCOMPARE(cookieOf(a).size(), 9 + 32);  // mirovell= and 128 bits in hex
    }

    void theCommandsOfABrowserLetIn()
    {
        const QByteArray cookie = letIn();
        QSignalSpy played(web_, &WebRemote::trackRequested);
        QSignalSpy paused(web_, &WebRemote::pauseRequested);
        QCOMPARE(ask(request("POST", "/play", cookie, R"({"index":1,"entry":"/m/one.avi"})")).status, 409);
        QCOMPARE(ask(request("POST", "/play", cookie, R"({"index":7,"entry":"/m/two.avi"})")).status, 409);
        QCOMPARE(ask(request("POST", "/play", cookie, "not json")).status, 409);
        QCOMPARE(ask(request("POST", "/play", cookie, R"({"index":1,"entry":"/m/two.avi"})")).status, 200);
        QCOMPARE(played.count(), 1);  // and none for the requests refused before
        QCOMPARE(played.first(), (QVariantList{1, QStringLiteral("/m/two.avi")}));
        // another site's page in the same browser steers nothing
        QCOMPARE(ask(request("POST", "/pause", cookie, {}, "http://elsewhere.example")).status, 403);
        QCOMPARE(ask(request("POST", "/pause", cookie)).status, 200);
        QCOMPARE(paused.count(), 1);  // the one let through
        // taken back
        web_->forget();
        QCOMPARE(ask(request("GET", "/state", cookie)).status, 403);
        QCOMPARE(ask(request("POST", "/ask")).status, 202);
    }

    void oneHostCannotPushTheOthersTokensOut()
    {
        WebAccess access;
        access.setAnswers({"10.0.0.1", "10.0.0.2"}, {});
        QByteArray other, first, token;
        bool asked = false;
        QCOMPARE(access.ask("10.0.0.2", &other, &asked), WebAccess::Asked::In);
        QCOMPARE(access.ask("10.0.0.1", &first, &asked), WebAccess::Asked::In);
        for (int i = 0; i < 3 * WebAccess::kMaxTokensPerHost; ++i)
            access.ask("10.0.0.1", &token, &asked);
        QCOMPARE(access.tokenCount(), 1 + WebAccess::kMaxTokensPerHost);
        QVERIFY(access.admits("a=b; mirovell=" + other));
        QVERIFY(access.admits("mirovell=" + token));
        QVERIFY(!access.admits("mirovell=" + first));
    }

    void thePageFollowsOverItsWebSocketAndOnlyLetIn()
    {
        const auto stranger = open("mirovell=" + QByteArray(32, '0'));
        QSignalSpy strangerHeard(stranger.get(), &QWebSocket::textMessageReceived);
        QSignalSpy strangerGone(stranger.get(), &QWebSocket::disconnected);
        QTRY_COMPARE(strangerGone.count(), 1);
        QCOMPARE(strangerHeard.count(), 0);

        const auto page = open(letIn());
        QSignalSpy heard(page.get(), &QWebSocket::textMessageReceived);
        QTRY_COMPARE(heard.count(), 1);
        QVERIFY(heard[0][0].toString().contains(QStringLiteral("three.avi")));
        QTest::qWait(300);
        QCOMPARE(heard.count(), 1);  // what changes later: scripts/web-remote.sh
        QCOMPARE(web_->openPages(), 1);
        // the page has nothing to say: a message beyond the limit ends it
        QSignalSpy gone(page.get(), &QWebSocket::disconnected);
        page->sendTextMessage(QString(WebRemote::kMaxWebSocketMessage + 1, u'x'));
        QTRY_COMPARE(web_->openPages(), 0);
        QTRY_COMPARE(gone.count(), 1);
    }

    void aHostsWorkIsBounded()
    {
        // connections: a few at a time
        std::vector<QTcpSocket> held(WebRemote::kMaxConnectionsPerHost + 1);
        for (QTcpSocket& c : held) {
            c.connectToHost(QHostAddress::LocalHost, web_->port());
            if (&c != &held.back())
                QTRY_VERIFY(c.state() == QAbstractSocket::ConnectedState);
        }
        QTRY_VERIFY(held.back().state() == QAbstractSocket::UnconnectedState);
        QCOMPARE(held.front().state(), QAbstractSocket::ConnectedState);
        held.clear();
        QTest::qWait(100);

        // requests: a few a second, then 429, then the end of the connection
        QByteArray many;
        for (int i = 0; i < 40; ++i)
            many += request("GET", "/remote.css");
        QTcpSocket s;
        QByteArray got;
        connect(&s, &QTcpSocket::readyRead, this, [&] { got += s.readAll(); });
        s.connectToHost(QHostAddress::LocalHost, web_->port());
        s.write(many);
        QTRY_VERIFY(s.state() == QAbstractSocket::UnconnectedState);
        QCOMPARE(got.count("HTTP/1.1 200"), PeerBudget::kPerSecond);
        QCOMPARE(got.count("HTTP/1.1 429"), PeerBudget::kMaxDropped);

        // bytes: a body far too large cuts the connection, and the host is turned away a while
        now_ += 10000;
        QCOMPARE(ask(request("POST", "/ask", {}, QByteArray(200000, 'x'))).status, 0);
        QCOMPARE(ask(request("GET", "/")).status, 0);
        now_ += WebRemote::kBanMs + 10000;
        QCOMPARE(ask(request("GET", "/")).status, 200);
        // a body within the bytes but beyond what a request may bring
        QCOMPARE(ask(request("POST", "/ask", {}, QByteArray(WebRemote::kMaxBody + 1, 'x'))).status, 403);
    }

    // English when the browser prefers it (the plain cases are in scripts/web-remote.sh), else German.
    void theLanguageFollowsTheBrowser()
    {
        QCOMPARE(WebRemote::pageLanguage("de;q=0.5, en-US;q=0.8"), "en");
        for (const char* header : {"", "fr-FR,fr;q=0.9", ";;,q=,;q=x"})
            QVERIFY2(WebRemote::pageLanguage(header) == u"de", header);
    }

    void theAddressFitsInACode()
    {
        const QrCode code = QrCode::encode("http://192.168.178.123:22357/");
        QVERIFY(code.size() >= 21 && code.size() <= 33);
        // the three finder patterns: 7 x 7 modules, a dark ring round a light one round a dark core
        for (const auto& [x, y] : {std::pair{0, 0}, {code.size() - 7, 0}, {0, code.size() - 7}})
            QVERIFY(code.dark(x, y) && code.dark(x + 6, y + 6) && !code.dark(x + 1, y + 1) && code.dark(x + 3, y + 3));
        QCOMPARE(QrCode::encode(QByteArray(4000, 'x')).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestWebRemote)
#include "tst_webremote.moc"
