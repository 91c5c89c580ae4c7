// The pin's state table, the start-up hand-over to a running instance, the key notation,
// which controls move the window, and the resize rule on the model.
#include "Doubles.h"
#include "desktop/AlwaysOnTop.h"
#include "desktop/SendKeys.h"
#include "desktop/SingleInstance.h"
#include "desktop/WindowHandling.h"

#include <QTest>

namespace {

class RecordingStore : public IPinSettingsStore {
public:
    bool RegistrySet(const QString& section, const QString& key, const QString& value) override
    {
        sets << section + u'/' + key + u'=' + value;
        return !failing;
    }
    std::optional<QString> RegistryGet(const QString&, const QString&, const QString& fallback) override
    {
        if (failing)
            return std::nullopt;
        return stored.isEmpty() ? fallback : stored;
    }
    QStringList sets;
    QString stored;
    bool failing = false;
};

using Pic = AlwaysOnTop::Picture;

}  // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void pinAfterStartUp();
    void pinEvents_data();
    void pinEvents();
    void pinSaves_data();
    void pinSaves();
    void pinLoadSettings_data();
    void pinLoadSettings();
    void pinKeepsItsSize();
    void pinSaysWhenItCannotStayOnTop();
    void secondStartHandsOver_data();
    void secondStartHandsOver();
    void runningInstanceComesForward();
    void keyNotation_data();
    void keyNotation();
    void dragStartsOnlyFromGrips();
    void minimumSizeOneStepPerResize();
    void resizeDropsTrayIconOnlyInNormalState();
};

void TestDesktop::pinAfterStartUp()
{
    TestWindow w;
    QVERIFY(!w->alwaysOnTop().GetIsOnTop());
    w->Form_Load();
    QVERIFY(w->alwaysOnTop().GetIsOnTop());
    QCOMPARE(w->alwaysOnTop().visiblePicture(), Pic::Enabled);
    QCOMPARE(w->AlwaysOnTop1.picture(), QStringLiteral("pin-down"));
    QVERIFY(w.host.topmost);
    QCOMPARE(w->AlwaysOnTop1.toolTip(), QStringLiteral("Always on top"));
}

// Each row: a series of events from the off state, then the state reached.
void TestDesktop::pinEvents_data()
{
    QTest::addColumn<QString>("events");   // h = pointer over picture, s = over surface, c = click
    QTest::addColumn<int>("picture");
    QTest::addColumn<bool>("onTop");
    QTest::newRow("created") << "" << int(Pic::Disabled) << false;
    QTest::newRow("hovered") << "h" << int(Pic::MouseMove) << false;
    QTest::newRow("hovered then surface") << "hs" << int(Pic::Disabled) << false;
    QTest::newRow("click off picture") << "c" << int(Pic::Enabled) << true;
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
    AlwaysOnTop& pin = w->alwaysOnTop();
    for (QChar e : events) {
        if (e == u'h')
            w->AlwaysOnTop1.fire(ControlEvent::MouseMove);
        else if (e == u's')
            pin.pointerOverSurface();
        else
            w->AlwaysOnTop1.fire(ControlEvent::Click);
    }
    QCOMPARE(int(pin.visiblePicture()), picture);
    QCOMPARE(pin.GetIsOnTop(), onTop);
    QCOMPARE(w.host.topmost, onTop);
    QCOMPARE(w->AlwaysOnTop1.value(), onTop ? 1 : 0);
}

void TestDesktop::pinSaves_data()
{
    QTest::addColumn<bool>("toTop");
    QTest::addColumn<QVariant>("argument");
    QTest::addColumn<int>("saves");
    QTest::newRow("top, no argument") << true << QVariant() << 1;
    QTest::newRow("top, true") << true << QVariant(true) << 2;
    QTest::newRow("top, false") << true << QVariant(false) << 1;
    QTest::newRow("top, \"True\"") << true << QVariant(QStringLiteral("True")) << 2;
    QTest::newRow("normal, no argument") << false << QVariant() << 1;
    QTest::newRow("normal, true") << false << QVariant(true) << 2;
}

void TestDesktop::pinSaves()
{
    QFETCH(bool, toTop);
    QFETCH(QVariant, argument);
    QFETCH(int, saves);
    TestWindow w;
    RecordingStore store;
    w->alwaysOnTop().attachStore(&store);
    if (toTop)
        w->alwaysOnTop().SetToTop(argument);
    else
        w->alwaysOnTop().SetToNormal(argument);
    QCOMPARE(store.sets.size(), saves);
    const QString expected = QStringLiteral("AlwaysOnTop/OnTop=") + (toTop ? QStringLiteral("True") : QStringLiteral("False"));
    for (const QString& s : store.sets)
        QCOMPARE(s, expected);
    QCOMPARE(w.host.topmost, toTop);
}

