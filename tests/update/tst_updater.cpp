#include "Doubles.h"
#include "HttpTestServer.h"
#include "app/MainWindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// The real updater against a local server, replacing a small program in a temporary folder.
class UpdaterTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void replace_data();
    void replace();
    void waitsForTheProgram_data();
    void waitsForTheProgram();
    void unwritableProgramChangesNothing();
    void wholeFlowFromTheWindow();

private:
    // the updater's exit code, -1 when it did not end in time
    int runUpdater(const QStringList& args, bool asOtherUser = false);
    void launch(QProcess& updater, QStringList args, bool asOtherUser = false);
    QByteArray program() const { return readFile(prog_); }
    static QByteArray readFile(const QString& path);
    static void writeProgram(const QString& path, const QByteArray& bytes);
    QStringList appEntries() const;
    QByteArray marker() const { return readFile(out_ + QStringLiteral("/started")).trimmed(); }

    std::unique_ptr<QTemporaryDir> root_;
    std::unique_ptr<HttpTestServer> server_;
    QString app_, out_, prog_;
};

namespace {

const QByteArray kOld = "#!/bin/sh\necho old > \"$MARKER_DIR/started\"\n";
const QByteArray kNew = "#!/bin/sh\necho new > \"$MARKER_DIR/started\"\n";

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

}  // namespace

QByteArray UpdaterTest::readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void UpdaterTest::writeProgram(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                     QFile::ReadOther | QFile::ExeOther);
}

QStringList UpdaterTest::appEntries() const
{
    return QDir(app_).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

void UpdaterTest::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    server_ = std::make_unique<HttpTestServer>();
    const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                    QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(root_->path(), open);
    app_ = root_->path() + QStringLiteral("/app");
    out_ = root_->path() + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(app_));
    QVERIFY(QDir().mkpath(out_));
    QFile::setPermissions(app_, open);
    QFile::setPermissions(out_, open | QFile::WriteGroup | QFile::WriteOther);
    prog_ = app_ + QStringLiteral("/prog");
    writeProgram(prog_, kOld);
}

void UpdaterTest::launch(QProcess& updater, QStringList args, bool asOtherUser)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MARKER_DIR"), out_);
    updater.setProcessEnvironment(env);
    updater.setProcessChannelMode(QProcess::ForwardedChannels);
    args << QStringLiteral("--console-only");
    if (asOtherUser) {
        args = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                           QStringLiteral(MIROVELL_UPDATER)} + args;
        updater.start(QStringLiteral("setpriv"), args);
    } else {
        updater.start(QStringLiteral(MIROVELL_UPDATER), args);
    }
}

int UpdaterTest::runUpdater(const QStringList& args, bool asOtherUser)
{
    QProcess updater;
    launch(updater, args, asOtherUser);
    QSignalSpy done(&updater, &QProcess::finished);
    // the server answers on this thread: wait on the event loop, never block it
    if (!done.wait(30000))
        return -1;
    return updater.exitStatus() == QProcess::NormalExit ? updater.exitCode() : -1;
}

void UpdaterTest::replace_data()
{
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<QByteArray>("checksum");    // "" publishes none
    QTest::addColumn<QString>("address");        // "" is the test server's /prog
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("programAfter");
    QTest::addColumn<QByteArray>("started");     // which version ran afterwards

    QTest::newRow("good checksum replaces and starts") << kNew << sha256(kNew) + "  prog\n" << QString() << 0 << kNew
                                                       << QByteArray("new");
    QTest::newRow("bad checksum keeps the old one") << kNew << sha256("something else") << QString() << 5 << kOld
                                                    << QByteArray("old");
    QTest::newRow("no checksum published") << kNew << QByteArray() << QString() << 4 << kOld << QByteArray("old");
    QTest::newRow("checksum unreadable") << kNew << QByteArray("<html>not here</html>") << QString() << 4 << kOld
                                         << QByteArray("old");
    QTest::newRow("same version") << kOld << sha256(kOld) << QString() << 0 << kOld << QByteArray("old");
    QTest::newRow("new version missing") << QByteArray() << sha256(kNew) << QString() << 4 << kOld
                                         << QByteArray("old");
    QTest::newRow("plain http to another machine") << kNew << sha256(kNew) << "http://192.0.2.1/prog" << 2 << kOld
                                                   << QByteArray("old");
}

void UpdaterTest::replace()
{
    QFETCH(QByteArray, served);
    QFETCH(QByteArray, checksum);
    QFETCH(QString, address);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, programAfter);
    QFETCH(QByteArray, started);
    if (!served.isEmpty())
        server_->serve("/prog", served);
    if (!checksum.isEmpty())
        server_->serve("/prog.sha256", checksum);
    if (address.isEmpty())
        address = server_->url(QStringLiteral("/prog"));

    QCOMPARE(runUpdater({QStringLiteral("[URL]") + address, QStringLiteral("[PATH]") + prog_}), exitCode);
    QCOMPARE(program(), programAfter);
    QCOMPARE(appEntries(), QStringList{QStringLiteral("prog")});
    QTRY_COMPARE_WITH_TIMEOUT(marker(), started, 5000);
    QVERIFY(QFile::permissions(prog_) & QFile::ExeOther);
}

