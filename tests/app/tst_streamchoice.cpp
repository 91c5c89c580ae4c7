#include "Doubles.h"
#include "app/Ini.h"

#include <QTest>

namespace {

QByteArray settingsFile(const QString& folder, const QByteArray& extra)
{
    return "[LastSettings]\r\nLastConnection=192.0.2.9\r\nvlc.exe=" + folder.toUtf8() +
           "vlc\r\nMinimizeOnStart=0\r\nAutoSavePlaylist=0\r\n[Settings]\r\nProtocol1=UDP\r\nProtocol2=\r\n"
           "Protocol3=\r\n" +
           extra;
}

}  // namespace

// One receiver or several: what the sending and the receiving VLC are started with, and what the
// settings file keeps of the choice.
class StreamChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void startsVlc_data()
    {
        QTest::addColumn<QByteArray>("settings");  // added to [Settings]
        QTest::addColumn<bool>("several");
        QTest::addColumn<QString>("destination");  // of the sending VLC
        QTest::addColumn<QString>("ttl");
        QTest::addColumn<QString>("receiving");  // the receiving VLC's one argument
        // clang-format off
        QTest::newRow("one receiver") << QByteArray() << false << "192.0.2.9" << "1" << "udp://@";
        QTest::newRow("several, defaults") << QByteArray() << true << "239.255.22.55:1234" << "1" << "udp://@239.255.22.55:1234";
        QTest::newRow("several, own group") << QByteArray("MulticastGroup= 239.1.2.3 \r\nMulticastPort=5004\r\nMulticastTtl=4\r\n") << true << "239.1.2.3:5004" << "4" << "udp://@239.1.2.3:5004";
        QTest::newRow("several, unusable values") << QByteArray("MulticastGroup=192.168.1.5\r\nMulticastPort=70000\r\nMulticastTtl=-1\r\n") << true << "239.255.22.55:1234" << "1" << "udp://@239.255.22.55:1234";
        QTest::newRow("several, a host name as group") << QByteArray("MulticastGroup=wohnzimmer\r\nMulticastPort=x\r\n") << true << "239.255.22.55:1234" << "1" << "udp://@239.255.22.55:1234";
        // clang-format on
    }
    void startsVlc()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, several);
        TestWindow w;
        writeFile(w.path(QStringLiteral("vlc")), "#!/bin/sh\n");
        writeFile(w.path(QStringLiteral("mirovell.ini")), settingsFile(w.folderPath, settings));
        w->Form_Load();
        w->FilmList.addItem(QStringLiteral("/m/a.avi"));
        w->SendenTabButton.fire(ControlEvent::Click);
        (several ? w->MultiCastCheck : w->SendenUniCastCheck).setValue(1);
        (several ? w->MultiCastCheck : w->SendenUniCastCheck).fire(ControlEvent::Click);
        QCOMPARE(w->TargetText.enabled(), !several);
        w->RunVLCBtn.fire(ControlEvent::Click);
        QCOMPARE(w.launcher.starts.size(), size_t(1));
        // the stream output stays up from one entry to the next, or each entry loses its end
        QFETCH(QString, destination);
        QFETCH(QString, ttl);
        QCOMPARE(w.launcher.starts.back().arguments,
                 (QStringList{"--sout-keep", w.kept(), ":sout=#standard{mux=ts,dst=" + destination + ",access=udp:}",
                              ":ttl=" + ttl}));

        w->EmpfangenTabButton.fire(ControlEvent::Click);
        (several ? w->MulitCastCheck : w->UniCastCheck).setValue(1);
        (several ? w->MulitCastCheck : w->UniCastCheck).fire(ControlEvent::Click);
        QCOMPARE(w->TargetTextClient.enabled(), several);
        w->StartClientBtn.fire(ControlEvent::Click);
        QFETCH(QString, receiving);
        QCOMPARE(w.launcher.starts.back().arguments, QStringList{receiving});
        QVERIFY(w.dialogs.messages.empty());
    }

    // The choices come back with the next start, which writes nothing; the group's keys are the
    // user's to add and never written over.
    void choicesKept()
    {
        TestWindow w;
        writeFile(w.path(QStringLiteral("vlc")), "#!/bin/sh\n");
        writeFile(w.path(QStringLiteral("mirovell.ini")), settingsFile(w.folderPath, "MulticastTtl=3\r\n"));
        w->Form_Load();
        QVERIFY(w->SendenUniCastCheck.value() == 1 && w->MultiCastCheck.value() == 0 && w->TargetText.enabled());
        QVERIFY(w->UniCastCheck.value() == 1 && w->MulitCastCheck.value() == 0 && !w->TargetTextClient.enabled());
        w->MultiCastCheck.setValue(1);
        w->MultiCastCheck.fire(ControlEvent::Click);
        w->MulitCastCheck.setValue(1);
        w->MulitCastCheck.fire(ControlEvent::Click);
        QVERIFY(w->SendenUniCastCheck.value() == 0 && w->UniCastCheck.value() == 0);
        QCOMPARE(w->RunVLCBtn.text(), QStringLiteral("Starte Server >>"));
        w->TargetTextClient.setText(QStringLiteral("wohnzimmer"));
        w->ExitBtn_Click();
        const QString file = w.path(QStringLiteral("mirovell.ini"));
        const auto value = [&](const char* section, const char* key) {
            return ini::ReadIniValue(QLatin1String(section), QLatin1String(key), file, QStringLiteral("-"), false);
        };
        QCOMPARE(value("LastSettings", "SendToSeveral"), QStringLiteral("1"));
        QCOMPARE(value("LastSettings", "PickUp"), QStringLiteral("1"));
        QCOMPARE(value("LastSettings", "PickUpFrom"), QStringLiteral("wohnzimmer"));
        QCOMPARE(value("Settings", "MulticastGroup"), QStringLiteral("-"));
        QCOMPARE(value("Settings", "MulticastTtl"), QStringLiteral("3"));

        const QByteArray saved = readAll(file);
        w.restart();
        w->Form_Load();
        QCOMPARE(readAll(file), saved);
        QVERIFY(w->MultiCastCheck.value() == 1 && w->SendenUniCastCheck.value() == 0 && !w->TargetText.enabled());
        QVERIFY(w->MulitCastCheck.value() == 1 && w->UniCastCheck.value() == 0 && w->TargetTextClient.enabled());
        QCOMPARE(w->TargetTextClient.text(), QStringLiteral("wohnzimmer"));
        // the caption changes with a click, not with a start
        QCOMPARE(w->RunVLCBtn.text(), QStringLiteral("Starten ...        "));
    }
};

QTEST_GUILESS_MAIN(StreamChoiceTest)
#include "tst_streamchoice.moc"
