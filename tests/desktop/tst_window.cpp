// The real widgets: the layout after real resize events, moving the window by its grips, and
// the pin on a real window.
#include "Doubles.h"
#include "desktop/SingleInstance.h"
#include "desktop/WindowHandling.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/WindowBinding.h"

#include <QApplication>
#include <QListView>
#include <QTest>
#include <QWindow>

namespace {

struct RealWindow {
    RealWindow()
    {
        MainWindowServices s;
        s.processes = &launcher;
        s.dialogs = &dialogs;
        s.window = &host;
        s.clock = &clock;
        s.environment.programFolder = dir.path() + u'/';
        s.environment.exeBaseName = QStringLiteral("mirovell");
        model = std::make_unique<MainWindow>(s);
        binding = std::make_unique<WindowBinding>(*model);
        host.setWidget(binding->window());
        model->Form_Load();
        model->Form_Resize();
        binding->window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(binding->window()));
    }
    QWidget* widget(const char* name) const { return binding->widgetFor(QString::fromLatin1(name)); }
    QRect px(const char* name) const { return widget(name)->geometry(); }
    // Resizes the client area and lets the resize events run until the window keeps its size.
    void resizeClient(QSize size)
    {
        binding->window()->resize(size);
        QSize last;
        for (int i = 0; i < 100; ++i) {
            QTest::qWait(20);
            if (binding->window()->size() == last && i > 5)
                break;
            last = binding->window()->size();
        }
    }

    QTemporaryDir dir;
    RecordingLauncher launcher;
    ScriptedDialogs dialogs;
    QtWindowHost host;
    FixedClock clock;
    std::unique_ptr<MainWindow> model;
    std::unique_ptr<WindowBinding> binding;
};

// Presses, moves by delta with the button held, and releases, as a user's hand does.
// The pointer keeps its place on the screen while the window moves under it.
void dragBy(QWidget* w, QPoint at, QPoint delta, Qt::MouseButton button)
{
    const QPoint start = w->mapToGlobal(at);
    QTest::mousePress(w, button, {}, at);
    for (int step = 1; step <= 4; ++step) {
        QTest::mouseMove(w, w->mapFromGlobal(start + delta * step / 4));
        QTest::qWait(10);
    }
    QTest::mouseRelease(w, button, {}, w->mapFromGlobal(start + delta));
    QTest::qWait(50);
}

}  // namespace

class TestWindowOnScreen : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void grips_data();
    void grips();
    void playListStillSelectsAndDoubleClicks();
    void pinOnTheRealWindow();
    void comesForwardAndTypes();
};

void TestWindowOnScreen::layout_data()
{
    QTest::addColumn<QSize>("outer");         // asked for, twips
    QTest::addColumn<QSize>("laidOutAt");     // the outer size the layout ran at, twips
    QTest::newRow("too small: 3000 x 4000") << QSize(3000, 4000) << QSize(3200, 4400);
    QTest::newRow("minimum: 3200 x 4400") << QSize(3200, 4400) << QSize(3200, 4400);
    QTest::newRow("large") << QSize(24000 + desktop::kFrameWidth, 15000 + desktop::kFrameHeight)
                           << QSize(24125, 15410);
}

void TestWindowOnScreen::layout()
{
    QFETCH(QSize, outer);
    QFETCH(QSize, laidOutAt);
    RealWindow w;
    w.model->EmpfangenTabButton_Click();   // the remote list is shown
    const auto pixels = [](int twips) { return WindowBinding::toPixels(twips); };
    w.resizeClient(QSize(pixels(outer.width() - desktop::kFrameWidth), pixels(outer.height() - desktop::kFrameHeight)));

    const MainWindow& m = *w.model;
    const int W = laidOutAt.width(), H = laidOutAt.height();
    QCOMPARE(m.Form.rect().width + desktop::kFrameWidth, W);
    QCOMPARE(m.Form.rect().height + desktop::kFrameHeight, H);
    QCOMPARE(w.binding->window()->size(), QSize(pixels(W - desktop::kFrameWidth), pixels(H - desktop::kFrameHeight)));
    QCOMPARE(m.Frame3.rect(), (TwipRect{0, H - 800, W - 100, 375}));
    QCOMPARE(m.Frame1.rect(), (TwipRect{0, H - 800 - 855, W - 100, 855}));
    QCOMPARE(m.Frame2.rect(), (TwipRect{0, 1320, W - 100, H - 2800}));
    QCOMPARE(m.FilmList.rect(), (TwipRect{105, 1350, W - 300, H - 2900}));
    QCOMPARE(m.FilmRemoteList.rect(), m.FilmList.rect());
    QCOMPARE(m.VlcPath.rect(), (TwipRect{720, 0, W - 1300, 285}));
    QCOMPARE(m.VLC_Browse.rect(), (TwipRect{720 + W - 1300, 0, 375, 285}));
    for (const Control* panel : {&m.JetztAbspielenFrame, &m.SendenFrame, &m.EmpfangenFrame})
        QCOMPARE(panel->rect().width, W - 100);

    // and on the screen
    QCOMPARE(w.px("FilmRemoteList"), w.px("FilmList"));
    QVERIFY(w.widget("FilmRemoteList")->isVisible());
    QCOMPARE(w.px("VLC_Browse").left(), w.px("VlcPath").right() + 1);
    const int client = w.binding->window()->height();
    QVERIFY(w.px("Frame3").bottom() < client);          // the status strip is whole
    QVERIFY(w.px("Frame3").bottom() >= client - 2);      // and sits on the bottom edge
    QCOMPARE(w.px("Frame1").bottom() + 1, w.px("Frame3").top());
    QVERIFY(w.px("Frame1").right() >= w.binding->window()->width() - 1);   // strips reach the right edge
}

