// The widgets drawn from the controls: what a click or a key does to the model, and the ways the
// window's own ending reaches the shut-down. Their places: tst_window and the tour's clicks.
#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/EndRequests.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSessionManager>
#include <QTimer>

class BindingTest : public QObject {
    Q_OBJECT
private slots:
    void clicksReachTheModel()
    {
        TestWindow w;
        writeFile(w.path("mirovell.ini"), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
        WindowBinding binding(*w);
        w->Form_Load();
        binding.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(binding.window()));
        QCOMPARE(binding.window()->size(), QSize(691, 407));
        const auto widget = [&](const char* name) { return binding.widgetFor(QString::fromLatin1(name)); };

        QTest::mouseClick(widget("SendenTabButton"), Qt::LeftButton);
        QVERIFY(widget("SendenFrame")->isVisible() && !widget("JetztAbspielenFrame")->isVisible());
        QVERIFY(!widget("SendenTabButton")->isEnabled());
        w->TargetText.setItems({"alpha", "beta"});  // receivers found after the start drop down below the field
        const QCompleter* offers = qobject_cast<QLineEdit*>(widget("TargetText"))->completer();
        QVERIFY(offers && offers->model()->rowCount() == 2);

        auto* path = qobject_cast<QLineEdit*>(widget("VlcPath"));
        QVERIFY(!path->isVisible());
        QTest::mouseClick(widget("Label2"), Qt::LeftButton);
        QVERIFY(path->isVisible());
        QCOMPARE(path->selectedText(), "/nowhere/vlc");
        QCOMPARE(qobject_cast<QAbstractButton*>(widget("Label2"))->text(), "< Vlc");
        QTest::keyClicks(path, "/usr/bin/vlc");  // typing reaches the model
        QCOMPARE(w->VlcPath.text(), "/usr/bin/vlc");

        w->FilmList.addItems({"a", "b", "c"});
        w->UpdateFileCount();
        auto* list = qobject_cast<QListView*>(widget("FilmList"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(w->FilmList.listIndex(), 1);
        QCOMPARE(list->toolTip(), "b");
        QTest::mouseClick(widget("UpBtn"), Qt::LeftButton);
        QCOMPARE(w->FilmList.items(), (QStringList{"a", "c", "b"}));
        QCOMPARE(list->currentIndex().row(), 2);
        QCOMPARE(qobject_cast<QLabel*>(widget("List_Count"))->text(), "Dateien: 3");
    }

    // The window's own endings write what the exit button writes (signals: tests/app/tst_endings).
    void endingsSaveOnce_data()
    {
        QTest::addColumn<QString>("ending");
        for (const char* e : {"close box", "session asks to save", "application quits"})
            QTest::newRow(e) << e;
    }
    void endingsSaveOnce()
    {
        QFETCH(QString, ending);
        const auto prepare = [](TestWindow& w) {
            w->Form_Load();
            w->TargetText.setText("10.1.2.3");
            w->FilmList.addItems({"  /m/a.avi", "/m/b.avi"});
        };
        TestWindow exitButton;
        prepare(exitButton);
        exitButton->ExitBtn_Click();

        TestWindow w;
        WindowBinding binding(*w);
        prepare(w);
        binding.window()->show();
        EndRequests requests(*qApp, [&] { w->Form_QueryUnload(); });
        if (ending == u"close box") {
            binding.window()->close();
        } else if (ending == u"session asks to save") {
            auto* manager = qApp->findChild<QSessionManager*>();
            QVERIFY(manager);
            QMetaObject::invokeMethod(qApp, "commitDataRequest", Qt::DirectConnection,
                                      Q_ARG(QSessionManager&, *manager));
        } else {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            QCoreApplication::exec();
        }
        QVERIFY(w->hasEnded());
        for (const char* file : {"mirovell.ini", "mirovell_TmpPlst.m3u"})
            QCOMPARE(readAll(w.path(QLatin1String(file))), readAll(exitButton.path(QLatin1String(file))));
    }
};

QTEST_MAIN(BindingTest)
#include "tst_binding.moc"
