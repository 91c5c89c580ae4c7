// The built program ended from outside, as a service manager, a closed terminal or a crash ends
// it. strace counts its writes and kills it at each write of its shut-down in turn.
#include "Doubles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace {

const QString kStrace = QStringLiteral("/usr/bin/strace");
const QString kIni = QStringLiteral("mirovell.ini");
const QString kKept = QStringLiteral("mirovell_TmpPlst.m3u");
const QStringList kTraced{QStringLiteral("-q")}; // strace with nothing injected
// a settings file that start-up has nothing to add to
QByteArray settingsWith(const QByteArray& autoSave)
{
    return "[LastSettings]\r\nAutoSavePlaylist=" + autoSave +
           "\r\n[Settings]\r\nProtocol1=UDP\r\nProtocol2=\r\nProtocol3=\r\n";
}

struct Writes {
    int settingsAtStart = 0;
    int settingsAtEnd = 0;
    int keptAtEnd = 0;
};

// The log's lines of the program's main thread (strace -f follows every thread), split where
// the first ending signal arrived, at whichever thread.
struct Trace {
    QStringList beforeSignal, afterSignal;
};

Trace readTrace(const QString& logFile, qint64 pid)
{
    Trace t;
    bool signalled = false;
    const QString prefix = QString::number(pid) + u' ';
    const QRegularExpression ending(QStringLiteral("^\\d+ +--- SIG(TERM|HUP|INT) "));
    for (const QString& line : QString::fromUtf8(readAll(logFile)).split(u'\n')) {
        signalled = signalled || ending.match(line).hasMatch();
        if (line.startsWith(prefix))
            (signalled ? t.afterSignal : t.beforeSignal) << line.mid(prefix.size());
    }
    return t;
}

// A write replaces the file by a rename or opens it for writing.
int writesTo(const QStringList& lines, const QString& path)
{
    int n = 0;
    for (const QString& l : lines) {
        if ((l.startsWith(u"rename") && l.contains(QStringLiteral(", \"") + path + u'"')) ||
            (l.startsWith(u"openat") && l.contains(u'"' + path + u'"') &&
             l.contains(QRegularExpression(QStringLiteral("O_WRONLY|O_RDWR")))))
            ++n;
    }
    return n;
}

} // namespace

class EndingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void signalsSaveOnce();
    void killedAtEachWrite_data();
    void killedAtEachWrite();

