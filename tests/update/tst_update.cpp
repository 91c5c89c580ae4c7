// Downloads, the update check in the window, and the real updater against a local server
// replacing a small program in a temporary folder.
#include "Doubles.h"
#include "app/Ini.h"
#include "update/Download.h"
#include "update/Signature.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateCheck.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <map>
#include <openssl/evp.h>
#include <unistd.h>

namespace {

// A small HTTP/1.1 server on loopback, port chosen by the system, answering from a route table.
class HttpTestServer {
public:
    // Stall and Truncated announce more than they send, then wait or close
    enum class Kind { Normal, Stall, Truncated, Endless };
    struct Route {
        int status = 200;
        QByteArray body, location;
        Kind kind = Kind::Normal;
    };

    // another loopback address, such as 127.0.0.2, stands for another host
    explicit HttpTestServer(const QHostAddress& address = QHostAddress::LocalHost)
    {
        server_.listen(address, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->setProperty("head", socket->property("head").toByteArray() + socket->readAll());
                    const QByteArray head = socket->property("head").toByteArray();
                    if (head.contains("\r\n\r\n")) {  // one request per connection
                        QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
                        answer(socket, head.left(head.indexOf("\r\n\r\n")));
                    }
                });
            }
        });
    }
    void serve(const QByteArray& at, const QByteArray& body, Kind k = {}) { routes_[at] = {200, body, {}, k}; }
    void redirect(const QByteArray& path, const QByteArray& to) { routes_[path] = {302, {}, to, Kind::Normal}; }
    QString url(const QString& path) const
    {
        return QString("http://%1:%2").arg(server_.serverAddress().toString()).arg(server_.serverPort()) + path;
    }

    QList<QByteArray> requestedPaths, requestHeads;

private:
    void answer(QTcpSocket* socket, const QByteArray& head)
    {
        requestHeads << head;
        requestedPaths << head.split('\r').value(0).split(' ').value(1);
        const auto it = routes_.find(requestedPaths.last());
        const Route r = it != routes_.end() ? it->second : Route{404, "not found", {}, Kind::Normal};
        QByteArray out = "HTTP/1.1 " + QByteArray::number(r.status) + " X\r\nConnection: close\r\n";
        if (!r.location.isEmpty())
            out += "Location: " + r.location + "\r\n";
        if (r.kind == Kind::Endless) {  // a body without length that never ends
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket,
                             [socket] { socket->write(QByteArray(1 << 16, 'x')); });
            socket->write(out + "\r\n");
            return;
        }
        const qsizetype announced = r.kind == Kind::Normal ? r.body.size() : r.body.size() * 10;
        socket->write(out + "Content-Length: " + QByteArray::number(announced) + "\r\n\r\n" + r.body);
        if (r.kind != Kind::Stall)
            socket->disconnectFromHost();
    }

    std::map<QByteArray, Route> routes_;
    QTcpServer server_;  // last: its sockets go before the routes
};

// An Ed25519 key of the test's own, made fresh for each run: the maker's key never signs what a test serves.
class TestKey {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"),
                                                             EVP_PKEY_free};

public:
    QByteArray publicKey() const  // the 32 raw bytes
    {
        QByteArray raw(32, '\0');
        size_t size = 32;
        const bool ok =
            key_ && EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()), &size) == 1;
        return ok ? raw.left(qsizetype(size)) : QByteArray();
    }
    QByteArray sign(const QByteArray& message) const  // the 64 raw bytes
    {
        QByteArray signature(64, '\0');
        size_t size = 64;
        const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
        const bool ok =
            context && EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get()) == 1 &&
            EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                           reinterpret_cast<const unsigned char*>(message.constData()), size_t(message.size())) == 1;
        return ok ? signature.left(qsizetype(size)) : QByteArray();
    }
};

using Answers = QList<MessageAnswer>;
using download::Error;
// Each version leaves its name in $MARKER_DIR/started when it runs.
const QByteArray kOld = "#!/bin/sh\necho old > \"$MARKER_DIR/started\"\n";
const QByteArray kNew = "#!/bin/sh\necho new > \"$MARKER_DIR/started\"\n";
const QFile::Permissions kOpen = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                 QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

