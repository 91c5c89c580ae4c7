#include "Doubles.h"

#include <QDir>
#include <QTest>

class ListEditingTest : public QObject {
    Q_OBJECT
private slots:
    void moves_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("selectedAfter");
        const QStringList abc{"A", "B", "C"};
        // clang-format off
        QTest::newRow("< middle") << abc << 1 << "UpBtn" << QStringList{"A", "C", "B"} << 2;
        QTest::newRow("> middle") << QStringList{"A", "C", "B"} << 2 << "DownBtn" << abc << 1;
        QTest::newRow("< nothing selected moves the first") << abc << -1 << "UpBtn" << QStringList{"B", "A", "C"} << 1;
        QTest::newRow("> nothing selected") << abc << -1 << "DownBtn" << abc << -1;
        QTest::newRow("< last") << abc << 2 << "UpBtn" << abc << 2;
        QTest::newRow("> first") << abc << 0 << "DownBtn" << abc << 0;
        QTest::newRow("< single") << QStringList{"A"} << -1 << "UpBtn" << QStringList{"A"} << 0;
        QTest::newRow("< empty") << QStringList{} << -1 << "UpBtn" << QStringList{} << -1;
        // clang-format on
    }
    void moves()
    {
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(QString, button);
        TestWindow w;
        w->Form_Load();
        w->FilmList.addItems(entries);
        w->UpdateFileCount();
        w->FilmList.setListIndex(selected);
        w->control(button)->fire(ControlEvent::Click);
        QTEST(w->FilmList.items(), "after");
        QTEST(w->FilmList.listIndex(), "selectedAfter");
        const bool any = !entries.isEmpty();
        QVERIFY(w->UpBtn.enabled() == any && w->DownBtn.enabled() == any && w->SaveBtn.enabled() == any);
    }

    void clearAndRemove()
    {
        TestWindow w;
        w->Form_Load();
        w->FilmList.addItems({"1", "2", "3", "4", "5"});
        w->FilmList.setListIndex(3);
        w->FilmList.fire(ControlEvent::DblClick);
        QCOMPARE(w->FilmList.items(), (QStringList{"1", "2", "3", "5"}));
        QCOMPARE(w->List_Count.text(), "Dateien: 4");
        w->FilmList.fire(ControlEvent::DblClick);  // nothing selected now
        QCOMPARE(w->FilmList.count(), 4);
        w->Command1.fire(ControlEvent::Click);
        QCOMPARE(w->List_Count.text(), "Dateien: 0");
        QVERIFY(!w->UpBtn.enabled() && !w->DownBtn.enabled() && !w->SaveBtn.enabled());
        // in receive mode the count is the remote list's; the buttons still follow the local list
        w->EmpfangenTabButton_Click();
        w->FilmRemoteList.setItems({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"});
        w->UpdateFileCount();
        QCOMPARE(w->List_Count.text(), "Dateien: 12");
        QVERIFY(!w->UpBtn.enabled() && !w->SaveBtn.enabled());
    }
};

QTEST_GUILESS_MAIN(ListEditingTest)
#include "tst_listediting.moc"