private:
    QString install()
    {
        const QString folder = dir_.filePath(QStringLiteral("app%1").arg(++installs_));
        QDir().mkpath(folder);
        QFile::copy(QStringLiteral(MIROVELL_EXE), folder + QStringLiteral("/mirovell"));
        QFile::setPermissions(folder + QStringLiteral("/mirovell"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder + u'/';
    }
    // Starts the program, under strace when strace options are given; returns once its signal
    // handlers are in place (they are before its single-instance socket appears) and, traced,
    // once its start-up is through.
    bool start(const QString& folder, const QStringList& args, const QStringList& strace = {});
    void signal(int number) { ::kill(pid_t(pid_), number); }
    // true when it ended by itself with status 0
    bool endedNormally()
    {
        return process_.waitForFinished(20000) && process_.exitStatus() == QProcess::NormalExit &&
               process_.exitCode() == 0;
    }
    Writes writes(const QString& folder) const
    {
        const Trace t = readTrace(log_, pid_);
        return {writesTo(t.beforeSignal, folder + kIni), writesTo(t.afterSignal, folder + kIni),
                writesTo(t.afterSignal, folder + kKept)};
    }

    QTemporaryDir dir_;
    int installs_ = 0;
    QProcess process_;
    qint64 pid_ = 0;
    QString log_;
};

void EndingsTest::initTestCase()
{
    QVERIFY2(QFileInfo(kStrace).isExecutable(), "strace is needed (scripts/deps.sh installs it)");
}

void EndingsTest::cleanup()
{
    process_.kill();
    process_.waitForFinished(5000);
}

bool EndingsTest::start(const QString& folder, const QStringList& args, const QStringList& strace)
{
    const QString runtime = folder + QStringLiteral("runtime");
    QDir(runtime).removeRecursively(); // a killed run leaves its socket behind
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // LeakSanitizer cannot work under a tracer
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(folder);
    const QString program = folder + QStringLiteral("mirovell");
    log_ = folder + QStringLiteral("strace.log");
    QFile::remove(log_);
    if (strace.isEmpty())
        process_.start(program, args);
    else
        process_.start(kStrace, QStringList{QStringLiteral("-f"), QStringLiteral("-o"), log_, QStringLiteral("-e"),
                                            QStringLiteral("trace=openat,rename,renameat,renameat2,unlink,fsync")} +
                                    strace + QStringList{program} + args);
    if (!process_.waitForStarted(10000))
        return false;
    qint64 lastLogSize = -1;
    for (int i = 0, quiet = 0; i < 800; ++i) {
        pid_ = process_.processId();
        if (!strace.isEmpty()) { // the program is strace's child
            const QByteArray children =
                readAll(QStringLiteral("/proc/%1/task/%1/children").arg(process_.processId())).trimmed();
            pid_ = children.isEmpty() ? 0 : children.split(' ').first().toLongLong();
        }
        // traced, it is through its start when its log has not grown for a while
        const qint64 logSize = QFileInfo(log_).size();
        quiet = logSize == lastLogSize ? quiet + 1 : 0;
        lastLogSize = logSize;
        if (pid_ > 0 && !QDir(runtime).entryList({QStringLiteral("*.socket")}, QDir::System).isEmpty() &&
            (strace.isEmpty() || quiet >= 20))
            return true;
        if (process_.state() != QProcess::Running)
            return false;
        QTest::qWait(25);
    }
    return false;
}

// A first start with a list, ended by SIGTERM, and the next start, ended by SIGHUP while more
// signals come during its shut-down: each writes what the exit button writes, once.
void EndingsTest::signalsSaveOnce()
{
    const QString folder = install();
    const QString list = folder + QStringLiteral("meine listen/liste.m3u");
    QDir().mkpath(folder + QStringLiteral("meine listen"));
    writeFile(list,
              "#EXTM3U\r\n  /m/lead blanks.mp3\r\n  sub/relative.mp3\r\n  http://host/stream\r\n/m/plain.avi\r\n");
    TestWindow exitButton(u'"' + list + u'"');
    exitButton->Form_Load();
    exitButton->ExitBtn_Click();
    const QByteArray settings = readAll(exitButton.path(kIni));
    const QByteArray kept = readAll(exitButton.path(kKept));
    QCOMPARE(kept, "#EXTM3U\r\n  /m/lead blanks.mp3\r\n  " + QFile::encodeName(folder) +
                       "meine listen/sub/relative.mp3\r\n  http://host/stream\r\n/m/plain.avi\r\n");

    QVERIFY(start(folder, {list}, kTraced));
    signal(SIGTERM);
    QVERIFY(endedNormally());
    QCOMPARE(readAll(folder + kIni), settings);
    QCOMPARE(readAll(folder + kKept), kept);
    Writes w = writes(folder);
    QCOMPARE(w.settingsAtStart, 2); // the new file, then the protocol keys
    QCOMPARE(w.settingsAtEnd, 1);
    QCOMPARE(w.keptAtEnd, 1);

    // every rename takes 300 ms: the shut-down is still running when the next signals come
    QVERIFY(start(folder, {}, {QStringLiteral("-e"), QStringLiteral("inject=rename:delay_enter=300000")}));
    signal(SIGHUP);
    QTest::qWait(150);
    signal(SIGTERM);
    signal(SIGINT);
    QVERIFY(endedNormally());
    QCOMPARE(readAll(folder + kIni), settings);
    QCOMPARE(readAll(folder + kKept), kept);
    w = writes(folder);
    QCOMPARE(w.settingsAtStart, 0);
    QCOMPARE(w.settingsAtEnd, 1);
    QCOMPARE(w.keptAtEnd, 1);
}

void EndingsTest::killedAtEachWrite_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("kept"); // the kept list before the run
    QTest::addColumn<bool>("withList");   // started with a list on the command line
    // the old order lost a list here: written whole, then the flag still said 0
    QTest::newRow("list kept, flag was 0") << settingsWith("0") << QByteArray() << true;
    QTest::newRow("list dropped, flag was 1") << settingsWith("1") << QByteArray("#EXTM3U\r\n") << false;
}