void TestDesktop::pinLoadSettings_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("failing");
    QTest::addColumn<bool>("onTop");
    QTest::newRow("nothing stored: on") << "" << false << true;
    QTest::newRow("True") << "True" << false << true;
    QTest::newRow("False") << "False" << false << false;
    QTest::newRow("failing store changes nothing") << "False" << true << true;
}

void TestDesktop::pinLoadSettings()
{
    QFETCH(QString, stored);
    QFETCH(bool, failing);
    QFETCH(bool, onTop);
    TestWindow w;
    w->Form_Load();   // on
    RecordingStore store;
    store.stored = stored;
    store.failing = failing;
    w->alwaysOnTop().attachStore(&store);
    w->alwaysOnTop().LoadSettings();
    QCOMPARE(w->alwaysOnTop().GetIsOnTop(), onTop);
    QCOMPARE(w.host.topmost, onTop);
    // a failing store does not stop a click either
    w->AlwaysOnTop1.fire(ControlEvent::Click);
    QCOMPARE(w->alwaysOnTop().GetIsOnTop(), !onTop);
}

void TestDesktop::pinKeepsItsSize()
{
    TestWindow w;
    w->AlwaysOnTop1.setRect({75, 45, 900, 20});
    QCOMPARE(w->AlwaysOnTop1.rect(), (TwipRect{75, 45, 315, 300}));
    w->AlwaysOnTop1.setLeft(200);
    QCOMPARE(w->AlwaysOnTop1.rect(), (TwipRect{200, 45, 315, 300}));
}

void TestDesktop::pinSaysWhenItCannotStayOnTop()
{
    RecordingWindowHost host;
    host.stayOnTop = false;
    MainWindowServices s;
    s.window = &host;
    MainWindow w(s);
    QVERIFY(w.AlwaysOnTop1.toolTip().startsWith(QStringLiteral("Always on top (")));
    w.alwaysOnTop().SetToTop(true);   // nothing fails
    QVERIFY(w.alwaysOnTop().GetIsOnTop());
}

void TestDesktop::secondStartHandsOver_data()
{
    QTest::addColumn<bool>("other");
    QTest::addColumn<QString>("keys1");
    QTest::addColumn<QString>("keys2");
    QTest::addColumn<QString>("request");   // what the running instance is asked, "" for nothing
    QTest::newRow("alone") << false << "" << "" << "";
    QTest::newRow("second start") << true << "" << "" << "|";
    QTest::newRow("keys") << true << "^o" << "{ENTER}" << "^o|{ENTER}";
    QTest::newRow("keys2 alone is not sent") << true << "" << "x" << "|";
}

void TestDesktop::secondStartHandsOver()
{
    QFETCH(bool, other);
    QFETCH(QString, keys1);
    QFETCH(QString, keys2);
    QFETCH(QString, request);
    RecordingSingleInstance instance;
    instance.other = other;
    QCOMPARE(desktop::ActivatePrevInstance(instance, keys1, keys2), !other);
    QCOMPARE(instance.requests.join(u';'), request);

    // through start-up: a second start ends before the settings file exists
    TestWindow w;
    MainWindowServices s = w->services();
    s.singleInstance = &instance;
    instance.requests.clear();
    MainWindow second(s);
    second.Form_Load();
    QCOMPARE(second.hasEnded(), other);
    QCOMPARE(QFileInfo::exists(w.path(QStringLiteral("mirovell.ini"))), !other);
    QCOMPARE(w.host.quits, other ? 1 : 0);
    QCOMPARE(w.host.activations, 0);
    QCOMPARE(second.Form.text(), MainWindow::kStoredCaption + QStringLiteral("   V. 0.5"));
}

void TestDesktop::runningInstanceComesForward()
{
    TestWindow w;
    RecordingSingleInstance instance;
    MainWindowServices s = w->services();
    s.singleInstance = &instance;
    MainWindow first(s);
    first.Form_Load();
    QVERIFY(!first.hasEnded());
    QVERIFY(instance.handler);
    w.host.minimized = true;
    instance.handler(QString(), QStringLiteral("ignored"));
    QVERIFY(!w.host.minimized);
    QCOMPARE(w.host.activations, 1);
    QVERIFY(w.host.typed.isEmpty());
    QVERIFY(w.host.topmost);   // the pin keeps its word
    instance.handler(QStringLiteral("abc"), QStringLiteral("~"));
    QCOMPARE(w.host.typed, (QStringList{QStringLiteral("abc"), QStringLiteral("~")}));
    QVERIFY(w.host.pumps >= 2);
    first.ExitBtn_Click();
    instance.handler(QString(), QString());   // a window on its way out stays as it is
    QCOMPARE(w.host.activations, 2);
}

