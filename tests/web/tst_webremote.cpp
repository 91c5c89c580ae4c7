#include "web/QrCode.h"
#include "web/WebRemote.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

// The web remote on loopback, asked by hand-made HTTP: who gets the list and the controls, and
// what a host may cost.
class TestWebRemote : public QObject {
    Q_OBJECT

    struct Answer {
        int status = 0;
        QByteArray headers;
        QByteArray body;
    };
    // A WebSocket made by hand, as a browser opens it; the texts of the frames the server sends.
    struct Page {
        QTcpSocket socket;
        QByteArray got;
        QStringList texts() const
        {
            QStringList out;
            for (qsizetype at = got.indexOf("\r\n\r\n") + 4; at > 3 && at + 2 <= got.size();) {
                qsizetype length = quint8(got[at + 1]) & 0x7f, head = 2;
                if (length == 126 && at + 4 <= got.size()) {
                    length = (quint8(got[at + 2]) << 8) | quint8(got[at + 3]);
                    head = 4;
                }
                if (at + head + length > got.size())
                    break;
                if ((quint8(got[at]) & 0x0f) == 1)
                    out << QString::fromUtf8(got.mid(at + head, length));
                at += head + length;
            }
            return out;
        }
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
        s.connectToHost(QHostAddress::LocalHost, web_->port());
        s.write(raw);
        QByteArray got;
        Answer a;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000 && s.state() != QAbstractSocket::UnconnectedState) {
            s.waitForReadyRead(20);  // the server runs in this thread: never wait long without it
            QCoreApplication::processEvents();
            got += s.readAll();
            const qsizetype end = got.indexOf("\r\n\r\n");
            if (end < 0)
                continue;
            a.headers = got.left(end);
            const qsizetype at = a.headers.toLower().indexOf("content-length: ");
            const int length = at < 0 ? 0 : a.headers.mid(at + 16).split('\r').first().toInt();
            if (got.size() >= end + 4 + length) {
                a.status = got.mid(9, 3).toInt();
                a.body = got.mid(end + 4, length);
                return a;
            }
        }
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
    void open(Page& p, const QByteArray& cookie)
    {
        connect(&p.socket, &QTcpSocket::readyRead, this, [&p] { p.got += p.socket.readAll(); });
        p.socket.connectToHost(QHostAddress::LocalHost, web_->port());
        p.socket.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(web_->port()) +
                       "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                       "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nCookie: " +
                       cookie + "\r\n\r\n");
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

    void aStrangerSeesHowToAskAndNothingOfTheList()
    {
        const Answer page = ask(request("GET", "/"));
        QCOMPARE(page.status, 200);
        QVERIFY(page.body.contains("/remote.js"));
        QVERIFY(page.headers.contains("Content-Security-Policy: default-src 'none'"));
        for (const char* path : {"/state", "/"})
            QVERIFY2(!ask(request("GET", path)).body.contains("one.avi"), path);
        QCOMPARE(ask(request("GET", "/state")).status, 403);
        QCOMPARE(ask(request("GET", "/state", "mirovell=" + QByteArray(32, 'a'))).status, 403);
        QSignalSpy next(web_, &WebRemote::nextRequested);
        QCOMPARE(ask(request("POST", "/next")).status, 403);
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
        const Answer state = ask(request("GET", "/state", cookieOf(a)));
        QCOMPARE(state.status, 200);
        QVERIFY(state.body.startsWith(R"({"list":["/m/one.avi","/m/two.avi","/m/three.avi"],"now":-1)"));
    }

