// The pin, the hand-over to a running instance, the key notation, moving the window by its grips
// and the layout after resizes: on the model and on the real widgets.
#include "Doubles.h"
#include "desktop/AlwaysOnTop.h"
#include "desktop/SendKeys.h"
#include "desktop/SingleInstance.h"
#include "desktop/WindowHandling.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/WindowBinding.h"

#include <QListView>
#include <QTest>
#include <QWindow>

namespace {

struct RealWindow {
    RealWindow()
    {
        MainWindowServices s = doubles->services();
        s.window = &host;
        s.switchOnTop = nullptr;  // the doubles' window bound it to its own pin
        s.singleInstance = &instance;
        model = std::make_unique<MainWindow>(s);
        binding = std::make_unique<WindowBinding>(*model);
        host.setWidget(window());
        model->Form_Load();
        model->Form_Resize();
        window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
    }
    QWidget* window() const { return binding->window(); }
    QWidget* widget(const char* name) const { return binding->widgetFor(QString::fromLatin1(name)); }
    QRect px(const char* name) const { return widget(name)->geometry(); }
    TestWindow doubles;
    QtWindowHost host;
    RecordingSingleInstance instance;
    std::unique_ptr<MainWindow> model;
    std::unique_ptr<WindowBinding> binding;
};

// Presses, moves with the button held, and releases as a hand does: the pointer keeps its place
// on the screen while the window moves under it.
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

using Pic = AlwaysOnTop::Picture;
using sendkeys::KeyStroke;

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void pinEvents_data();
    void pinEvents();
    void pinOnTheRealWindow();
    void handOver();
    void keyNotation();
    void comesForwardAndTypes();
    void dragStartsOnlyFromGrips();
    void playListStillSelectsAndDoubleClicks();
    void minimumOneStepPerResize();
    void layout_data();
    void layout();
};

void TestDesktop::pinEvents_data()
{
    QTest::addColumn<QString>("events");  // h = pointer over picture, s = over surface, c = click
    QTest::addColumn<int>("picture");
    QTest::addColumn<bool>("onTop");
    QTest::newRow("created") << "" << int(Pic::Disabled) << false;
    QTest::newRow("hovered then surface") << "hs" << int(Pic::Disabled) << false;
    QTest::newRow("click hover picture") << "hc" << int(Pic::Enabled) << true;
    QTest::newRow("on has no hover") << "ch" << int(Pic::Enabled) << true;
    QTest::newRow("switched off shows hover") << "cc" << int(Pic::MouseMove) << false;
    QTest::newRow("off, then surface") << "ccs" << int(Pic::Disabled) << false;
}

void TestDesktop::pinEvents()
{
    QFETCH(QString, events);
    QFETCH(int, picture);
    QFETCH(bool, onTop);
    TestWindow w;
    for (QChar e : events) {
        if (e == u's')
            w->alwaysOnTop().pointerOverSurface();
        else
            w->AlwaysOnTop1.fire(e == u'h' ? ControlEvent::MouseMove : ControlEvent::Click);
    }
    QCOMPARE(int(w->alwaysOnTop().visiblePicture()), picture);
    QCOMPARE(w->alwaysOnTop().GetIsOnTop(), onTop);
    QCOMPARE(w.host.topmost, onTop);
    QCOMPARE(w->AlwaysOnTop1.value(), onTop ? 1 : 0);
}