// How a file is published: with its signature by the test's key, without one, changed after signing,
// signed by a key nobody trusts, with its signature cut short or followed by a line end, behind a
// redirect to another host, or not at all.
enum class Served { Signed, Unsigned, Changed, OtherKey, CutShort, LineEnd, Elsewhere, Missing };

// A started main window in the test's program folder.
struct UpdateWindow : TestWindow {
    UpdateWindow(const QString& folder, const QByteArray& key) : TestWindow({.folder = folder, .updateKey = key})
    {
        window->Form_Load();
        window->TargetText.setText("10.1.2.3");
    }
};

// The update check alone, as "Update" runs it.
struct Check {
    explicit Check(const QByteArray& key) : update{caption, dialogs, launcher, host, progress, {}, key} {}
    Control caption{"UpdateCaption", ControlKind::Label, nullptr};
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    RecordingWindowHost host;
    RecordingProgress progress;
    UpdateCheck update;
};

}  // namespace

class UpdaterTest : public QObject {
    Q_OBJECT
    QByteArray body_;
    TestKey key_, otherKey_;
    std::unique_ptr<HttpTestServer> elsewhere_;  // another host: nothing may ever reach it

    std::unique_ptr<QTemporaryDir> root_;
    std::unique_ptr<HttpTestServer> server_;
    QString app_, out_, prog_;

