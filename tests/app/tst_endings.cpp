// The built program ended from outside, as a service manager, a closed terminal or a crash ends
// it. strace counts its writes and kills it at each write of its shut-down in turn.
#include "Doubles.h"

#include <QRegularExpression>

#include <csignal>

namespace {

const QString kIni = "mirovell.ini";
const QString kKept = "mirovell_TmpPlst.m3u";
const QStringList kTraced{"-q"};  // strace with nothing injected

// a settings file that start-up has nothing to add to
QByteArray settingsWith(const QByteArray& autoSave)
{
    return "[LastSettings]\r\nAutoSavePlaylist=" + autoSave +
           "\r\n[Settings]\r\nProtocol1=UDP\r\nProtocol2=\r\nProtocol3=\r\n";
}

}  // namespace

class EndingsTest : public QObject {
    Q_OBJECT
private slots:
    // A first start with a list, ended by SIGTERM, and the next start, ended by SIGHUP while more
    // signals come during its shut-down: each writes what the exit button writes, once.
    void signalsSaveOnce()
    {
        const QString folder = install();
        const QString list = folder + "meine listen/liste.m3u";
        QDir().mkpath(folder + "meine listen");
        writeFile(list, "#EXTM3U\r\n  /m/lead blanks.mp3\r\n  sub/relative.mp3\r\n  http://host/s\r\n/m/plain.avi\r\n");
        TestWindow exitButton({.commandLine = u'"' + list + u'"'});
        exitButton->Form_Load();
        exitButton->ExitBtn_Click();
        const QByteArray settings = readAll(exitButton.path(kIni));
        const QByteArray kept = readAll(exitButton.path(kKept));
        QCOMPARE(kept, "#EXTM3U\r\n  /m/lead blanks.mp3\r\n  " + QFile::encodeName(folder) +
                           "meine listen/sub/relative.mp3\r\n  http://host/s\r\n/m/plain.avi\r\n");

        QVERIFY(start(folder, {list}, kTraced));
        signal(SIGTERM);
        QVERIFY(endedNormally());
        QCOMPARE(readAll(folder + kIni), settings);
        QCOMPARE(readAll(folder + kKept), kept);
        QCOMPARE(writes(folder), (QList<int>{2, 1, 1}));  // a first start: the new file, then the protocol keys

        // every rename takes 300 ms: the shut-down is still running when the next signals come
        QVERIFY(start(folder, {}, {"-e", "inject=rename:delay_enter=300000"}));
        signal(SIGHUP);
        QTest::qWait(150);
        signal(SIGTERM);
        signal(SIGINT);
        QVERIFY(endedNormally());
        QCOMPARE(readAll(folder + kIni), settings);
        QCOMPARE(readAll(folder + kKept), kept);
        QCOMPARE(writes(folder), (QList<int>{0, 1, 1}));
    }
    void killedAtEachWrite_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("kept");  // the kept list before the run
        QTest::addColumn<bool>("withList");    // started with a list on the command line
        // the old order lost a list here: written whole, then the flag still said 0
        QTest::newRow("list kept, flag was 0") << settingsWith("0") << QByteArray() << true;
        QTest::newRow("list dropped, flag was 1") << settingsWith("1") << QByteArray("#EXTM3U\r\n") << false;
    }
    void killedAtEachWrite()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, kept);
        QFETCH(bool, withList);
        const QStringList decoys{"mirovell.ini.backup", "mirovell.ini.part-abc", "Mirovell.ini.part-Abc123",
                                 "mirovell_TmpPlst.m3u.part-A_1234"};
        const QStringList leftovers{"mirovell.ini.part-Cut123", "mirovell_TmpPlst.m3u.part-x9Y8z7"};
        const QByteArray cut = "[LastSettings]\r\nvlc.exe=/cu";
        QStringList args;
        const auto prepare = [&] {
            const QString folder = install();
            writeFile(folder + kIni, settings);
            if (!kept.isEmpty())
                writeFile(folder + kKept, kept);
            writeFile(folder + "liste.m3u", "/m/eins.avi\r\n/m/zwei.avi\r\n");
            for (const QString& name : decoys + leftovers)
                writeFile(folder + name, cut);
            args = withList ? QStringList{folder + "liste.m3u"} : QStringList{};
            return folder;
        };

        // an undisturbed run gives the new files and the calls of the shut-down to kill at
        const QString first = prepare();
        QVERIFY(start(first, args, kTraced));
        signal(SIGTERM);
        QVERIFY(endedNormally());
        const QByteArray newSettings = readAll(first + kIni);
        const QByteArray newKept = readAll(first + kKept);
        QVERIFY(newSettings.contains(withList ? "AutoSavePlaylist=1" : "AutoSavePlaylist=0"));
        QCOMPARE(newKept, withList ? QByteArray("#EXTM3U\r\n/m/eins.avi\r\n/m/zwei.avi\r\n") : QByteArray());
        QStringList killPoints;  // the n-th call of its kind, counted over the whole run
        QMap<QString, int> calls;
        const QList<QStringList> t = trace();
        for (const QString& line : t[0] + t[1]) {
            const QString call = line.section(u'(', 0, 0);
            if (call == u"fsync" || call == u"rename" || call == u"unlink")
                ++calls[call];
            if (line.isEmpty())  // the signal
                killPoints.clear();
            else if (calls.contains(call) && !line.contains("/runtime/"))
                killPoints << QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(calls[call]);
        }
        QCOMPARE(killPoints.size(), withList ? 4 : 3);  // both files synced and renamed, or the list deleted

        for (const QString& point : killPoints) {
            const QString folder = prepare();
            QVERIFY(start(folder, args, {"-e", point}));
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
                QVERIFY2(readAll(folder + name) == cut, qPrintable(point + u' ' + name));
            signal(SIGTERM);
            QVERIFY(endedNormally());
            QVERIFY2(readAll(folder + kKept) == (keptNow.contains(".avi") ? keptNow : QByteArray()), qPrintable(point));
        }
    }
    void cleanup()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