void TestDesktop::keyNotation_data()
{
    using sendkeys::KeyStroke;
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<KeyStroke>>("strokes");
    const auto ch = [](char c, Qt::KeyboardModifiers m = Qt::NoModifier, QString t = {}) {
        return KeyStroke{QChar(c).toUpper().unicode(), m, t};
    };
    QTest::newRow("empty") << "" << true << QList<KeyStroke>{};
    QTest::newRow("text") << "aB" << true << QList<KeyStroke>{ch('a', {}, "a"), ch('B', {}, "B")};
    QTest::newRow("shift") << "+a" << true << QList<KeyStroke>{ch('a', Qt::ShiftModifier, "A")};
    QTest::newRow("group") << "^(ab)c" << true
                           << QList<KeyStroke>{ch('a', Qt::ControlModifier), ch('b', Qt::ControlModifier),
                                               ch('c', {}, "c")};
    QTest::newRow("enter") << "~{ENTER}" << true
                           << QList<KeyStroke>{{Qt::Key_Return, {}, {}}, {Qt::Key_Return, {}, {}}};
    QTest::newRow("named, repeated") << "{tab 3}" << true
                                     << QList<KeyStroke>{{Qt::Key_Tab, {}, {}}, {Qt::Key_Tab, {}, {}},
                                                         {Qt::Key_Tab, {}, {}}};
    QTest::newRow("escaped") << "{+}{{}{}}{~}" << true
                             << QList<KeyStroke>{ch('+', {}, "+"), ch('{', {}, "{"), ch('}', {}, "}"),
                                                 ch('~', {}, "~")};
    QTest::newRow("unclosed brace") << "{ENTER" << false << QList<KeyStroke>{};
    QTest::newRow("unknown name") << "{NOPE}" << false << QList<KeyStroke>{};
    QTest::newRow("unbalanced group") << "(ab" << false << QList<KeyStroke>{};
    QTest::newRow("dangling modifier") << "a+" << false << QList<KeyStroke>{};
    QTest::newRow("huge repeat") << "{a 100000}" << false << QList<KeyStroke>{};
}

void TestDesktop::keyNotation()
{
    QFETCH(QString, keys);
    QFETCH(bool, valid);
    QFETCH(QList<sendkeys::KeyStroke>, strokes);
    const auto parsed = sendkeys::parse(keys);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QVERIFY(*parsed == strokes);
}

void TestDesktop::dragStartsOnlyFromGrips()
{
    TestWindow w;
    const QStringList grips{"Form", "Command3", "Frame1", "Frame2", "Frame3", "JetztAbspielenFrame",
                            "SendenFrame", "EmpfangenFrame", "Picture1", "Picture3", "Picture2", "FilmList"};
    for (Control* c : w->controls()) {
        const int before = w.host.moves;
        for (int button : {1, 2, 4}) {
            EventArgs a;
            a.button = button;
            const bool wasEnabled = c->enabled();
            c->setEnabled(true);
            c->fire(ControlEvent::MouseDown, a);
            c->setEnabled(wasEnabled);
        }
        QCOMPARE(w.host.moves - before, grips.contains(c->name()) ? 3 : 0);
    }
}

void TestDesktop::minimumSizeOneStepPerResize()
{
    TestWindow w;
    // an outer size of 3000 x 4000 twips
    w->Form.setRect({0, 0, 3000 - desktop::kFrameWidth, 4000 - desktop::kFrameHeight});
    const TwipRect frame3 = w->Frame3.rect();
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(w->Form.rect().height + desktop::kFrameHeight, 4400);
    QCOMPARE(w->Form.rect().width + desktop::kFrameWidth, 3000);
    QCOMPARE(w->Frame3.rect(), frame3);
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(w->Form.rect().width + desktop::kFrameWidth, 3200);
    QCOMPARE(w->Frame3.rect(), frame3);
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(w->Frame3.rect().top, 3600);
}

void TestDesktop::resizeDropsTrayIconOnlyInNormalState()
{
    TestWindow w;
    int removed = 0;
    w->removeTrayIcon = [&] { ++removed; };
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(removed, 1);
    w.host.minimized = true;
    const TwipRect small{0, 0, 100, 100};
    w->Form.setRect(small);
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(removed, 1);
    QCOMPARE(w->Form.rect(), small);   // a minimised window is not resized
    w.host.minimized = false;
    w.host.maximized = true;
    w->Form.fire(ControlEvent::Resize);
    QCOMPARE(removed, 1);
}

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
