#include "Doubles.h"
#include "HttpTestServer.h"
#include "RecordingProgress.h"
#include "app/MainWindow.h"
#include "update/UpdateAddresses.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kSettings = QStringLiteral("LastSettings");

// A main window in a temporary program folder, with every outside service recorded.
struct UpdateWindow {
    UpdateWindow()
    {
        folder = dir.path() + u'/';
        MainWindowServices s;
        s.processes = &launcher;
        s.dialogs = &dialogs;
        s.window = &host;
        s.progress = &progress;
        s.openInBrowser = [this](const QString& address) -> qint64 {
            opened << address;
            return 4711;
        };
        s.environment.programFolder = folder;
        s.environment.exeBaseName = QStringLiteral("mirovell");
        window = std::make_unique<MainWindow>(s);
        window->Form_Load();
        window->TargetText.setText(QStringLiteral("10.1.2.3"));
    }
    QString updater() const { return folder + platformdefaults::kUpdaterFileName; }
    QString savedTarget() const { return window->readSetting(kSettings, QStringLiteral("LastConnection"), QString()); }

    QTemporaryDir dir;
    QString folder;
    ScriptedDialogs dialogs;
    RecordingLauncher launcher;
    RecordingWindowHost host;
    RecordingProgress progress;
    QStringList opened;
    std::unique_ptr<MainWindow> window;
};

const QString kUpdateQuestion = QStringLiteral("Mirovell auf Update überprüfen?\r\rDies ist Version:  0.5\r");

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT
private slots:
    void updateCaption_data();
    void updateCaption();
    void fetchUpdater_data();
    void fetchUpdater();
    void webLinks_data();
    void webLinks();
};

void UpdateCheckTest::updateCaption_data()
{
    QTest::addColumn<bool>("updaterThere");
    QTest::addColumn<QList<MessageAnswer>>("answers");
    QTest::addColumn<bool>("started");
    QTest::newRow("no update") << true << QList<MessageAnswer>{MessageAnswer::No} << false;
    QTest::newRow("updater there: started at once") << true << QList<MessageAnswer>{MessageAnswer::Yes} << true;
    QTest::newRow("updater missing, not fetched") << false
                                                  << QList<MessageAnswer>{MessageAnswer::Yes, MessageAnswer::No} << false;
}

void UpdateCheckTest::updateCaption()
{
    QFETCH(bool, updaterThere);
    QFETCH(QList<MessageAnswer>, answers);
    QFETCH(bool, started);
    UpdateWindow w;
    if (updaterThere)
        writeFile(w.updater(), "#!/bin/sh\n");
    for (MessageAnswer a : answers)
        w.dialogs.answerMessage(a);

    w.window->UpdateCaption.fire(ControlEvent::Click);

    QCOMPARE(w.dialogs.messages.size(), size_t(answers.size()));
    const ScriptedDialogs::Message& first = w.dialogs.messages.front();
    QCOMPARE(first.text, kUpdateQuestion);
    QCOMPARE(first.title, QStringLiteral("Auf Programmupdate überprüfen?"));
    QCOMPARE(first.icon, MessageIcon::Question);
    QCOMPARE(first.buttons, MessageButtons::YesNo);
    if (answers.size() > 1) {
        const ScriptedDialogs::Message& second = w.dialogs.messages.back();
        QCOMPARE(second.title, QStringLiteral("Updater downloaden?"));
        QCOMPARE(second.text, w.updater() + QStringLiteral(" (19 kb) wird für das Update benötigt!\r"
                                                           "Soll es jetzt heruntergeladen werden?\r\rZielpfad:") +
                                  w.updater());
        QVERIFY(!QFile::exists(w.updater()));
    }

    QCOMPARE(w.launcher.starts.size(), size_t(started ? 1 : 0));
    QCOMPARE(w.host.quits, started ? 1 : 0);
    QCOMPARE(w.window->UpdateCaption.visible(), !started);
    if (started) {
        const RecordingLauncher::Start& s = w.launcher.starts.front();
        QCOMPARE(s.program, w.updater());
        QCOMPARE(s.arguments, (QStringList{QStringLiteral("[URL]") + updateaddresses::programAddress(),
                                           QStringLiteral("[PATH]") + w.folder + QStringLiteral("mirovell"),
                                           QStringLiteral("[PID]%1").arg(QCoreApplication::applicationPid())}));
        QCOMPARE(s.style, WindowStyle::NormalFocus);
        QVERIFY(updateaddresses::programAddress().startsWith(QStringLiteral("https://")));
        // ending for the update still keeps the settings
        QCOMPARE(w.savedTarget(), QStringLiteral("10.1.2.3"));
        QVERIFY(w.window->hasEnded());
    } else {
        QCOMPARE(w.savedTarget(), QString());
    }
}

