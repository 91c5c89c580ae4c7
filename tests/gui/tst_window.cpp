// The window on the real widgets: the pin, a later start's request to come forward, the play list as
// a grip, the layout, the keyboard, a screen reader's interface, English and German, what clicks, keys
// and drops do to the model, and the ways the window's own ending reaches the shut-down.
#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/EndRequests.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtProgressDialog.h"
#include "platform/qt/QtWindowHost.h"
#include "platform/qt/Translations.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSessionManager>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <map>

using Pic = AlwaysOnTop::Picture;

namespace {

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

// A shown window with three entries, in the language of the locale, on the real window host; its
// stored VLC is not there, so the VLC row is folded.
struct Shown {
    explicit Shown(const QString& locale = "de_DE") : language(QLocale(locale))
    {
        writeFile(w.path("mirovell.ini"), "[LastSettings]\r\nvlc.exe=/nowhere/vlc\r\n");
        w->Form_Load();
        w->Form_Resize();
        w->FilmList.setItems({"A", "B", "C"});
        w->UpdateFileCount();
        window()->show();
        QApplication::setActiveWindow(window());
        QVERIFY(QTest::qWaitForWindowExposed(window()));
    }
    MainWindow& model() { return *w; }
    QWidget* window() const { return binding.window(); }
    QWidget* at(const QString& name) const { return binding.widgetFor(name); }
    QRect px(const char* name) const { return at(QString::fromLatin1(name))->geometry(); }
    Translations language;
    QWidget frame;
    QtWindowHost host{frame};
    TestWindow w{{.window = &host}};
    WindowBinding binding{*w, frame};
};

}  // namespace

class WindowTest : public QObject {
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
        if (!move.isAccepted() || move.dropAction() == Qt::IgnoreAction)
            return Qt::IgnoreAction;
        QDropEvent dropEvent(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(handle, &dropEvent);
        return dropEvent.isAccepted() ? dropEvent.dropAction() : Qt::IgnoreAction;
    }

private slots:
    // The steering buttons were put into panels that were full already: in the window as it is
    // shown, each leaves every other control of its panel whole, and is whole itself, with every
    // caption it can show in either language.
    void steeringButtonsOverlapNothing()
    {
        Shown s;
        const std::map<QString, QStringList> captions{{"PrevBtn", {"Zurück", "Previous"}},
                                                      {"PauseBtn", {"Pause", "Weiter", "Resume"}},
                                                      {"NextBtn", {"Vor", "Next"}}};
        for (const QString panel : {"Send", "Remote"}) {  // the click on the tab shows the panel
            QTest::mouseClick(s.at(panel == u"Send" ? "SendenTabButton" : "EmpfangenTabButton"), Qt::LeftButton);
            for (const auto& [suffix, texts] : captions) {
                QWidget* b = s.at(panel + suffix);
                const QString name = b->objectName();
                QVERIFY(b->isVisible() && b->parentWidget()->rect().contains(b->geometry()));
                QStyleOptionButton option;
                option.initFrom(b);
                const int room = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b).width();
                for (const QString& text : texts)
                    QVERIFY2(b->fontMetrics().horizontalAdvance(text) + 4 <= room,
                             qPrintable(name + " cuts off " + text));
                for (QWidget* other : b->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                    if (other != b && other->isVisible())
                        QVERIFY2(!other->geometry().intersects(b->geometry()),
                                 qPrintable(name + " covers " + other->objectName()));
            }
        }
    }