void UpdaterTest::waitsForTheProgram_data()
{
    QTest::addColumn<bool>("byProcessId");
    QTest::newRow("program file still running") << false;
    QTest::newRow("process id given") << true;
}

void UpdaterTest::waitsForTheProgram()
{
    QFETCH(bool, byProcessId);
    server_->serve("/prog", kNew);
    server_->serve("/prog.sha256", sha256(kNew));
    const QByteArray sleepBinary = readFile(QStringLiteral("/bin/sleep"));
    QProcess running;
    if (byProcessId) {
        running.start(QStringLiteral("/bin/sleep"), {QStringLiteral("3")});
    } else {
        // the program's own file is what runs, as the real program would
        writeProgram(prog_, sleepBinary);
        running.start(prog_, {QStringLiteral("3")});
    }
    QVERIFY(running.waitForStarted());
    const QByteArray before = program();

    QStringList args{QStringLiteral("[URL]") + server_->url(QStringLiteral("/prog")), QStringLiteral("[PATH]") + prog_};
    if (byProcessId)
        args << QStringLiteral("[PID]%1").arg(running.processId());
    QProcess updater;
    launch(updater, args);
    QVERIFY(updater.waitForStarted());

    QTest::qWait(1500);
    QCOMPARE(running.state(), QProcess::Running);
    QCOMPARE(updater.state(), QProcess::Running);
    QCOMPARE(program(), before);
    QCOMPARE(runUpdater(args), 9);   // a second updater for the same file steps back

    QSignalSpy done(&updater, &QProcess::finished);
    QVERIFY(done.wait(30000));
    QCOMPARE(running.state(), QProcess::NotRunning);
    QCOMPARE(updater.exitCode(), 0);
    QCOMPARE(program(), kNew);
    QTRY_COMPARE_WITH_TIMEOUT(marker(), QByteArray("new"), 5000);
}

void UpdaterTest::unwritableProgramChangesNothing()
{
    server_->serve("/prog", kNew);
    server_->serve("/prog.sha256", sha256(kNew));
    const bool root = ::geteuid() == 0;
    if (!root)
        QFile::setPermissions(app_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    // root may write anywhere: run the updater as nobody, for whom the root-owned folder is read-only
    const int code = runUpdater({QStringLiteral("[URL]") + server_->url(QStringLiteral("/prog")),
                                 QStringLiteral("[PATH]") + prog_}, root);
    if (!root)
        QFile::setPermissions(app_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(code, 3);
    QCOMPARE(program(), kOld);
    QCOMPARE(appEntries(), QStringList{QStringLiteral("prog")});
    QVERIFY(server_->requestedPaths.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(marker(), QByteArray("old"), 5000);
}

namespace {

// Runs what the window starts as a real process the test can wait for. The process id the window
// passes is the test's own, which never ends while the test runs, so it is left out here.
class WaitableLauncher : public IProcessLauncher {
public:
    explicit WaitableLauncher(const QString& markerDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MARKER_DIR"), markerDir);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    qint64 start(const QString& program, const QStringList& arguments, WindowStyle) override
    {
        QStringList args;
        for (const QString& a : arguments)
            if (!a.startsWith(QStringLiteral("[PID]")))
                args << a;
        process.start(program, args << QStringLiteral("--console-only"));
        return process.waitForStarted() ? process.processId() : 0;
    }
    bool terminate(qint64) override { return false; }
    bool isRunning(qint64) const override { return process.state() == QProcess::Running; }

    QProcess process;
};

}  // namespace

// "Update" in the window: the updater is fetched from the server, started, and replaces the program.
void UpdaterTest::wholeFlowFromTheWindow()
{
    server_->serve("/Downloads/mirovell-updater", readFile(QStringLiteral(MIROVELL_UPDATER)));
    server_->serve("/prog", kNew);
    server_->serve("/prog.sha256", sha256(kNew));
    WaitableLauncher launcher(out_);
    ScriptedDialogs dialogs;
    dialogs.answerMessage(MessageAnswer::Yes);
    RecordingWindowHost host;
    MainWindowServices services;
    services.processes = &launcher;
    services.dialogs = &dialogs;
    services.window = &host;
    services.environment.programFolder = app_ + u'/';
    services.environment.exeBaseName = QStringLiteral("prog");
    MainWindow window(services);
    window.Form_Load();
    const QString updater = app_ + QStringLiteral("/mirovell-updater");

    QVERIFY(window.StartUpdater(server_->url(QStringLiteral("/prog")), prog_, updater,
                                server_->url(QStringLiteral("/Downloads/mirovell-updater"))));
    QCOMPARE(host.quits, 1);
    QSignalSpy done(&launcher.process, &QProcess::finished);
    QVERIFY(launcher.process.state() == QProcess::NotRunning || done.wait(30000));
    QCOMPARE(launcher.process.exitCode(), 0);
    QCOMPARE(program(), kNew);
    QTRY_COMPARE_WITH_TIMEOUT(marker(), QByteArray("new"), 5000);
}

QTEST_GUILESS_MAIN(UpdaterTest)
#include "tst_updater.moc"
