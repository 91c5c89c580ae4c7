#include "Doubles.h"
#include "gui/WindowBinding.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

// Drags delivered to the real top-level window, which picks the widget under the point the way
// the window system's drag and drop does.
class DropGuiTest : public QObject {
    Q_OBJECT
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
        TestWindow w;
        writeFile(w.path("mirovell.ini"), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
        writeFile(w.path("two.m3u"), "#EXTM3U\r\n/m/a.avi\r\nb.avi\r\n");
        WindowBinding binding(*w);
        w->Form_Load();
        if (row<bool>("receiveMode"))
            w->EmpfangenTabButton_Click();
        QWidget* window = binding.window();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));

        const QPoint at = pointOn(window, binding.widgetFor(row<QString>("target")));
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

QTEST_MAIN(DropGuiTest)
#include "tst_dropgui.moc"