void UpdateCheckTest::fetchUpdater_data()
{
    QTest::addColumn<bool>("published");
    QTest::newRow("fetched and started") << true;
    QTest::newRow("fetch fails") << false;
}

void UpdateCheckTest::fetchUpdater()
{
    QFETCH(bool, published);
    HttpTestServer server;
    const QByteArray program = "#!/bin/sh\nexit 0\n";
    if (published)
        server.serve("/Downloads/mirovell-updater", program);
    UpdateWindow w;
    w.dialogs.answerMessage(MessageAnswer::Yes);

    const bool started = w.window->StartUpdater(QStringLiteral("https://example.invalid/new"), QStringLiteral("prog"), w.updater(),
                                                server.url(QStringLiteral("/Downloads/mirovell-updater")));

    QCOMPARE(started, published);
    QCOMPARE(server.requestedPaths, QList<QByteArray>{"/Downloads/mirovell-updater"});
    QCOMPARE(w.progress.begins, 1);
    QCOMPARE(w.progress.ends, 1);
    QCOMPARE(w.host.quits, published ? 1 : 0);
    QCOMPARE(w.launcher.starts.size(), size_t(published ? 1 : 0));
    if (published) {
        QCOMPARE(readAll(w.updater()), program);
        QVERIFY(QFile::permissions(w.updater()) & QFile::ExeOwner);
        QCOMPARE(w.launcher.starts.front().program, w.updater());
        QCOMPARE(w.dialogs.messages.size(), size_t(1));
    } else {
        QVERIFY(!QFile::exists(w.updater()));
        QCOMPARE(w.dialogs.messages.size(), size_t(2));
        const ScriptedDialogs::Message& failed = w.dialogs.messages.back();
        QCOMPARE(failed.text, w.updater() + QStringLiteral("\r\rDownload Fehlgeschlagen / Download failed"));
        QCOMPARE(failed.title, QString());
        QCOMPARE(failed.icon, MessageIcon::None);
        QCOMPARE(failed.buttons, MessageButtons::Ok);
        QVERIFY(!w.window->hasEnded());
    }
}

void UpdateCheckTest::webLinks_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("visibleAfter");
    QTest::newRow("Homepage") << "Label3" << updateaddresses::homepageAddress() << true;
    QTest::newRow("Download VLC") << "Label4" << updateaddresses::kVlcAddress << false;
}

void UpdateCheckTest::webLinks()
{
    QFETCH(QString, label);
    QFETCH(QString, address);
    QFETCH(bool, visibleAfter);
    UpdateWindow w;
    Control* link = w.window->control(label);
    link->show();
    const int pumps = w.host.pumps;
    link->fire(ControlEvent::Click);
    QCOMPARE(w.opened, QStringList{address});
    QVERIFY(address.startsWith(QStringLiteral("https://")));
    QCOMPARE(link->visible(), visibleAfter);
    QCOMPARE(w.host.pumps, pumps + 1);
}

QTEST_GUILESS_MAIN(UpdateCheckTest)
#include "tst_updatecheck.moc"