    // title, text, icon and buttons of a message box
    static QString shown(const ScriptedDialogs::Message& m)
    {
        return QStringList{m.title, m.text, QString::number(int(m.icon)), QString::number(int(m.buttons))}.join(u'|');
    }
    QString updater() const { return app_ + u'/' + platformdefaults::kUpdaterFileName; }
    // the updater's command line
    QStringList command() const { return {MIROVELL_UPDATER, "[URL]" + server_->url("/prog"), "[PATH]" + prog_}; }
    void offer(const QByteArray& path, const QByteArray& bytes, Served how = Served::Signed)
    {
        if (how == Served::Missing)
            return;
        server_->serve(path, how == Served::Changed ? bytes + "# changed\n" : bytes);
        const QByteArray sig = (how == Served::OtherKey ? otherKey_ : key_).sign(bytes);
        if (how != Served::Unsigned)
            server_->serve(path + ".sig", how == Served::CutShort  ? sig.left(63)
                                          : how == Served::LineEnd ? sig + '\n'
                                                                   : sig);
        if (how == Served::Elsewhere) {
            elsewhere_->serve(path, bytes);
            server_->redirect(path, elsewhere_->url(QString::fromLatin1(path)).toLatin1());
        }
    }
    QStringList appFiles() const
    {
        return QDir(app_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    void launch(QProcess& updater, QStringList command, QProcess::ProcessChannelMode mode = QProcess::ForwardedChannels)
    {
        updater.setProcessChannelMode(mode);
        const QString program = command.takeFirst();
        updater.start(program, command << "--console-only");
    }
    // the exit code, -1 when it did not end in time; the server answers on this thread: never block it
    static int finish(QProcess& updater)
    {
        QSignalSpy done(&updater, &QProcess::finished);
        return done.wait(30000) && updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
    }
    int runUpdater(const QStringList& command, bool asNobody = false)
    {
        QProcess updater;
        launch(updater, asNobody ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command
                                 : command);
        return finish(updater);
    }
    QByteArray marker() const { return readAll(out_ + "/started").trimmed(); }

private slots:
    void initTestCase()
    {
        QVERIFY(key_.publicKey().size() == 32 && otherKey_.publicKey().size() == 32);
        // the tests' build of the updater trusts this key instead of the maker's
        qputenv("MIROVELL_TEST_PUBLIC_KEY", key_.publicKey().toHex());
        elsewhere_ = std::make_unique<HttpTestServer>(QHostAddress("127.0.0.2"));
        body_.resize(300 * 1024);
        QRandomGenerator gen(7);
        for (char& c : body_)
            c = char(gen.bounded(256));
    }

    void fetch_data()
    {
        QTest::addColumn<QString>("url");          // a leading "/" is a path on the test server
        QTest::addColumn<QString>("destination");  // {dir} is the test folder
        QTest::addColumn<bool>("oldFile");         // out.bin holds "old" before
        QTest::addColumn<Error>("error");
        QTest::addColumn<QString>("written");  // the file's name on success
        const QString setup = "/files/setup.exe", out = "{dir}/out.bin", folder = "{dir}";
        QTest::newRow("into a file, replacing") << setup << out << true << Error::None << "out.bin";
        QTest::newRow("into a folder, no query") << setup + "?v=2" << folder << false << Error::None << "setup.exe";
        QTest::newRow("quoted destination") << setup << "\"{dir}/a b.bin\"" << false << Error::None << "a b.bin";
        QTest::newRow("redirect followed") << "/old" << out << false << Error::None << "out.bin";
        QTest::newRow("404 keeps the old file") << "/missing" << out << true << Error::Http << "";
        QTest::newRow("stalling server") << "/stall" << out << false << Error::Timeout << "";
        QTest::newRow("cancelled keeps the old file") << "/stall" << out << true << Error::Cancelled << "";
        QTest::newRow("body shorter than announced") << "/short" << out << false << Error::Network << "";
        QTest::newRow("endless body") << "/endless" << out << false << Error::TooLarge << "";
        QTest::newRow("redirect loop") << "/loop" << out << false << Error::Redirect << "";
        QTest::newRow("redirect to a local file") << "/tofile" << out << false << Error::Redirect << "";
        QTest::newRow("address without slash") << "setup.exe" << folder << false << Error::InvalidAddress << "";
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
            url = server_->url(url);
        destination.replace("{dir}", dir.path());
        RecordingProgress progress;
        progress.cancelAfter = error == Error::Cancelled ? 1 : -1;
        const download::Options options{.idleTimeoutMs = 400, .maxBytes = qint64(2) << 20, .progress = &progress};
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
            QVERIFY(server_->requestHeads.last().toLower().contains("cache-control: no-cache"));
        if (error == Error::Http)
            QCOMPARE(r.code, 404);
        if (error == Error::Timeout)
            QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        // nothing to write to, or nothing valid to ask for: the server is not bothered
        if (error == Error::Destination || error == Error::InvalidAddress)
            QVERIFY(server_->requestedPaths.isEmpty());
        else
            QCOMPARE(progress.ends, progress.begins);
        if (url == "setup.exe")
            QCOMPARE(r.code, download::kInvalidAddressCode);
    }

    // Local test servers speak plain HTTP, so the rule is checked on its own (another host: replace).
    void redirectPolicy()
    {
        QVERIFY(!download::redirectAllowed(QUrl("HTTPS://a.example/x"), QUrl("http://b.example/x")));
        QVERIFY(!download::redirectAllowed(QUrl("https://a.example/x"), QUrl("ftp://a.example/x")));
        QVERIFY(download::redirectAllowed(QUrl("http://a.example/x"), QUrl("https://a.example/x")));
        QVERIFY(!download::redirectAllowed(QUrl("https://a.example/x"), QUrl("https://a.example.evil/y")));
        QVERIFY(download::redirectAllowed(QUrl("https://A.example/x"), QUrl("https://a.example:8443/y")));
    }

    void cleanup() { QCOMPARE(elsewhere_->requestedPaths, QList<QByteArray>()); }

    void init()
    {
        root_ = std::make_unique<QTemporaryDir>();
        server_ = std::make_unique<HttpTestServer>();  // what fetch asks for, and what a test offers
        server_->serve("/files/setup.exe", body_);
        server_->serve("/files/setup.exe?v=2", body_);
        server_->redirect("/old", "/files/setup.exe");
        server_->redirect("/loop", "/loop");
        server_->redirect("/tofile", "file:///etc/passwd");
        server_->serve("/stall", "0123456789", HttpTestServer::Kind::Stall);
        server_->serve("/short", "0123456789", HttpTestServer::Kind::Truncated);
        server_->serve("/endless", {}, HttpTestServer::Kind::Endless);
        app_ = root_->path() + "/app";
        out_ = root_->path() + "/out";
        prog_ = app_ + "/prog";
        QVERIFY(QDir().mkpath(app_) && QDir().mkpath(out_));
        qputenv("MARKER_DIR", out_.toLocal8Bit());
        // the updater run as nobody must still reach the program and leave its marker
        QFile::setPermissions(root_->path(), kOpen);
        QFile::setPermissions(app_, kOpen);
        QFile::setPermissions(out_, kOpen | QFile::WriteGroup | QFile::WriteOther);
        writeFile(prog_, kOld);
        QFile::setPermissions(prog_, kOpen);
    }

    void updateCaption_data()
    {
        QTest::addColumn<int>("updaterState");  // 0 missing, 1 there, 2 there but it does not start
        QTest::addColumn<Answers>("answers");   // the installed copy's message: scripts/package-test.sh
        QTest::newRow("no update") << 1 << Answers{MessageAnswer::No};
        QTest::newRow("updater there: started at once") << 1 << Answers{MessageAnswer::Yes};
        QTest::newRow("updater there, does not start: said, the program stays") << 2 << Answers{MessageAnswer::Yes};
        QTest::newRow("updater missing, not fetched") << 0 << Answers{MessageAnswer::Yes, MessageAnswer::No};
    }
    void updateCaption()
    {
        QFETCH(int, updaterState);
        QFETCH(Answers, answers);
        const bool tried = answers == Answers{MessageAnswer::Yes};
        const bool started = tried && updaterState == 1;
        UpdateWindow w(app_, key_.publicKey());
        w.launcher.refuseStarts = updaterState == 2;
        if (updaterState > 0) {
            writeFile(updater(), "#!/bin/sh\n");
            writeFile(signature::signatureFileOf(updater()), key_.sign(readAll(updater())));
        }
        for (MessageAnswer a : answers)
            w.dialogs.answerMessage(a);

        w->UpdateCaption.fire(ControlEvent::Click);

        QCOMPARE(w.dialogs.messages.size(), size_t(answers.size() + (tried && !started)));
        if (tried && !started)
            QCOMPARE(w.dialogs.messages.back().text, updater() + "\r\rDer Updater ließ sich nicht starten.");
        QCOMPARE(shown(w.dialogs.messages.front()),
                 shown({"Mirovell auf Update überprüfen?\r\rDies ist Version:  0.5\r", "Auf Programmupdate überprüfen?",
                        MessageIcon::Question, MessageButtons::YesNo}));
        if (answers.size() > 1) {
            QCOMPARE(w.dialogs.messages.back().title, "Updater downloaden?");
            QCOMPARE(w.dialogs.messages.back().text, updater() +
                                                         " (19 kb) wird für das Update benötigt!\r"
                                                         "Soll es jetzt heruntergeladen werden?\r\rZielpfad:" +
                                                         updater());
        }
        QCOMPARE(QFile::exists(updater()), updaterState > 0);
        QVERIFY(server_->requestedPaths.isEmpty());
        QCOMPARE(w.launcher.starts.size(), size_t(tried));
        QCOMPARE(w.host.quits, int(started));
        QCOMPARE(w->UpdateCaption.visible(), !started);
        QCOMPARE(w->hasEnded(), started);
        // ending for the update runs the normal shut-down, which keeps the settings
        QCOMPARE(ini::ReadIniValue("LastSettings", "LastConnection", w.path("mirovell.ini"), QString(), false),
                 started ? "10.1.2.3" : QString());
        if (started)
            QCOMPARE(QStringList{w.launcher.starts.front().program} + w.launcher.starts.front().arguments,
                     (QStringList{updater(), "[URL]" + updateaddresses::programAddress(), "[PATH]" + app_ + "/mirovell",
                                  QString("[PID]%1").arg(QCoreApplication::applicationPid())}));
    }

    // An updater runs only with a valid signature beside it: one fetched is kept only with one, one
    // found without is removed and fetched anew. The one run replaces the program, without the
    // process id it got: the test's own, which never ends.
    void fetchUpdater_data()
    {
        QTest::addColumn<int>("beside");  // 0 none, 1 signed, 2 changed after signing, 3 without signature
        QTest::addColumn<Served>("served");
        QTest::addColumn<QString>("reason");  // after "Download failed"; "-" when it is run
        const QString badSignature = "\rDie Datei trägt keine gültige Signatur des Herstellers und wurde verworfen. "
                                     "Das Programm bleibt unverändert.";
        QTest::newRow("not on the server") << 0 << Served::Missing << "";
        QTest::newRow("unsigned") << 0 << Served::Unsigned << badSignature;
        QTest::newRow("changed after signing") << 0 << Served::Changed << badSignature;
        QTest::newRow("redirected to another host")
            << 0 << Served::Elsewhere << "\rDer Server leitete an eine andere, nicht erlaubte Adresse weiter.";
        QTest::newRow("signed: kept with its signature, run") << 0 << Served::Signed << "-";
        QTest::newRow("beside, signed: run without asking") << 1 << Served::Missing << "-";
        QTest::newRow("beside, changed: removed, fetched anew") << 2 << Served::Signed << "-";
        QTest::newRow("beside, no signature: removed, none to fetch") << 3 << Served::Unsigned << badSignature;
    }
    void fetchUpdater()
    {
        QFETCH(int, beside);
        QFETCH(Served, served);
        QFETCH(QString, reason);
        const QByteArray real = readAll(MIROVELL_UPDATER);
        const bool runs = reason == "-";
        if (beside > 0) {
            writeFile(updater(), beside == 1 ? real : kOld);
            QFile::setPermissions(updater(), kOpen);
            if (beside != 3)
                writeFile(updater() + ".sig", key_.sign(beside == 1 ? real : kNew));
        }
        offer("/updater", served == Served::Signed || served == Served::Elsewhere ? real : kNew, served);
        offer("/prog", kNew);
        Check w(key_.publicKey());
        if (beside >= 2)
            w.dialogs.answerMessage(MessageAnswer::Ok);  // the removed updater's warning
        const bool asked = beside != 1;
        if (asked)
            w.dialogs.answerMessage(MessageAnswer::Yes);

        QCOMPARE(w.update.StartUpdater(server_->url("/prog"), prog_, updater(), server_->url("/updater")), runs);

        QCOMPARE(w.dialogs.messages.size(), size_t((beside >= 2) + asked + !runs));
        if (beside >= 2)
            QCOMPARE(
                shown(w.dialogs.messages.front()),
                shown({updater() + "\r\rDer Updater trägt keine gültige Signatur des Herstellers und wurde entfernt.",
                       "Programmupdate", MessageIcon::Warning, MessageButtons::Ok}));
        QCOMPARE(w.progress.ends, int(asked));
        QCOMPARE(server_->requestedPaths.isEmpty(), !asked);
        QCOMPARE(w.launcher.starts.size(), size_t(runs));
        if (runs) {
            QCOMPARE(appFiles(), (QStringList{"mirovell-updater", "mirovell-updater.sig", "prog"}));
            QCOMPARE(readAll(updater()), real);
            const RecordingLauncher::Start& s = w.launcher.starts.front();
            QCOMPARE(s.program, updater());
            QCOMPARE(runUpdater(QStringList{s.program} + s.arguments.mid(0, 2)), 0);
            QCOMPARE(readAll(prog_), kNew);
            QTRY_COMPARE_WITH_TIMEOUT(marker(), QByteArray("new"), 5000);
            return;
        }
        // nothing unchecked is left behind, not even under a hidden name
        QCOMPARE(appFiles(), QStringList{"prog"});
        QCOMPARE(shown(w.dialogs.messages.back()),
                 shown({updater() + "\r\rDownload Fehlgeschlagen / Download failed" + reason, QString(),
                        MessageIcon::None, MessageButtons::Ok}));
    }

    void webLinks()
    {
        UpdateWindow w(app_, key_.publicKey());
        w->Label3.show();
        w->Label4.show();
        w->Label3.fire(ControlEvent::Click);
        w->Label4.fire(ControlEvent::Click);
        QCOMPARE(w.launcher.starts.size(), size_t(2));
        QCOMPARE(w.launcher.starts[0].arguments, QStringList{updateaddresses::homepageAddress()});
        QCOMPARE(w.launcher.starts[1].arguments, QStringList{updateaddresses::kVlcAddress});
        QVERIFY(w->Label3.visible());
        QVERIFY(!w->Label4.visible());  // "Download VLC" is offered once
    }

    // The signature decides, under the trusted key only, and whole; the updater in the window: fetchUpdater.
    void replace_data()
    {
        QTest::addColumn<Served>("served");
        QTest::addColumn<QString>("address");  // "" is the test server's /prog
        QTest::addColumn<int>("exitCode");     // 0: replaced, and the new version runs

        QTest::newRow("signed") << Served::Signed << QString() << 0;
        QTest::newRow("unsigned") << Served::Unsigned << QString() << 4;
        QTest::newRow("changed after signing") << Served::Changed << QString() << 5;
        QTest::newRow("signed with another key") << Served::OtherKey << QString() << 5;
        QTest::newRow("signature cut short") << Served::CutShort << QString() << 5;
        QTest::newRow("signature with a line end") << Served::LineEnd << QString() << 5;
        QTest::newRow("redirected to another host") << Served::Elsewhere << QString() << 4;
        QTest::newRow("plain http to another machine") << Served::Signed << "http://192.0.2.1/prog" << 2;
        QTest::newRow("program folder not writable") << Served::Signed << QString() << 3;
    }
    void replace()
    {
        QFETCH(Served, served);
        QFETCH(QString, address);
        QFETCH(int, exitCode);
        offer("/prog", kNew, served);
        QStringList c = command();
        if (!address.isEmpty())
            c[1] = "[URL]" + address;
        // root may write anywhere: run the updater as nobody, for whom the root-owned folder is read-only
        const bool unwritable = exitCode == 3, root = ::geteuid() == 0;
        if (unwritable && !root)
            QFile::setPermissions(app_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        const int code = runUpdater(c, unwritable && root);
        QFile::setPermissions(app_, kOpen);

        QCOMPARE(code, exitCode);
        QCOMPARE(readAll(prog_), exitCode == 0 ? kNew : kOld);
        QCOMPARE(appFiles(), QStringList{"prog"});
        QTRY_COMPARE_WITH_TIMEOUT(marker(), QByteArray(exitCode == 0 ? "new" : "old"), 5000);
        QVERIFY(QFile::permissions(prog_) & QFile::ExeOther);
        if (unwritable)  // it says so before fetching anything
            QVERIFY(server_->requestedPaths.isEmpty());
    }

    // The updater speaks the user's language on the console, as the window does.
    void updaterLanguage_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("said");
        const QString english = "Mirovell-Update: The downloaded file %1 does not bear a valid signature of the maker "
                                "and was removed. The old program is kept.\n";
        const QString german = "Mirovell-Update: Die geladene Datei %1 trägt keine gültige Signatur des Herstellers "
                               "und wurde entfernt. Das alte Programm bleibt erhalten.\n";
        QTest::newRow("English") << "LANG=en_US.UTF-8" << english;
        QTest::newRow("German") << "LANG=de_DE.UTF-8" << german;
        QTest::newRow("LC_ALL English over a German LANG") << "LANG=de_DE.UTF-8 LC_ALL=en_GB.UTF-8" << english;
        QTest::newRow("French: German") << "LANG=fr_FR.UTF-8" << german;
    }
    void updaterLanguage()
    {
        offer("/prog", kNew, Served::Changed);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_NUMERIC"})
            env.remove(name);
        for (const QString& setting : row<QString>("locale").split(u' '))
            env.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        QProcess updater;
        updater.setProcessEnvironment(env);
        launch(updater, command(), QProcess::SeparateChannels);
        QCOMPARE(finish(updater), 5);
        QCOMPARE(QString::fromUtf8(updater.readAllStandardError()), row<QString>("said").arg(server_->url("/prog")));
        QCOMPARE(appFiles(), QStringList{"prog"});
    }

    void waitsForTheProgram_data()
    {
        QTest::addColumn<bool>("byProcessId");
        QTest::newRow("program file still running") << false;
        QTest::newRow("process id given") << true;
    }
    void waitsForTheProgram()
    {
        QFETCH(bool, byProcessId);
        offer("/prog", kNew);
        if (!byProcessId)  // the program's own file is what runs, as the real program would
            writeFile(prog_, readAll("/bin/sleep"));
        QProcess running;
        running.start(byProcessId ? "/bin/sleep" : prog_, {"3"});
        QVERIFY(running.waitForStarted());
        QStringList c = command();
        if (byProcessId)
            c << QString("[PID]%1").arg(running.processId());
        QProcess updater;
        launch(updater, c);
        QVERIFY(updater.waitForStarted());

        QTest::qWait(1500);
        QCOMPARE(running.state(), QProcess::Running);
        QCOMPARE(updater.state(), QProcess::Running);
        QVERIFY(readAll(prog_) != kNew);
        QCOMPARE(runUpdater(c), 9);  // a second updater for the same file steps back

        QCOMPARE(finish(updater), 0);
        QCOMPARE(running.state(), QProcess::NotRunning);
        QCOMPARE(readAll(prog_), kNew);
        QTRY_COMPARE_WITH_TIMEOUT(marker(), QByteArray("new"), 5000);
    }
};

QTEST_GUILESS_MAIN(UpdaterTest)
#include "tst_update.moc"
