// The built program started twice, as a user does: the second start hands over and ends.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Names, sizes and times: any write shows.
QStringList listing(const QString& folder)
{
    QStringList out;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        out << f.fileName() + u' ' + QString::number(f.size()) + u' ' + f.lastModified().toString(Qt::ISODateWithMs);
    return out;
}

}  // namespace

class TestTwoProcesses : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QDir().mkpath(dir_.filePath(QStringLiteral("tmp")));
        QDir().mkpath(runtime_);
        QFile::setPermissions(runtime_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void cleanupTestCase()
    {
        for (auto& p : processes_) {
            p->kill();
            p->waitForFinished(5000);
        }
        processes_.clear();
    }

    void secondStartEndsFirstComesForward()
    {
        const QString folder = install(QStringLiteral("app"));
        QProcess* first = start(folder);
        QVERIFY(up(first, folder));
        const QStringList before = listing(folder);

        QProcess* second = start(folder);
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += first->readAllStandardError()).contains("activation request received"), 15000);
        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(listing(folder), before);  // nothing written, nothing added

        // a copy in another folder is another program: it runs beside and asks nobody
        const QString copy = install(QStringLiteral("copy"));
        QProcess* other = start(copy);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(copy + QStringLiteral("/mirovell.ini")), 15000);
        QTest::qWait(300);
        QCOMPARE(other->state(), QProcess::Running);
        QCOMPARE((log += first->readAllStandardError()).count("activation request received"), 1);

        // a crashed first leaves its lock and its socket behind: they do not block the next start
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(first->waitForFinished(5000));
        QProcess* next = start(folder);
        QTest::qWait(1000);
        QCOMPARE(next->state(), QProcess::Running);
        QProcess* last = start(folder);
        QVERIFY(last->waitForFinished(15000));
        QCOMPARE(last->exitCode(), 0);
        log.clear();
        QTRY_VERIFY_WITH_TIMEOUT((log += next->readAllStandardError()).contains("activation request received"), 15000);
    }

private:
    QString install(const QString& name)
    {
        const QString program = dir_.filePath(name + QStringLiteral("/mirovell"));
        QDir().mkpath(QFileInfo(program).path());
        QFile::copy(QStringLiteral(MIROVELL_EXE), program);
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return QFileInfo(program).path();
    }
    QProcess* start(const QString& folder)
    {
        auto* p = processes_.emplace_back(std::make_unique<QProcess>()).get();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_);
        env.insert(QStringLiteral("TMPDIR"), dir_.filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("mirovell.instance.info=true"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(folder);
        p->start(folder + QStringLiteral("/mirovell"), {});
        return p;
    }
    // Running and through its start: its socket exists and its folder has stopped changing.
    bool up(QProcess* p, const QString& folder)
    {
        QStringList last;
        for (int i = 0, quiet = 0; i < 600; ++i) {
            const QStringList now = listing(folder);
            quiet = now == last ? quiet + 1 : 0;
            last = now;
            if (p->state() == QProcess::Running && quiet >= 20 &&
                QFileInfo::exists(folder + QStringLiteral("/mirovell.ini")) &&
                !QDir(runtime_).entryList({QStringLiteral("*.socket")}, QDir::System | QDir::Files).isEmpty())
                return true;
            QTest::qWait(25);
        }
        return false;
    }

    QTemporaryDir dir_;
    const QString runtime_ = dir_.filePath(QStringLiteral("runtime"));
    std::vector<std::unique_ptr<QProcess>> processes_;
};

QTEST_GUILESS_MAIN(TestTwoProcesses)
#include "tst_twoprocess.moc"
