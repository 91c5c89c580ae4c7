// The built program started twice, as a user does: the second start hands over and ends.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

namespace {

// Waits for a condition while the event loop runs; false after the time is up.
template <typename F>
bool waitFor(F ready, int ms = 15000)
{
    QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(25);
    }
    return true;
}

QStringList listing(const QString& folder)
{
    QStringList out;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        out << f.fileName() + u' ' + QString::number(f.size()) + u' ' +
                   f.lastModified().toString(Qt::ISODateWithMs);
    return out;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestTwoProcesses : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondStartEndsAndFirstComesForward();
    void copyInAnotherFolderRunsBeside();
    void crashedFirstDoesNotBlock();

private:
    QProcess* start(const QString& folder);
    QString install(const QString& name);
    bool up(QProcess* p, const QString& folder);

    std::unique_ptr<QTemporaryDir> dir_;
    QString runtime_;
    std::vector<std::unique_ptr<QProcess>> processes_;
};

void TestTwoProcesses::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    runtime_ = dir_->filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime_);
    QDir().mkpath(dir_->filePath(QStringLiteral("tmp")));
    QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestTwoProcesses::cleanup()
{
    for (auto& p : processes_) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    processes_.clear();
}

QString TestTwoProcesses::install(const QString& name)
{
    const QString folder = dir_->filePath(name);
    QDir().mkpath(folder);
    QFile::copy(QStringLiteral(MIROVELL_EXE), folder + QStringLiteral("/mirovell"));
    QFile::setPermissions(folder + QStringLiteral("/mirovell"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return folder;
}

QProcess* TestTwoProcesses::start(const QString& folder)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
    env.insert(QStringLiteral("TMPDIR"), dir_->filePath(QStringLiteral("tmp")));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("mirovell.instance.info=true"));
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(folder);
    p->setProgram(folder + QStringLiteral("/mirovell"));
    p->start();
    QProcess* raw = p.get();
    processes_.push_back(std::move(p));
    return raw;
}

// Running and through its start: its socket exists and its folder has stopped changing.
bool TestTwoProcesses::up(QProcess* p, const QString& folder)
{
    QStringList last;
    int quiet = 0;
    return waitFor([&] {
        bool socket = false;
        for (const QString& f : QDir(runtime_).entryList(QDir::System | QDir::Files))
            socket = socket || f.endsWith(QLatin1String(".socket"));
        const QStringList now = listing(folder);
        quiet = now == last ? quiet + 1 : 0;
        last = now;
        return p->state() == QProcess::Running && socket && QFileInfo::exists(folder + QStringLiteral("/mirovell.ini")) &&
               quiet >= 20;
    });
}

void TestTwoProcesses::secondStartEndsAndFirstComesForward()
{
    const QString folder = install(QStringLiteral("app"));
    QProcess* first = start(folder);
    QVERIFY(up(first, folder));
    const QStringList before = listing(folder);
    const QByteArray settings = contents(folder + QStringLiteral("/mirovell.ini"));

    QProcess* second = start(folder);
    QVERIFY(second->waitForFinished(15000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);

    QByteArray log;
    QVERIFY(waitFor([&] {
        log += first->readAllStandardError();
        return log.contains("activation request received");
    }));
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(listing(folder), before);   // nothing written, nothing added
    QCOMPARE(contents(folder + QStringLiteral("/mirovell.ini")), settings);
}

void TestTwoProcesses::copyInAnotherFolderRunsBeside()
{
    const QString a = install(QStringLiteral("a"));
    const QString b = install(QStringLiteral("b"));
    QProcess* first = start(a);
    QVERIFY(up(first, a));
    QProcess* other = start(b);
    QVERIFY(waitFor([&] { return QFileInfo::exists(b + QStringLiteral("/mirovell.ini")); }));
    QTest::qWait(300);
    QCOMPARE(other->state(), QProcess::Running);
    QCOMPARE(first->state(), QProcess::Running);
    QVERIFY(!first->readAllStandardError().contains("activation request received"));
}

void TestTwoProcesses::crashedFirstDoesNotBlock()
{
#ifdef Q_OS_UNIX
    const QString folder = install(QStringLiteral("app"));
    QProcess* first = start(folder);
    QVERIFY(up(first, folder));
    ::kill(pid_t(first->processId()), SIGKILL);   // leaves its lock and its socket behind
    QVERIFY(first->waitForFinished(5000));

    QProcess* next = start(folder);
    QByteArray log;
    QTest::qWait(1000);
    QCOMPARE(next->state(), QProcess::Running);   // it did not take the leftovers for a live instance
    QProcess* third = start(folder);
    QVERIFY(third->waitForFinished(15000));
    QCOMPARE(third->exitCode(), 0);
    QVERIFY(waitFor([&] {
        log += next->readAllStandardError();
        return log.contains("activation request received");
    }));
#else
    QSKIP("Unix only");
#endif
}

QTEST_GUILESS_MAIN(TestTwoProcesses)
#include "tst_twoprocess.moc"