    void theCommandsOfABrowserLetIn()
    {
        const QByteArray cookie = letIn();
        QVERIFY(!cookie.isEmpty());
        QSignalSpy played(web_, &WebRemote::trackRequested);
        QSignalSpy paused(web_, &WebRemote::pauseRequested);
        QCOMPARE(ask(request("POST", "/play", cookie, R"({"index":1,"entry":"/m/one.avi"})")).status, 409);
        QCOMPARE(ask(request("POST", "/play", cookie, R"({"index":7,"entry":"/m/two.avi"})")).status, 409);
        QCOMPARE(ask(request("POST", "/play", cookie, "not json")).status, 409);
        QCOMPARE(played.count(), 0);
        QCOMPARE(ask(request("POST", "/play", cookie, R"({"index":1,"entry":"/m/two.avi"})")).status, 200);
        QCOMPARE(played.count(), 1);
        QCOMPARE(played.first().at(0).toInt(), 1);
        QCOMPARE(played.first().at(1).toString(), QStringLiteral("/m/two.avi"));
        // another site's page in the same browser steers nothing
        QCOMPARE(ask(request("POST", "/pause", cookie, {}, "http://elsewhere.example")).status, 403);
        QCOMPARE(paused.count(), 0);
        QCOMPARE(ask(request("POST", "/pause", cookie)).status, 200);
        QCOMPARE(paused.count(), 1);
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
        Page stranger;
        open(stranger, "mirovell=" + QByteArray(32, '0'));
        QTRY_VERIFY(stranger.socket.state() == QAbstractSocket::UnconnectedState);
        QVERIFY(!stranger.got.contains("one.avi"));

        Page page;
        open(page, letIn());
        QTRY_COMPARE(page.texts().size(), 1);
        QVERIFY(page.got.startsWith("HTTP/1.1 101"));
        QVERIFY(page.texts().first().contains(QStringLiteral("three.avi")));
        QTest::qWait(300);
        QCOMPARE(page.texts().size(), 1);
        web_->setNowPlaying(2, true, true);
        QTRY_COMPARE(page.texts().size(), 2);
        QCOMPARE(page.texts().last(), QStringLiteral(R"({"now":2,"paused":true,"steerable":true})"));
        QCOMPARE(web_->openPages(), 1);
        // the page has nothing to say: a message beyond the limit ends it (masked, as from a browser)
        const int size = WebRemote::kMaxWebSocketMessage + 1;
        QByteArray frame("\x81\xfe", 2);
        frame += char(size >> 8);
        frame += char(size & 0xff);
        frame += QByteArray(4, '\0') + QByteArray(size, 'x');
        page.socket.write(frame);
        QTRY_COMPARE(web_->openPages(), 0);
        QTRY_VERIFY(page.socket.state() == QAbstractSocket::UnconnectedState);
    }

    void aHostsWorkIsBounded()
    {
        // connections: a few at a time
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i <= WebRemote::kMaxConnectionsPerHost; ++i) {
            held.push_back(std::make_unique<QTcpSocket>());
            held.back()->connectToHost(QHostAddress::LocalHost, web_->port());
            if (i < WebRemote::kMaxConnectionsPerHost)
                QTRY_VERIFY(held.back()->state() == QAbstractSocket::ConnectedState);
        }
        QTRY_VERIFY(held.back()->state() == QAbstractSocket::UnconnectedState);
        QCOMPARE(held.front()->state(), QAbstractSocket::ConnectedState);
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

    void theLanguageFollowsTheBrowser_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("language");
        QTest::newRow("none") << QByteArray() << "de";
        QTest::newRow("German") << QByteArray("de-DE,de;q=0.9,en;q=0.8") << "de";
        QTest::newRow("English") << QByteArray("en-GB,en;q=0.9") << "en";
        QTest::newRow("English weighed higher") << QByteArray("de;q=0.5, en-US;q=0.8") << "en";
        QTest::newRow("French") << QByteArray("fr-FR,fr;q=0.9") << "de";
        QTest::newRow("nonsense") << QByteArray(";;,q=,;q=x") << "de";
    }
    void theLanguageFollowsTheBrowser()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, language);
        QCOMPARE(WebRemote::pageLanguage(header), language);
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