    // The pin as its events and the start-up leave it; where the window system keeps no window on
    // top, the pin says so and works on.
    void pinEvents_data()
    {
        QTest::addColumn<bool>("staysOnTop");
        QTest::addColumn<QString>("events");  // h = pointer over picture, c = click, L = the start-up
        QTest::addColumn<int>("picture");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("click hover picture") << true << "hc" << int(Pic::Enabled) << true;
        QTest::newRow("on has no hover") << true << "ch" << int(Pic::Enabled) << true;
        QTest::newRow("switched off shows hover") << true << "cc" << int(Pic::MouseMove) << false;
        QTest::newRow("start-up switches on") << true << "L" << int(Pic::Enabled) << true;
        QTest::newRow("nothing stays on top") << false << "L" << int(Pic::Enabled) << true;
    }
    void pinEvents()
    {
        QFETCH(bool, staysOnTop);
        QFETCH(bool, onTop);
        TestWindow w;
        w.host.stayOnTop = staysOnTop;
        w.restart();
        for (QChar e : row<QString>("events"))
            e == u'L' ? w->Form_Load()
                      : w->AlwaysOnTop1.fire(e == u'h' ? ControlEvent::MouseMove : ControlEvent::Click);
        QCOMPARE(int(WindowProbe::pin(*w).visiblePicture()), row<int>("picture"));
        QCOMPARE(w.host.topmost, onTop);
        QCOMPARE(w->AlwaysOnTop1.value(), onTop ? 1 : 0);
        QCOMPARE(w->AlwaysOnTop1.toolTip().startsWith("Always on top ("), !staysOnTop);
    }

    // A normal window grows to its least size, a step per resize event (the whole way: layout), and
    // its tray icon goes; a minimised or maximised one keeps its size and the icon.
    void onlyANormalWindowGrows()
    {
        TestWindow w;
        const TwipRect small{0, 0, 100, 100};
        for (int state : {0, 1, 2}) {  // normal, minimised, maximised
            w.host.minimized = state == 1;
            w.host.maximized = state == 2;
            w.tray.shown = true;
            w->Form.setRect(small);
            w->Form.fire(ControlEvent::Resize);
            QCOMPARE(w->Form.rect(), (state == 0 ? TwipRect{0, 0, 100, 4400 - WindowLayout::kFrameHeight} : small));
            QCOMPARE(w.tray.shown, state != 0);
        }
    }

    // The pin's clicks on the shown window; a later start's request to come forward keeps its word.
    void pinAndComingForward()
    {
        Shown w;
        for (bool on : {false, true}) {  // start-up switched it on; each click toggles
            QTest::mouseClick(w.at("AlwaysOnTop1"), Qt::LeftButton, {}, QPoint(10, 10));
            QCOMPARE(bool(w.window()->windowHandle()->flags() & Qt::WindowStaysOnTopHint), on);
            QVERIFY(w.window()->isVisible());  // switching does not hide the window
        }
        w.window()->showMinimized();
        QTRY_VERIFY(w.window()->isMinimized());
        w.model().Label2_Click();  // the path row opens with its field focused
        const QString path = w.model().VlcPath.text();
        // a later start asks, from its socket's event: the window comes forward once that has returned
        emit w.w.instance.activationRequested("^a/opt/vlc/vlc", "{LEFT 3}+{HOME}{DEL}x");
        QVERIFY(w.window()->isMinimized());
        QTRY_VERIFY(!w.window()->isMinimized() && w.window()->isVisible());
        QVERIFY(w.window()->windowHandle()->flags() & Qt::WindowStaysOnTopHint);  // the pin keeps its word
        QCOMPARE(w.model().VlcPath.text(), path);  // keys a request carries are not typed
    }