private:
    QString install()
    {
        const QString folder = dir_.filePath(QStringLiteral("app%1/").arg(++installs_));
        QDir().mkpath(folder + "runtime");
        QFile::copy(QStringLiteral(MIROVELL_EXE), folder + "mirovell");
        return folder;
    }
    // Returns once the signal handlers are in place (before the single-instance socket appears)
    // and, traced, once start-up is through (its log has stopped growing).
    bool start(const QString& folder, const QStringList& args, const QStringList& strace = {})
    {
        const QString runtime = folder + "runtime";
        for (const QString& f : QDir(runtime).entryList(QDir::System | QDir::Files))
            QFile::remove(runtime + u'/' + f);  // a killed run leaves its socket behind
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(folder + "mirovell", QFile::ReadOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime);
        // LeakSanitizer cannot work under a tracer
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
        process_.setProcessEnvironment(env);
        log_ = folder + "strace.log";
        QFile::remove(log_);
        const QStringList traceArgs{"-f", "-o", log_, "-e", "trace=openat,rename,unlink,fsync"};
        if (strace.isEmpty())
            process_.start(folder + "mirovell", args);
        else
            process_.start("strace", traceArgs + strace + QStringList{folder + "mirovell"} + args);
        qint64 lastSize = -1;
        for (int i = 0, quiet = 0; i < 800 && process_.waitForStarted(10000); ++i, QTest::qWait(25)) {
            pid_ = process_.processId();
            if (!strace.isEmpty()) {  // the program is strace's child
                const QByteArray children = readAll(QStringLiteral("/proc/%1/task/%1/children").arg(pid_)).trimmed();
                pid_ = children.split(' ').first().toLongLong();
            }
            quiet = QFileInfo(log_).size() == lastSize ? quiet + 1 : 0;
            lastSize = QFileInfo(log_).size();
            if (pid_ > 0 && !QDir(runtime).entryList({"*.socket"}, QDir::System).isEmpty() &&
                (strace.isEmpty() || quiet >= 20))
                return true;
        }
        return false;
    }
    void signal(int number) { ::kill(pid_t(pid_), number); }
    bool endedNormally()
    {
        return process_.waitForFinished(20000) && process_.exitStatus() == QProcess::NormalExit &&
               process_.exitCode() == 0;
    }
    // The main thread's calls in strace's log: those before the ending signal, and from it on
    // (an empty line marks where it arrived, at whichever thread).
    QList<QStringList> trace() const
    {
        QList<QStringList> parts(2);
        const QRegularExpression ending("^\\d+ +--- SIG(TERM|HUP|INT) ");
        for (const QString& line : QString::fromUtf8(readAll(log_)).split(u'\n')) {
            if (ending.match(line).hasMatch())
                parts[1] << QString();
            if (line.section(u' ', 0, 0).toLongLong() == pid_)  // the pid is padded with blanks
                parts[parts[1].isEmpty() ? 0 : 1] << line.section(u' ', 1).trimmed();
        }
        return parts;
    }
    // Settings writes before the signal and after it, then writes of the kept list after it; a
    // write replaces the file by a rename or opens it for writing.
    QList<int> writes(const QString& folder) const
    {
        const auto count = [](const QStringList& calls, const QString& path) {
            return int(std::count_if(calls.begin(), calls.end(), [&path](const QString& c) {
                return (c.startsWith(u"rename") && c.contains(", \"" + path + u'"')) ||
                       (c.startsWith(u"openat") && c.contains(u'"' + path + u'"') && !c.contains(u"O_RDONLY"));
            }));
        };
        const QList<QStringList> t = trace();
        return {count(t[0], folder + kIni), count(t[1], folder + kIni), count(t[1], folder + kKept)};
    }

    QTemporaryDir dir_;
    int installs_ = 0;
    QProcess process_;
    qint64 pid_ = 0;
    QString log_;
};

QTEST_GUILESS_MAIN(EndingsTest)
#include "tst_endings.moc"
