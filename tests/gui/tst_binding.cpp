#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/EndRequests.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSessionManager>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <unistd.h>

class BindingTest : public QObject {
    Q_OBJECT
private slots:
    void designPlaces_data();
    void designPlaces();
    void clicksReachTheModel();
    void endingsSaveOnce_data();
    void endingsSaveOnce();
    void largeList();
};

void BindingTest::designPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");  // relative to the control's container
    QTest::newRow("LokalStarteBtn") << "LokalStarteBtn" << QRect(0, 0, 156, 42);
    QTest::newRow("EmpfangenTabButton") << "EmpfangenTabButton" << QRect(306, 0, 156, 42);
    QTest::newRow("ExitBtn") << "ExitBtn" << QRect(460, -1, 90, 43);
    QTest::newRow("FilmList") << "FilmList" << QRect(7, 90, 529, 173);
    QTest::newRow("Frame1") << "Frame1" << QRect(0, 272, 545, 57);
    QTest::newRow("SaveBtn") << "SaveBtn" << QRect(52, 21, 81, 25);
    QTest::newRow("Label9") << "Label9" << QRect(35, 4, 85, 16);
    QTest::newRow("TargetText") << "TargetText" << QRect(404, 12, 121, 24);
}

void BindingTest::designPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    TestWindow w;
    WindowBinding binding(*w);
    QCOMPARE(binding.widgetFor(name)->geometry(), pixels);
    QCOMPARE(binding.window()->size(), QSize(691, 407));
}

void BindingTest::clicksReachTheModel()
{
    TestWindow w;
    writeFile(w.path(QStringLiteral("mirovell.ini")), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
    WindowBinding binding(*w);
    w->Form_Load();
    binding.window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(binding.window()));
    QCOMPARE(binding.window()->windowTitle(), QStringLiteral("VLC- Drag&Drop - Mirovell   V. 0.5"));

    QTest::mouseClick(binding.widgetFor(QStringLiteral("SendenTabButton")), Qt::LeftButton);
    QVERIFY(binding.widgetFor(QStringLiteral("SendenFrame"))->isVisible());
    QVERIFY(!binding.widgetFor(QStringLiteral("JetztAbspielenFrame"))->isVisible());
    QVERIFY(!binding.widgetFor(QStringLiteral("SendenTabButton"))->isEnabled());

    auto* path = qobject_cast<QLineEdit*>(binding.widgetFor(QStringLiteral("VlcPath")));
    QVERIFY(!path->isVisible());
    QTest::mouseClick(binding.widgetFor(QStringLiteral("Label2")), Qt::LeftButton);
    QVERIFY(path->isVisible());
    QCOMPARE(path->selectedText(), QStringLiteral("/nowhere/vlc"));
    QCOMPARE(qobject_cast<QAbstractButton*>(binding.widgetFor(QStringLiteral("Label2")))->text(),
             QStringLiteral("< Vlc"));

    // typing reaches the model
    path->setFocus();
    path->selectAll();
    QTest::keyClicks(path, QStringLiteral("/usr/bin/vlc"));
    QCOMPARE(w->VlcPath.text(), QStringLiteral("/usr/bin/vlc"));

    w->FilmList.addItems({"a", "b", "c"});
    w->UpdateFileCount();
    auto* list = qobject_cast<QListView*>(binding.widgetFor(QStringLiteral("FilmList")));
    const QRect second = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(w->FilmList.listIndex(), 1);
    QCOMPARE(list->toolTip(), QStringLiteral("b"));
    QTest::mouseClick(binding.widgetFor(QStringLiteral("UpBtn")), Qt::LeftButton);
    QCOMPARE(w->FilmList.items(), (QStringList{"a", "c", "b"}));
    QCOMPARE(list->currentIndex().row(), 2);
    QCOMPARE(qobject_cast<QLabel*>(binding.widgetFor(QStringLiteral("List_Count")))->text(),
             QStringLiteral("Dateien: 3"));
}

void BindingTest::endingsSaveOnce_data()
{
    QTest::addColumn<QString>("ending");
    for (const char* e : {"close box", "session asks to save", "application quits", "SIGTERM", "SIGHUP"})
        QTest::newRow(e) << e;
}

// Every ending writes what the exit button writes, once; a second request finds nothing to do.
void BindingTest::endingsSaveOnce()
{
    QFETCH(QString, ending);
    const auto prepare = [](TestWindow& w) {
        w->Form_Load();
        w->TargetText.setText(QStringLiteral("10.1.2.3"));
        w->FilmList.addItems({QStringLiteral("  /m/a.avi"), QStringLiteral("/m/b.avi")});
    };
    TestWindow exitButton;
    prepare(exitButton);
    exitButton->ExitBtn_Click();

    TestWindow w;
    WindowBinding binding(*w);
    prepare(w);
    binding.window()->show();
    int ends = 0;
    EndRequests requests(*qApp, [&] {
        ++ends;
        w->Form_QueryUnload();
    });
    if (ending == u"close box") {
        binding.window()->close();
    } else if (ending == u"session asks to save") {
        auto* manager = qApp->findChild<QSessionManager*>();
        QVERIFY(manager);
        QMetaObject::invokeMethod(qApp, "commitDataRequest", Qt::DirectConnection, Q_ARG(QSessionManager&, *manager));
    } else if (ending == u"application quits") {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    } else {
        ::kill(::getpid(), ending == u"SIGTERM" ? SIGTERM : SIGHUP);
        QTRY_COMPARE(ends, 1);
    }
    QVERIFY(w->hasEnded());
    for (const char* file : {"mirovell.ini", "mirovell_TmpPlst.m3u"})
        QCOMPARE(readAll(w.path(QLatin1String(file))), readAll(exitButton.path(QLatin1String(file))));

    QFile::remove(w.path(QStringLiteral("mirovell.ini")));
    const int before = ends;
    ::kill(::getpid(), SIGINT);
    QTRY_COMPARE(ends, before + 1);
    QVERIFY(!QFile::exists(w.path(QStringLiteral("mirovell.ini"))));
}

void BindingTest::largeList()
{
    TestWindow w;
    WindowBinding binding(*w);
    w->Form_Load();
    QStringList many;
    for (int i = 0; i < 40000; ++i)
        many << QStringLiteral("/media/film %1.avi").arg(i);
    QCOMPARE(w->FilmList.addItems(many), Control::kMaxItems);
    auto* list = qobject_cast<QListView*>(binding.widgetFor(QStringLiteral("FilmList")));
    QCOMPARE(list->model()->rowCount(), Control::kMaxItems);
    QVERIFY(list->uniformItemSizes());
    w->FilmList.setListIndex(Control::kMaxItems - 1);
    QCOMPARE(list->currentIndex().row(), Control::kMaxItems - 1);
}

QTEST_MAIN(BindingTest)
#include "tst_binding.moc"
