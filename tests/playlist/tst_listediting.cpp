#include "Doubles.h"

#include <QDir>
#include <QTest>

class ListEditingTest : public QObject {
    Q_OBJECT
private slots:
    void moves_data();
    void moves();
    void clearAndRemove();
    void countInReceiveMode();
    void toolTipShowsEntry();
    void openKeptListInEditor();
};

void ListEditingTest::moves_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selectedAfter");
    const QStringList abc{"A", "B", "C"};
    QTest::newRow("< middle") << abc << 1 << "UpBtn" << QStringList{"A", "C", "B"} << 2;
    QTest::newRow("> middle") << QStringList{"A", "C", "B"} << 2 << "DownBtn" << abc << 1;
    QTest::newRow("< nothing selected moves the first") << abc << -1 << "UpBtn" << QStringList{"B", "A", "C"} << 1;
    QTest::newRow("> nothing selected") << abc << -1 << "DownBtn" << abc << -1;
    QTest::newRow("< last") << abc << 2 << "UpBtn" << abc << 2;
    QTest::newRow("> first") << abc << 0 << "DownBtn" << abc << 0;
    QTest::newRow("< single") << QStringList{"A"} << -1 << "UpBtn" << QStringList{"A"} << 0;
    QTest::newRow("< empty") << QStringList{} << -1 << "UpBtn" << QStringList{} << -1;
}

void ListEditingTest::moves()
{
    QFETCH(QStringList, entries);
    QFETCH(int, selected);
    QFETCH(QString, button);
    QFETCH(QStringList, after);
    QFETCH(int, selectedAfter);
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems(entries);
    w->UpdateFileCount();
    w->FilmList.setListIndex(selected);
    w->control(button)->fire(ControlEvent::Click);
    QCOMPARE(w->FilmList.items(), after);
    QCOMPARE(w->FilmList.listIndex(), selectedAfter);
    const bool any = !entries.isEmpty();
    QCOMPARE(w->UpBtn.enabled(), any);
    QCOMPARE(w->DownBtn.enabled(), any);
    QCOMPARE(w->SaveBtn.enabled(), any);
}

void ListEditingTest::clearAndRemove()
{
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems({"1", "2", "3", "4", "5"});
    w->FilmList.setListIndex(3);
    w->FilmList.fire(ControlEvent::DblClick);
    QCOMPARE(w->FilmList.items(), (QStringList{"1", "2", "3", "5"}));
    QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: 4"));
    w->FilmList.fire(ControlEvent::DblClick);   // nothing selected now
    QCOMPARE(w->FilmList.count(), 4);
    w->Command1.fire(ControlEvent::Click);
    QCOMPARE(w->FilmList.count(), 0);
    QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: 0"));
    QVERIFY(!w->UpBtn.enabled() && !w->DownBtn.enabled() && !w->SaveBtn.enabled());
}

void ListEditingTest::countInReceiveMode()
{
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems({"a", "b", "c"});
    w->EmpfangenTabButton_Click();
    w->FilmRemoteList.clear();   // the waiting entry
    for (int i = 0; i < 12; ++i)
        w->FilmRemoteList.addItem(QString::number(i));
    w->UpdateFileCount();
    QCOMPARE(w->List_Count.text(), QStringLiteral("Dateien: 12"));
    QVERIFY(w->UpBtn.enabled() && w->SaveBtn.enabled());
}

void ListEditingTest::toolTipShowsEntry()
{
    TestWindow w;
    w->Form_Load();
    w->FilmList.addItems({"/very/long/path/to/a film.avi"});
    w->FilmList.setListIndex(0);
    w->FilmList.fire(ControlEvent::Click);
    QCOMPARE(w->FilmList.toolTip(), QStringLiteral("/very/long/path/to/a film.avi"));
}

// The kept list opens in the desktop's plain-text handler, never in the play list's own (the player).
void ListEditingTest::openKeptListInEditor()
{
    QTemporaryDir xdg;
    const QString apps = xdg.path() + QStringLiteral("/data/applications");
    QVERIFY(QDir().mkpath(apps));
    QVERIFY(QDir().mkpath(xdg.path() + QStringLiteral("/config")));
    writeFile(xdg.path() + QStringLiteral("/config/mimeapps.list"),
              "[Default Applications]\naudio/x-mpegurl=player.desktop\ntext/plain=editor.desktop\n");
    writeFile(apps + QStringLiteral("/editor.desktop"), "[Desktop Entry]\nType=Application\nExec=sh --editor %F\n");
    writeFile(apps + QStringLiteral("/player.desktop"), "[Desktop Entry]\nType=Application\nExec=sh --player %U\n");
    qputenv("XDG_CONFIG_HOME", (xdg.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_CONFIG_DIRS", (xdg.path() + QStringLiteral("/none")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (xdg.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("XDG_DATA_DIRS", (xdg.path() + QStringLiteral("/none")).toLocal8Bit());
    qputenv("PATH", "/usr/bin:/bin");

    TestWindow w;
    w->Form_Load();
    w->List_Count.fire(ControlEvent::Click);
    QCOMPARE(w.launcher.starts.size(), size_t(1));
    QVERIFY(w.launcher.starts[0].program.endsWith(QLatin1String("/sh")));
    QCOMPARE(w.launcher.starts[0].arguments, (QStringList{"--editor", w->TempPlaylistPath}));

    // no editor anywhere: the user is told, nothing ends
    writeFile(xdg.path() + QStringLiteral("/config/mimeapps.list"), "[Default Applications]\n");
    qputenv("PATH", xdg.path().toLocal8Bit());
    w->List_Count.fire(ControlEvent::Click);
    QCOMPARE(w.launcher.starts.size(), size_t(1));
    QCOMPARE(w.dialogs.messages.size(), size_t(1));
    QVERIFY(w.dialogs.messages[0].text.contains(w->TempPlaylistPath));
}

QTEST_GUILESS_MAIN(ListEditingTest)
#include "tst_listediting.moc"
