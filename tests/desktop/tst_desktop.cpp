// The pin, moving the window by its grips and the layout after resizes, on the window model;
// tests/gui/tst_window.cpp meets them on the real widgets.
#include "Doubles.h"

#include <QTest>

using Pic = AlwaysOnTop::Picture;

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void pinEvents_data()
    {
        QTest::addColumn<QString>("events");  // h = pointer over picture, c = click
        QTest::addColumn<int>("picture");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("created") << "" << int(Pic::Disabled) << false;
        QTest::newRow("click hover picture") << "hc" << int(Pic::Enabled) << true;
        QTest::newRow("on has no hover") << "ch" << int(Pic::Enabled) << true;
        QTest::newRow("switched off shows hover") << "cc" << int(Pic::MouseMove) << false;
    }
    void pinEvents()
    {
        QFETCH(QString, events);
        QFETCH(int, picture);
        QFETCH(bool, onTop);
        TestWindow w;
        for (QChar e : events)
            w->AlwaysOnTop1.fire(e == u'h' ? ControlEvent::MouseMove : ControlEvent::Click);
        QCOMPARE(int(w->alwaysOnTop().visiblePicture()), picture);
        QCOMPARE(w->alwaysOnTop().GetIsOnTop(), onTop);
        QCOMPARE(w.host.topmost, onTop);
        QCOMPARE(w->AlwaysOnTop1.value(), onTop ? 1 : 0);
    }

    void dragStartsOnlyFromGrips()
    {
        TestWindow w;
        QStringList grips;
        for (Control* c : w->controls()) {
            const int before = w.host.moves;
            c->setEnabled(true);
            for (int button : {1, 2, 4})
                c->fire(ControlEvent::MouseDown, EventArgs{{}, button});
            if (w.host.moves - before == 3)
                grips << c->name();
        }
        grips.sort();
        QCOMPARE(grips.join(u' '), "Command3 EmpfangenFrame FilmList Form Frame1 Frame2 Frame3 JetztAbspielenFrame "
                                   "Picture1 Picture2 Picture3 SendenFrame");
    }

    // One step per resize event, height first; only the normal state is resized and drops the tray icon.
    void minimumOneStepPerResize()
    {
        TestWindow w;
        w.tray.shown = true;
        w->Form.setRect({0, 0, 3000 - WindowLayout::kFrameWidth, 4000 - WindowLayout::kFrameHeight});
        const TwipRect frame3 = w->Frame3.rect();
        for (QSize outer : {QSize(3000, 4400), QSize(3200, 4400)}) {
            w->Form.fire(ControlEvent::Resize);
            QCOMPARE(QSize(w->Form.rect().width + WindowLayout::kFrameWidth,
                           w->Form.rect().height + WindowLayout::kFrameHeight),
                     outer);
            QCOMPARE(w->Frame3.rect(), frame3);
        }
        QVERIFY(!w.tray.shown);
        w->Form.fire(ControlEvent::Resize);
        QCOMPARE(w->Frame3.rect().top, 3600);
        const TwipRect small{0, 0, 100, 100};
        w->Form.setRect(small);
        for (bool maximized : {false, true}) {  // neither a minimised nor a maximised window is resized
            w.host.minimized = !maximized;
            w.host.maximized = maximized;
            w.tray.shown = true;
            w->Form.fire(ControlEvent::Resize);
            QCOMPARE(w->Form.rect(), small);
            QCOMPARE(w.tray.shown, true);
        }
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
