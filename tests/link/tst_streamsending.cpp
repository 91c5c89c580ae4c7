#include "LinkFixture.h"

#include "app/Ini.h"
#include "desktop/SystemTray.h"

class TestStreamSending : public QObject {
    Q_OBJECT
private slots:
    void commandLineCarriesTheStreamOutput_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("sout");
        QTest::addColumn<QString>("ttl");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("defaults") << "127.0.0.1" << QString() << QString()
                                  << QStringList{":sout=#standard{mux=ts,dst=127.0.0.1,access=udp:}", ":ttl=1"};
        QTest::newRow("blank and quote in the target")
            << "pc 2\"x" << QString() << QString()
            << QStringList{":sout=#standard{mux=ts,dst=pc 2\"x,access=udp:}", ":ttl=1"};
        QTest::newRow("the user's own options")
            << "10.0.0.7" << "#EXTVLCOPT:sout=#transcode{vcodec=h264}:standard{mux=ts,"
            << "#EXTVLCOPT:ttl=4"
            << QStringList{":sout=#transcode{vcodec=h264}:standard{mux=ts,dst=10.0.0.7,access=udp:}", ":ttl=4"};
    }
    void commandLineCarriesTheStreamOutput()
    {
        QFETCH(QString, target);
        QFETCH(QString, sout);
        QFETCH(QString, ttl);
        LinkWindow w(freeLinkPorts(), target);
        if (!sout.isEmpty()) {
            w->writeSetting(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT1"), sout);
            w->writeSetting(QStringLiteral("Settings"), QStringLiteral("EXTVLCOPT2"), ttl);
        }
        w->FilmList.setItems({QStringLiteral("/m/a.avi")});
        w->RunVLCBtn_Click();
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        QFETCH(QStringList, options);
        QCOMPARE(w.launcher.starts[0].arguments, QStringList{w->TempPlaylistPath} + options);
        // the play list carries the same stream output
        const QByteArray list = readAll(w->TempPlaylistPath);
        QVERIFY(list.contains(options[0].mid(1).toUtf8()));
    }

    void restartEndsOnlyItsOwnSendingVlc()
    {
        LinkWindow w(freeLinkPorts());
        w->FilmList.setItems({QStringLiteral("/m/a.avi")});
        w->RunVLCBtn_Click();
        w->RunVLCBtn_Click();
        QCOMPARE(w.launcher.terminated, std::vector<qint64>{1001});
        // a VLC that ended by itself is not ended again
        w.launcher.terminate(1002);
        w->RunVLCBtn_Click();
        QCOMPARE(w.launcher.terminated, (std::vector<qint64>{1001, 1002}));
        QCOMPARE(w.runningStarts(), 1);
    }

    void minimisesIntoTheTray_data()
    {
        QTest::addColumn<int>("minimize");
        QTest::addColumn<bool>("trayAvailable");
        QTest::newRow("unchecked") << 0 << true;
        QTest::newRow("checked") << 1 << true;
        QTest::newRow("checked, desktop without tray") << 1 << false;
    }
    void minimisesIntoTheTray()
    {
        QFETCH(int, minimize);
        QFETCH(bool, trayAvailable);
        LinkWindow w(freeLinkPorts());
        w.tray.available = trayAvailable;
        w->CheckMinimize.setValue(minimize);
        w->RunVLCBtn_Click();
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        QCOMPARE(w.host.minimized, minimize == 1);
        QCOMPARE(w.tray.shown, minimize == 1 && trayAvailable);
        if (!w.tray.shown)
            return;
        QCOMPARE(w.tray.toolTip, w->Form.text());
        for (int code : {TrayHost::kMouseMove, TrayHost::kLeftDown, TrayHost::kRightDown, TrayHost::kRightUp})
            w.tray.click(code);
        QVERIFY(w.tray.shown);
        QVERIFY(w.host.minimized);
        w.tray.click(TrayHost::kLeftUp);
        QVERIFY(!w.tray.shown);
        QVERIFY(!w.host.minimized);
        QCOMPARE(w.host.activations, 1);
    }

    void toolTipsFitTheNotificationArea()
    {
        RecordingTray tray;
        TrayHost host;
        host.attach(&tray, nullptr);
        host.AddTrayIcon({}, QString(70, u'x'), false);
        QCOMPARE(tray.toolTip, QString(64, u'x'));
        host.ChangeToolTipText(QStringLiteral("   Mirovell  "));
        QCOMPARE(tray.toolTip, QStringLiteral("Mirovell  "));
        host.RemoveTrayIcon();
        host.RemoveTrayIcon();   // with no icon shown: nothing happens
        QVERIFY(!tray.shown);
    }

    void targetFieldAndOptions()
    {
        LinkWindow w(freeLinkPorts());
        w->TargetText.fire(ControlEvent::GotFocus);
        QCOMPARE(w->TargetText.backColor(), BgrColor(0xFFFFFF));
        QCOMPARE(w->TargetText.selLength(), int(w->TargetText.text().size()));
        w->SErverBtnTest_Click();
        QCOMPARE(w->Winsock_ServerSend->state(), linkstate::Connecting);
        // leaving the field drops the list channel so the next check uses the new host
        w->TargetText.fire(ControlEvent::LostFocus);
        QCOMPARE(w->TargetText.backColor(), BgrColor(0xE0E0E0));
        QCOMPARE(w->Winsock_ServerSend->state(), linkstate::Closed);

        w->SendenUniCastCheck.setValue(0);
        w->MultiCastCheck_Click();
        QVERIFY(!w->TargetText.enabled());
        w->SendenUniCastCheck.setValue(1);
        w->SendenUniCastCheck_Click();
        QVERIFY(w->TargetText.enabled());
        QCOMPARE(w->RunVLCBtn.text(), QStringLiteral("Starte Server >>"));
    }
};

QTEST_GUILESS_MAIN(TestStreamSending)
#include "tst_streamsending.moc"