    void playListStillSelectsAndDoubleClicks()
    {
        Shown w;
        w.model().FilmList.setItems({"eins.mp4", "zwei.mp4", "drei.mp4"});
        auto* list = qobject_cast<QListView*>(w.at("FilmList"));
        const auto row = [&](int i) { return list->visualRect(list->model()->index(i, 0)).center(); };
        const QPoint before = w.window()->pos();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row(1));
        QCOMPARE(w.model().FilmList.listIndex(), 1);
        QCOMPARE(list->toolTip(), "zwei.mp4");
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row(1));  // removes the entry
        QCOMPARE(w.model().FilmList.items(), (QStringList{"eins.mp4", "drei.mp4"}));
        QCOMPARE(w.window()->pos(), before);                               // clicks alone do not move the window
        dragBy(list->viewport(), row(1), QPoint(25, 20), Qt::LeftButton);  // a drag moves it, selecting the row
        QCOMPARE(w.window()->pos() - before, QPoint(25, 20));
        QCOMPARE(w.model().FilmList.listIndex(), 1);
        QTest::mouseClick(w.at("DownBtn"), Qt::LeftButton);  // ">" moves it up, the selection with it
        QCOMPARE(w.model().FilmList.items(), (QStringList{"drei.mp4", "eins.mp4"}));
        QCOMPARE(list->currentIndex().row(), 0);
    }

    void layout_data()
    {
        QTest::addColumn<QSize>("outer");  // asked for, twips
        QTest::addColumn<QSize>("laidOutAt");
        QTest::newRow("too small: 3000 x 4000") << QSize(3000, 4000) << QSize(3200, 4400);
        QTest::newRow("large") << QSize(24125, 15410) << QSize(24125, 15410);
    }
    void layout()
    {
        QFETCH(QSize, laidOutAt);
        Shown w;
        w.model().EmpfangenTabButton_Click();  // the remote list is shown
        const auto client = [](QSize s) {
            return QSize(WindowBinding::toPixels(s.width() - WindowLayout::kFrameWidth),
                         WindowBinding::toPixels(s.height() - WindowLayout::kFrameHeight));
        };
        w.window()->resize(client(row<QSize>("outer")));
        const int width = client(laidOutAt).width(), height = client(laidOutAt).height();
        // laid out once the resize events have run: the bottom strip sits on the lower edge
        QTRY_VERIFY(w.px("Frame3").bottom() < height && w.px("Frame3").bottom() >= height - 2);
        QCOMPARE(w.window()->size(), client(laidOutAt));
        QCOMPARE(w.px("Frame1").bottom() + 1, w.px("Frame3").top());
        QVERIFY(w.px("FilmList").right() > width * 9 / 10 && w.px("FilmList").right() < width);  // it grows
        QVERIFY(w.at("FilmRemoteList")->isVisible());
        QCOMPARE(w.px("FilmRemoteList"), w.px("FilmList"));
        for (const char* panel : {"JetztAbspielenFrame", "SendenFrame"})  // every mode's panel in one place
            QCOMPARE(w.px(panel), w.px("EmpfangenFrame"));
        QCOMPARE(w.px("VLC_Browse").left(), w.px("VlcPath").right() + 1);
    }

    void tabWalksTheWindowInOrder_data()
    {
        QTest::addColumn<QString>("tabs");  // pressed in turn
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("walk");
        const QString tools = " UpBtn DownBtn SaveBtn Command1 List_Count Label2 AutoSaveCheck CheckMinimize Label3 "
                              "UpdateCaption AlwaysOnTop1 ";
        QTest::newRow("start") << "" << 0
                               << "ExitBtn FilmList" + tools + "LokalStarteBtn SendenTabButton EmpfangenTabButton";
        const QString local = "ExitBtn Command2 FilmList" + tools + "SendenTabButton EmpfangenTabButton";
        QTest::newRow("local, Space") << "LokalStarteBtn" << int(Qt::Key_Space) << local;
        const QString send = "ExitBtn RunVLCBtn TargetText SendenUniCastCheck MultiCastCheck FilmList" + tools +
                             "LokalStarteBtn EmpfangenTabButton";
        QTest::newRow("send, Enter") << "SendenTabButton" << int(Qt::Key_Return) << send;
        // a mode left behind shows nothing of its own
        QTest::newRow("receive, then send") << "EmpfangenTabButton SendenTabButton" << int(Qt::Key_Return) << send;
        QTest::newRow("send, then local") << "SendenTabButton LokalStarteBtn" << int(Qt::Key_Space) << local;
        QTest::newRow("send, a receiver asks")
            << "SendenTabButton" << int(Qt::Key_Return)
            << QString(send).replace("FilmList", "AdmitBtn DenyBtn ForgetBtn FilmList");
        QTest::newRow("receive, Space") << "EmpfangenTabButton" << int(Qt::Key_Space)
                                        << "ExitBtn StartClientBtn UniCastCheck MulitCastCheck FilmRemoteList" + tools +
                                               "LokalStarteBtn SendenTabButton";
    }
    void tabWalksTheWindowInOrder()
    {
        QFETCH(QString, tabs);
        Shown s;
        for (const QString& tab : tabs.split(u' ', Qt::SkipEmptyParts))
            QTest::keyClick(s.at(tab), Qt::Key(row<int>("key")));
        // the link's timer runs in both link modes
        QCOMPARE(s.w->ServerSendTimer.enabled(), !tabs.isEmpty() && !tabs.endsWith(u"LokalStarteBtn"));
        if (QByteArray(QTest::currentDataTag()).endsWith("asks")) {  // the notice and the answers' button
            s.w->AdmitFrame.setVisible(true);
            s.w->ForgetBtn.setVisible(true);
        }
        s.at("ExitBtn")->setFocus(Qt::TabFocusReason);
        QStringList seen;
        do {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        } while (QApplication::focusWidget() != s.at("ExitBtn") && seen.size() < 40);
        QTEST(seen.join(u' '), "walk");
    }

    void keysOnTheList_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("after");
        QTest::newRow("Alt+Up as <") << 1 << (Qt::ALT | Qt::Key_Up).toCombined() << "A C B" << 2;
        QTest::newRow("Alt+Down as >") << 1 << (Qt::ALT | Qt::Key_Down).toCombined() << "B A C" << 0;
        QTest::newRow("Down alone selects") << 1 << int(Qt::Key_Down) << "A B C" << 2;
        QTest::newRow("Enter as a double-click") << 1 << int(Qt::Key_Return) << "A C" << 0;
        QTest::newRow("Delete, the next selected") << 1 << int(Qt::Key_Delete) << "A C" << 1;
        QTest::newRow("Delete, none selected") << -1 << int(Qt::Key_Delete) << "A B C" << -1;
    }
    void keysOnTheList()
    {
        QFETCH(int, key);
        Shown s;
        s.w->FilmList.setListIndex(row<int>("selected"));
        s.at("FilmList")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(s.at("FilmList"), Qt::Key(key & ~Qt::KeyboardModifierMask),
                        Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));
        QTEST(s.w->FilmList.items().join(u' '), "list");
        QTEST(s.w->FilmList.listIndex(), "after");
        QCOMPARE(s.w->List_Count.text(), QStringLiteral("Dateien: %1").arg(s.w->FilmList.count()));
    }

    void screenReadersHearNameAndRole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");
        QTest::newRow("LokalStarteBtn") << "Abspielen" << int(QAccessible::PageTab);
        QTest::newRow("AlwaysOnTop1") << "Always on top" << int(QAccessible::CheckBox);
        QTest::newRow("FilmRemoteList") << "Playlist des Senders" << int(QAccessible::List);
        QTest::newRow("TargetText") << "Empfänger" << int(QAccessible::EditableText);
        QTest::newRow("List_Count") << "Dateien: 3" << int(QAccessible::Button);
        QTest::newRow("UpdateCaption") << "Update" << int(QAccessible::Link);
    }
    void screenReadersHearNameAndRole()
    {
        Shown s;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(s.at(QTest::currentDataTag()));
        QTEST(iface->text(QAccessible::Name), "name");
        QTEST(int(iface->role()), "role");
        iface = QAccessible::queryAccessibleInterface(s.at("SendenTabButton"));  // a press works the tab
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(s.w->SendenFrame.visible());
    }

    void languageFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("texts");
        const QString german = "Senden|Speichern als..|Dateien: 0|Ende|Keine Titel in der Liste|&Ja|";
        QTest::newRow("English") << "en_US"
                                 << "Send|Save as..|Files: 0|Exit|No titles in the list|&Yes|1,234 kB of 5,678 kB";
        QTest::newRow("German") << "de_DE" << german + "1.234 kB von 5.678 kB";
        QTest::newRow("no locale") << "C" << german + "1234 kB von 5678 kB";
        // the words stay German, the digits are grouped the French way
        QTest::newRow("French") << "fr_FR" << german + "1\u202f234 kB von 5\u202f678 kB";
    }
    void languageFollowsTheLocale()
    {
        Shown s(row<QString>("locale"));
        s.w->Command1_Click();
        s.w.dialogs.answerInput("/tmp/x.m3u");
        s.w->SaveBtn_Click();  // an empty list is not saved
        QString yes;
        QTimer::singleShot(0, [&yes] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            yes = box->button(QMessageBox::Yes)->text();
            box->button(QMessageBox::No)->click();
        });
        QWidget frame;
        QtDialogs(frame).message("?", QString(), MessageIcon::Question, MessageButtons::YesNo);
        QLocale::setDefault(QLocale(row<QString>("locale")));  // as the system's locale is at the program's start
        const QString amount = QtProgressDialog::amountText(1234 * 1024, 5678 * 1024);
        QLocale::setDefault(QLocale::system());
        const QStringList texts{s.w->Label6.text(),
                                s.w->SaveBtn.text(),
                                s.w->List_Count.text(),
                                s.at("ExitBtn")->accessibleName(),
                                s.w.dialogs.messages.at(0).text,
                                yes,
                                amount};
        QTEST(texts.join(u'|'), "texts");
    }

    void fieldsReachTheModel()
    {
        Shown s;
        TestWindow& w = s.w;
        QCOMPARE(s.window()->size(), QSize(691, 407));  // where scripts/tour.sh clicks
        // receivers found after the start, offered below the field and picked: scripts/offered-receivers.sh
        auto* path = qobject_cast<QLineEdit*>(s.at("VlcPath"));
        QVERIFY(!path->isVisible());
        QTest::mouseClick(s.at("Label2"), Qt::LeftButton);
        QVERIFY(path->isVisible());
        QCOMPARE(path->selectedText(), "/nowhere/vlc");
        QCOMPARE(qobject_cast<QAbstractButton*>(s.at("Label2"))->text(), "< Vlc");
        QTest::keyClicks(path, "/usr/bin/vlc");  // typing reaches the model
        QCOMPARE(w->VlcPath.text(), "/usr/bin/vlc");
    }

    // The window's own endings write what the exit button writes (signals: tests/app/tst_app).
    void endingsSaveOnce_data()
    {
        QTest::addColumn<QString>("ending");
        for (const char* e : {"close box", "session asks to save", "application quits"})
            QTest::newRow(e) << e;
    }
    void endingsSaveOnce()
    {
        QFETCH(QString, ending);
        TestWindow exitButton, w;
        QWidget frame;
        WindowBinding binding(*w, frame);
        for (TestWindow* t : {&exitButton, &w}) {
            (*t)->Form_Load();
            (*t)->TargetText.setText("10.1.2.3");
            (*t)->FilmList.addItems({"  /m/a.avi", "/m/b.avi"});
        }
        exitButton->ExitBtn_Click();
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
        const QPoint at = pointOn(s.window(), s.at(row<QString>("target")));
        QVERIFY2(at.x() >= 0, "no visible point of the target");
        QMimeData data;
        const QString media = w.path("film one.mkv");
        const QString list = w.path("two.m3u");
        const QUrl web("https://x.org/a.m3u");
        data.setUrls(row<bool>("files") ? QList<QUrl>{QUrl::fromLocalFile(media), QUrl::fromLocalFile(list), web}
                                        : QList<QUrl>{web});
        data.setText("dragged text is not a file");
        QStringList expected = w->FilmList.items();
        const Qt::DropAction action = drop(s.window(), at, data);
        if (taken)
            expected << media << (row<bool>("expanded") ? QStringList{"/m/a.avi", w.path("b.avi")} : QStringList{list});
        QCOMPARE(w->FilmList.items(), expected);
        QCOMPARE(action, taken ? Qt::CopyAction : Qt::IgnoreAction);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