void EndingsTest::killedAtEachWrite()
{
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, kept);
    QFETCH(bool, withList);
    const QStringList decoys{QStringLiteral("mirovell.ini.backup"), QStringLiteral("mirovell.ini.part-abc"),
                             QStringLiteral("Mirovell.ini.part-Abc123"),
                             QStringLiteral("mirovell_TmpPlst.m3u.part-Ab_123")};
    const QStringList leftovers{QStringLiteral("mirovell.ini.part-Cut123"),
                                QStringLiteral("mirovell_TmpPlst.m3u.part-x9Y8z7")};
    const auto prepare = [&](const QString& folder) {
        writeFile(folder + kIni, settings);
        if (!kept.isEmpty())
            writeFile(folder + kKept, kept);
        writeFile(folder + QStringLiteral("liste.m3u"), "/m/eins.avi\r\n/m/zwei.avi\r\n");
        for (const QString& name : decoys + leftovers)
            writeFile(folder + name, "[LastSettings]\r\nvlc.exe=/cut");
    };
    const auto args = [&](const QString& folder) {
        return withList ? QStringList{folder + QStringLiteral("liste.m3u")} : QStringList{};
    };

    // an undisturbed run gives the new files and the writes of the shut-down to kill at
    const QString first = install();
    prepare(first);
    QVERIFY(start(first, args(first), kTraced));
    signal(SIGTERM);
    QVERIFY(endedNormally());
    const QByteArray newSettings = readAll(first + kIni);
    const QByteArray newKept = readAll(first + kKept);
    QVERIFY(newSettings.contains(withList ? "AutoSavePlaylist=1" : "AutoSavePlaylist=0"));
    QCOMPARE(newKept, withList ? QByteArray("#EXTM3U\r\n/m/eins.avi\r\n/m/zwei.avi\r\n") : QByteArray());
    QStringList killPoints; // the n-th call of its kind, counted over the whole run
    QMap<QString, int> calls;
    const Trace trace = readTrace(log_, pid_);
    for (qsizetype i = 0; i < trace.beforeSignal.size() + trace.afterSignal.size(); ++i) {
        const bool ending = i >= trace.beforeSignal.size();
        const QString& line = ending ? trace.afterSignal[i - trace.beforeSignal.size()] : trace.beforeSignal[i];
        const QString call = line.section(u'(', 0, 0);
        if (call != u"fsync" && call != u"rename" && call != u"unlink")
            continue;
        const int n = ++calls[call];
        if (ending && !line.contains(QStringLiteral("/runtime/")))
            killPoints << QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(n);
    }
    QCOMPARE(killPoints.size(), withList ? 4 : 3); // both files synced and renamed, or the list deleted

    for (const QString& point : killPoints) {
        const QString folder = install();
        prepare(folder);
        QVERIFY(start(folder, args(folder), {QStringLiteral("-e"), point}));
        signal(SIGTERM);
        QVERIFY(process_.waitForFinished(20000));
        QVERIFY2(process_.exitStatus() == QProcess::CrashExit, qPrintable(point));
        // old or new, never cut
        const QByteArray settingsNow = readAll(folder + kIni);
        const QByteArray keptNow = readAll(folder + kKept);
        QVERIFY2(settingsNow == settings || settingsNow == newSettings, qPrintable(point));
        QVERIFY2(keptNow == kept || keptNow == newKept, qPrintable(point));

        // the next start removes our leftovers and nothing else, and keeps a list that was whole
        QVERIFY(start(folder, {}));
        for (const QString& name : leftovers)
            QVERIFY2(!QFileInfo::exists(folder + name), qPrintable(point + u' ' + name));
        for (const QString& name : decoys)
            QVERIFY2(readAll(folder + name) == "[LastSettings]\r\nvlc.exe=/cut", qPrintable(point + u' ' + name));
        signal(SIGTERM);
        QVERIFY(endedNormally());
        if (keptNow.contains(".avi"))
            QVERIFY2(readAll(folder + kKept) == keptNow, qPrintable(point));
        else
            QVERIFY2(!QFileInfo::exists(folder + kKept), qPrintable(point));
    }
}

QTEST_GUILESS_MAIN(EndingsTest)
#include "tst_endings.moc"
