// The widgets drawn from the controls: what a click, a key or a drop does to the model, and the
// ways the window's own ending reaches the shut-down. Their places: tst_window and the tour's clicks.
#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/EndRequests.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSessionManager>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {

// A shown window whose stored VLC is not there.
struct Shown {
    Shown()
    {
        writeFile(w.path("mirovell.ini"), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
        w->Form_Load();
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
    }
    QWidget* window() const { return binding.window(); }
    QWidget* widget(const char* name) const { return binding.widgetFor(QString::fromLatin1(name)); }
    TestWindow w;
    WindowBinding binding{*w};
};

}  // namespace

class BindingTest : public QObject {
    Q_OBJECT
    // Drags go to the real top-level window, which picks the widget under the point the way
    // the window system's drag and drop does.
    static QPoint pointOn(QWidget* window, QWidget* target)
    {
        auto* area = qobject_cast<QAbstractScrollArea*>(target);
        const QRect r(target->mapTo(window, QPoint(0, 0)), target->size());
        for (int y = r.top(); y <= r.bottom(); y += 2)
            for (int x = r.left(); x <= r.right(); x += 2) {
                QWidget* hit = window->childAt(QPoint(x, y));
                if (hit == target || (area && hit == area->viewport()) || (!hit && target == window))
                    return {x, y};
            }
        return {-1, -1};
    }

    static Qt::DropAction drop(QWidget* window, QPoint at, const QMimeData& data)
    {
        QWindow* handle = window->windowHandle();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &move);
        if (!move.isAccepted() || move.dropAction() == Qt::IgnoreAction) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(handle, &leave);
            return Qt::IgnoreAction;
        }
        QDropEvent dropEvent(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &dropEvent);
        return dropEvent.isAccepted() ? dropEvent.dropAction() : Qt::IgnoreAction;
    }

private slots:
    void clicksReachTheModel()
    {
        Shown s;
        TestWindow& w = s.w;
        QCOMPARE(s.window()->size(), QSize(691, 407));

        QTest::mouseClick(s.widget("SendenTabButton"), Qt::LeftButton);
        QVERIFY(s.widget("SendenFrame")->isVisible() && !s.widget("JetztAbspielenFrame")->isVisible());
        QVERIFY(!s.widget("SendenTabButton")->isEnabled());
        w->TargetText.setItems({"alpha", "beta"});  // receivers found after the start drop down below the field
        const QCompleter* offers = qobject_cast<QLineEdit*>(s.widget("TargetText"))->completer();
        QVERIFY(offers && offers->model()->rowCount() == 2);

        auto* path = qobject_cast<QLineEdit*>(s.widget("VlcPath"));
        QVERIFY(!path->isVisible());
        QTest::mouseClick(s.widget("Label2"), Qt::LeftButton);
        QVERIFY(path->isVisible());
        QCOMPARE(path->selectedText(), "/nowhere/vlc");
        QCOMPARE(qobject_cast<QAbstractButton*>(s.widget("Label2"))->text(), "< Vlc");
        QTest::keyClicks(path, "/usr/bin/vlc");  // typing reaches the model
        QCOMPARE(w->VlcPath.text(), "/usr/bin/vlc");

        w->FilmList.addItems({"a", "b", "c"});
        w->UpdateFileCount();
        auto* list = qobject_cast<QListView*>(s.widget("FilmList"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
        QCOMPARE(w->FilmList.listIndex(), 1);
        QCOMPARE(list->toolTip(), "b");
        QTest::mouseClick(s.widget("UpBtn"), Qt::LeftButton);
        QCOMPARE(w->FilmList.items(), (QStringList{"a", "c", "b"}));
        QCOMPARE(list->currentIndex().row(), 2);
        QCOMPARE(qobject_cast<QLabel*>(s.widget("List_Count"))->text(), "Dateien: 3");
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

    void dropOnWidget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("receiveMode");
        QTest::addColumn<bool>("expanded");  // the play list's entries instead of its path
        QTest::addColumn<bool>("taken");
        QTest::addColumn<bool>("files");  // false: only a web address and text are dragged
        QTest::newRow("FilmList") << "FilmList" << false << true << true << true;
        QTest::newRow("Form") << "Form" << false << false << true << true;
        QTest::newRow("Frame1") << "Frame1" << false << false << true << true;
        QTest::newRow("Frame2") << "Frame2" << false << false << true << true;
        QTest::newRow("Frame2 while receiving") << "Frame2" << true << false << true << true;
        QTest::newRow("FilmRemoteList") << "FilmRemoteList" << true << false << false << true;
        QTest::newRow("mode panel") << "JetztAbspielenFrame" << false << false << false << true;
        QTest::newRow("label in the settings strip") << "List_Count" << false << false << false << true;
        QTest::newRow("FilmList, no local files") << "FilmList" << false << false << false << false;
    }

    void dropOnWidget()
    {
        QFETCH(bool, taken);
        Shown s;
        TestWindow& w = s.w;
        writeFile(w.path("two.m3u"), "#EXTM3U\r\n/m/a.avi\r\nb.avi\r\n");
        if (row<bool>("receiveMode"))
            w->EmpfangenTabButton_Click();
        QWidget* window = s.window();

        const QPoint at = pointOn(window, s.binding.widgetFor(row<QString>("target")));
        QVERIFY2(at.x() >= 0, "no visible point of the target");
        QMimeData data;
        const QString media = w.path("film one.mkv");
        const QString list = w.path("two.m3u");
        const QUrl web("https://x.org/a.m3u");
        data.setUrls(row<bool>("files") ? QList<QUrl>{QUrl::fromLocalFile(media), QUrl::fromLocalFile(list), web}
                                        : QList<QUrl>{web});
        data.setText("dragged text is not a file");
        const QStringList before = w->FilmList.items();

        const Qt::DropAction action = drop(window, at, data);

        QStringList expected = before;
        if (taken)
            expected << media << (row<bool>("expanded") ? QStringList{"/m/a.avi", w.path("b.avi")} : QStringList{list});
        QCOMPARE(w->FilmList.items(), expected);
        QCOMPARE(action, taken ? Qt::CopyAction : Qt::IgnoreAction);
    }
};

QTEST_MAIN(BindingTest)
#include "tst_binding.moc"