void TestDesktop::pinOnTheRealWindow()
{
    RealWindow w;
    QWidget* pin = w.widget("AlwaysOnTop1");
    QCOMPARE(pin->size(), QSize(21, 20));
    QCOMPARE(pin->toolTip(), QStringLiteral("Always on top"));
    QCOMPARE(w.model->AlwaysOnTop1.picture(), QStringLiteral("pin-down"));
    for (bool on : {false, true}) {  // start-up switched it on; each click toggles
        QTest::mouseClick(pin, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(w.model->alwaysOnTop().GetIsOnTop(), on);
        QCOMPARE(bool(w.window()->windowHandle()->flags() & Qt::WindowStaysOnTopHint), on);
        QVERIFY(w.window()->isVisible());  // switching does not hide the window
    }

    // where the window system cannot keep a window on top the pin says so and nothing fails
    RecordingWindowHost host;
    host.stayOnTop = false;
    MainWindowServices s;
    s.window = &host;
    MainWindow wayland(s);
    QVERIFY(wayland.AlwaysOnTop1.toolTip().startsWith(QStringLiteral("Always on top (")));
    wayland.alwaysOnTop().SetToTop(true);
    QVERIFY(wayland.alwaysOnTop().GetIsOnTop());
}

void TestDesktop::handOver()
{
    RecordingSingleInstance instance;
    QVERIFY(desktop::ActivatePrevInstance(instance, QStringLiteral("^o"), QString()));  // alone: this start goes on
    instance.other = true;
    QVERIFY(!desktop::ActivatePrevInstance(instance, QStringLiteral("^o"), QStringLiteral("{ENTER}")));
    QVERIFY(!desktop::ActivatePrevInstance(instance, QString(), QStringLiteral("x")));  // keys2 only follows keys1
    QCOMPARE(instance.requests, (QStringList{QStringLiteral("^o|{ENTER}"), QStringLiteral("|")}));
}

// comesForwardAndTypes types modifiers, names and repeats; here groups, escapes and bad notation.
void TestDesktop::keyNotation()
{
    const QList<KeyStroke> strokes{{'A', Qt::ControlModifier, {}},
                                   {'B', Qt::ControlModifier, {}},
                                   {'+', Qt::NoModifier, QStringLiteral("+")},
                                   {Qt::Key_Return, Qt::NoModifier, {}}};
    QVERIFY(sendkeys::parse(QStringLiteral("^(ab){+}~")) == strokes);
    for (const char* bad : {"{ENTER", "{NOPE}", "(ab", "a+", "{a 100000}"})
        QVERIFY2(!sendkeys::parse(QString::fromLatin1(bad)), bad);
}

void TestDesktop::comesForwardAndTypes()
{
    RealWindow w;
    w.window()->showMinimized();
    QTRY_VERIFY(w.window()->isMinimized());
    w.model->Label2_Click();  // the path row opens with its field focused
    w.instance.handler(QStringLiteral("^a/opt/vlc/vlc"),
                       QStringLiteral("{LEFT 3}+{HOME}{DEL}x"));  // a later start asks
    QVERIFY(!w.window()->isMinimized() && w.window()->isVisible());
    QVERIFY(w.window()->windowHandle()->flags() & Qt::WindowStaysOnTopHint);  // the pin keeps its word
    QCOMPARE(w.model->VlcPath.text(), QStringLiteral("xvlc"));
    w.host.sendKeys(QStringLiteral("{NOPE}"));  // notation it cannot read types nothing
    QCOMPARE(w.model->VlcPath.text(), QStringLiteral("xvlc"));
}

void TestDesktop::dragStartsOnlyFromGrips()
{
    TestWindow w;
    const QStringList grips{"Form",        "Command3",       "Frame1",   "Frame2",   "Frame3",   "JetztAbspielenFrame",
                            "SendenFrame", "EmpfangenFrame", "Picture1", "Picture3", "Picture2", "FilmList"};
    for (Control* c : w->controls()) {
        const int before = w.host.moves;
        c->setEnabled(true);
        for (int button : {1, 2, 4}) {
            EventArgs a;
            a.button = button;
            c->fire(ControlEvent::MouseDown, a);
        }
        QCOMPARE(w.host.moves - before, grips.contains(c->name()) ? 3 : 0);
    }
}

void TestDesktop::playListStillSelectsAndDoubleClicks()
{
    RealWindow w;
    w.model->FilmList.addItems({QStringLiteral("eins.mp4"), QStringLiteral("zwei.mp4"), QStringLiteral("drei.mp4")});
    int doubles = 0;
    w.model->FilmList.on(ControlEvent::DblClick, [&] { ++doubles; });
    auto* list = qobject_cast<QListView*>(w.widget("FilmList"));
    const auto row = [&](int i) { return list->visualRect(list->model()->index(i, 0)).center(); };
    const QPoint before = w.window()->pos();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row(1));
    QCOMPARE(w.model->FilmList.listIndex(), 1);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row(1));
    QCOMPARE(doubles, 1);
    QCOMPARE(w.window()->pos(), before);                               // clicks alone do not move the window
    dragBy(list->viewport(), row(2), QPoint(25, 20), Qt::LeftButton);  // a drag moves it, selecting the row
    QCOMPARE(w.window()->pos() - before, QPoint(25, 20));
    QCOMPARE(w.model->FilmList.listIndex(), 2);
}