void TestWindowOnScreen::grips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at");   // inside the control, pixels
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("background") << "Form" << QPoint() << int(Qt::LeftButton) << true;
    QTest::newRow("frame behind the list, right") << "Frame2" << QPoint(3, 60) << int(Qt::RightButton) << true;
    QTest::newRow("settings strip, middle") << "Frame1" << QPoint(300, 50) << int(Qt::MiddleButton) << true;
    QTest::newRow("status strip") << "Frame3" << QPoint(600, 10) << int(Qt::LeftButton) << true;
    QTest::newRow("local panel") << "JetztAbspielenFrame" << QPoint(200, 5) << int(Qt::LeftButton) << true;
    QTest::newRow("panel icon") << "Picture1" << QPoint(10, 10) << int(Qt::RightButton) << true;
    QTest::newRow("strip beside the tabs (disabled)") << "Command3" << QPoint(40, 20) << int(Qt::LeftButton) << true;
    QTest::newRow("panel title") << "Label8" << QPoint(20, 10) << int(Qt::LeftButton) << false;
    QTest::newRow("clock") << "Label9" << QPoint(10, 5) << int(Qt::LeftButton) << false;
    QTest::newRow("count label") << "List_Count" << QPoint(10, 5) << int(Qt::LeftButton) << false;
}

void TestWindowOnScreen::grips()
{
    QFETCH(QString, name);
    QFETCH(QPoint, at);
    QFETCH(int, button);
    QFETCH(bool, moves);
    RealWindow w;
    QWidget* target = w.binding->widgetFor(name);
    QVERIFY(target && target->isVisible());
    if (name == u"Form")   // the one free spot of the background: the line below the status strip
        at = QPoint(w.binding->window()->width() - 3, w.binding->window()->height() - 1);
    QCOMPARE(target->childAt(at), nullptr);
    const QPoint before = w.binding->window()->pos();
    dragBy(target, at, QPoint(40, 30), Qt::MouseButton(button));
    const QPoint after = w.binding->window()->pos();
    QCOMPARE(after - before, moves ? QPoint(40, 30) : QPoint(0, 0));
}

void TestWindowOnScreen::playListStillSelectsAndDoubleClicks()
{
    RealWindow w;
    for (const char* t : {"eins.mp4", "zwei.mp4", "drei.mp4"})
        w.model->FilmList.addItem(QString::fromLatin1(t));
    int doubles = 0;
    w.model->FilmList.on(ControlEvent::DblClick, [&] { ++doubles; });
    auto* list = qobject_cast<QListView*>(w.widget("FilmList"));
    QVERIFY(list);
    const QPoint row1 = list->visualRect(list->model()->index(1, 0)).center();
    const QPoint before = w.binding->window()->pos();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row1);
    QCOMPARE(w.model->FilmList.listIndex(), 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row1);
    QCOMPARE(doubles, 1);
    QCOMPARE(w.binding->window()->pos(), before);   // clicks alone do not move the window
    // a drag from a row moves the window and leaves the row selected
    const QPoint row2 = list->visualRect(list->model()->index(2, 0)).center();
    dragBy(list->viewport(), row2, QPoint(25, 20), Qt::LeftButton);
    QCOMPARE(w.binding->window()->pos() - before, QPoint(25, 20));
    QCOMPARE(w.model->FilmList.listIndex(), 2);
}

void TestWindowOnScreen::pinOnTheRealWindow()
{
    RealWindow w;
    QWidget* pin = w.widget("AlwaysOnTop1");
    QCOMPARE(pin->size(), QSize(21, 20));
    QCOMPARE(pin->toolTip(), QStringLiteral("Always on top"));
    QWindow* window = w.binding->window()->windowHandle();
    QVERIFY(window->flags() & Qt::WindowStaysOnTopHint);   // start-up switched it on
    QCOMPARE(w.model->AlwaysOnTop1.picture(), QStringLiteral("pin-down"));

    QTest::mouseClick(pin, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!w.model->alwaysOnTop().GetIsOnTop());
    QVERIFY(!(window->flags() & Qt::WindowStaysOnTopHint));
    QVERIFY(w.binding->window()->isVisible());   // switching does not hide the window
    QCOMPARE(w.model->AlwaysOnTop1.picture(), QStringLiteral("pin-hover"));

    QTest::mouseClick(pin, Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(w.model->alwaysOnTop().GetIsOnTop());
    QVERIFY(window->flags() & Qt::WindowStaysOnTopHint);
    QVERIFY(w.binding->window()->isVisible());
}

void TestWindowOnScreen::comesForwardAndTypes()
{
    RealWindow w;
    QWidget* window = w.binding->window();
    window->showMinimized();
    QTRY_VERIFY(window->isMinimized());
    w.model->Label2_Click();   // the path row opens with its field focused
    desktop::ComeForward(w.host, QStringLiteral("^a/opt/vlc/vlc"), QStringLiteral("{LEFT 3}+{HOME}{DEL}x"));
    QVERIFY(!window->isMinimized());
    QVERIFY(window->isVisible());
    QCOMPARE(w.model->VlcPath.text(), QStringLiteral("xvlc"));
    // notation it cannot read types nothing
    w.host.sendKeys(QStringLiteral("{NOPE}"));
    QCOMPARE(w.model->VlcPath.text(), QStringLiteral("xvlc"));
}

QTEST_MAIN(TestWindowOnScreen)
#include "tst_window.moc"
