// The window from the keyboard, through a screen reader's interface, and in English and German.
#include "Doubles.h"
#include "gui/WindowBinding.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/Translations.h"

#include <QAccessible>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

// A shown window with three entries and the VLC row folded, in the language of the locale.
struct Shown {
    explicit Shown(const QString& locale = "de_DE") : language(QLocale(locale))
    {
        w->Form_Load();
        if (w->VlcPath.visible())
            w->Label2_Click();
        w->FilmList.setItems({"A", "B", "C"});
        w->UpdateFileCount();
        binding.window()->show();
        QApplication::setActiveWindow(binding.window());
    }
    QWidget* at(const QString& name) const { return binding.widgetFor(name); }
    Translations language;
    TestWindow w;
    WindowBinding binding{*w};
};

}  // namespace

class TestKeys : public QObject {
    Q_OBJECT
private slots:
    void tabWalksTheWindowInOrder_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("walk");
        const QString tools = " UpBtn DownBtn SaveBtn Command1 List_Count Label2 AutoSaveCheck CheckMinimize Label3 "
                              "UpdateCaption AlwaysOnTop1 ";
        QTest::newRow("start") << "" << 0
                               << "ExitBtn FilmList" + tools + "LokalStarteBtn SendenTabButton EmpfangenTabButton";
        QTest::newRow("local, Space") << "LokalStarteBtn" << int(Qt::Key_Space)
                                      << "ExitBtn Command2 FilmList" + tools + "SendenTabButton EmpfangenTabButton";
        QTest::newRow("send, Enter") << "SendenTabButton" << int(Qt::Key_Return)
                                     << "ExitBtn RunVLCBtn TargetText SendenUniCastCheck MultiCastCheck FilmList" +
                                            tools + "LokalStarteBtn EmpfangenTabButton";
        QTest::newRow("receive, Space") << "EmpfangenTabButton" << int(Qt::Key_Space)
                                        << "ExitBtn StartClientBtn UniCastCheck MulitCastCheck FilmRemoteList" + tools +
                                               "LokalStarteBtn SendenTabButton";
    }
    void tabWalksTheWindowInOrder()
    {
        QFETCH(QString, tab);
        Shown s;
        if (!tab.isEmpty())
            QTest::keyClick(s.at(tab), Qt::Key(row<int>("key")));
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
        QTest::newRow("ExitBtn") << "Ende" << int(QAccessible::Button);
        QTest::newRow("AlwaysOnTop1") << "Always on top" << int(QAccessible::CheckBox);
        QTest::newRow("FilmRemoteList") << "Playlist des Senders" << int(QAccessible::List);
        QTest::newRow("TargetText") << "Empfänger" << int(QAccessible::EditableText);
        QTest::newRow("UpBtn") << "nach unten verschieben" << int(QAccessible::Button);
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
        const char* german = "Senden|Speichern als..|Dateien: 0|Ende|Keine Titel in der Liste|&Ja";
        QTest::newRow("English") << "en_US"
                                 << "Send|Save as..|Files: 0|Exit|No titles in the list|&Yes";
        QTest::newRow("German") << "de_DE" << german;
        QTest::newRow("no locale") << "C" << german;
        QTest::newRow("French") << "fr_FR" << german;
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
        QtDialogs().message("?", QString(), MessageIcon::Question, MessageButtons::YesNo);
        const QStringList texts{s.w->Label6.text(),
                                s.w->SaveBtn.text(),
                                s.w->List_Count.text(),
                                s.at("ExitBtn")->accessibleName(),
                                s.w.dialogs.messages.at(0).text,
                                yes};
        QTEST(texts.join(u'|'), "texts");
    }
};

QTEST_MAIN(TestKeys)
#include "tst_keys.moc"