// One step per resize event, height first; only the normal state is resized and drops the tray icon.
void TestDesktop::minimumOneStepPerResize()
{
    TestWindow w;
    int removed = 0;
    w->removeTrayIcon = [&] { ++removed; };
    w->Form.setRect({0, 0, 3000 - desktop::kFrameWidth, 4000 - desktop::kFrameHeight});
    const TwipRect frame3 = w->Frame3.rect();
    for (QSize outer : {QSize(3000, 4400), QSize(3200, 4400)}) {
        w->Form.fire(ControlEvent::Resize);
        QCOMPARE(QSize(w->Form.rect().width + desktop::kFrameWidth, w->Form.rect().height + desktop::kFrameHeight),
                 outer);
        QCOMPARE(w->Frame3.rect(), frame3);
    }
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(w->Frame3.rect().top, 3600);
    const TwipRect small{0, 0, 100, 100};
    w->Form.setRect(small);
    w.host.minimized = true;
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(w->Form.rect(), small);
    w.host.maximized = true;
    w.host.minimized = false;
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(removed, 3);
}

void TestDesktop::layout_data()
{
    QTest::addColumn<QSize>("outer");  // asked for, twips
    QTest::addColumn<QSize>("laidOutAt");
    QTest::newRow("too small: 3000 x 4000") << QSize(3000, 4000) << QSize(3200, 4400);
    QTest::newRow("minimum: 3200 x 4400") << QSize(3200, 4400) << QSize(3200, 4400);
    QTest::newRow("large") << QSize(24125, 15410) << QSize(24125, 15410);
}

void TestDesktop::layout()
{
    QFETCH(QSize, outer);
    QFETCH(QSize, laidOutAt);
    RealWindow w;
    w.model->EmpfangenTabButton_Click();  // the remote list is shown
    const auto client = [](QSize s) {
        return QSize(WindowBinding::toPixels(s.width() - desktop::kFrameWidth),
                     WindowBinding::toPixels(s.height() - desktop::kFrameHeight));
    };
    w.window()->resize(client(outer));
    QSize last;  // the resize events run until the window keeps its size
    for (int i = 0; i < 100 && (i <= 5 || w.window()->size() != last); ++i) {
        last = w.window()->size();
        QTest::qWait(20);
    }
    const MainWindow& m = *w.model;
    const int W = laidOutAt.width(), H = laidOutAt.height();
    QCOMPARE(w.window()->size(), client(laidOutAt));
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
    QVERIFY(w.widget("FilmRemoteList")->isVisible());
    QCOMPARE(w.px("FilmRemoteList"), w.px("FilmList"));
    QCOMPARE(w.px("VLC_Browse").left(), w.px("VlcPath").right() + 1);
    QVERIFY(w.px("Frame3").bottom() < w.window()->height() && w.px("Frame3").bottom() >= w.window()->height() - 2);
    QCOMPARE(w.px("Frame1").bottom() + 1, w.px("Frame3").top());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
