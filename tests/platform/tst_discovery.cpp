// Discovery where the system offers none, and the records it reads and writes. Between real
// daemons on two PCs: scripts/discovery-lab.sh.
#include "platform/qt/AvahiServiceDiscovery.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class DiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void quietlyOff_data();
    void quietlyOff();
    void serviceNames_data();
    void serviceNames();
    void records_data();
    void records();
};

void DiscoveryTest::initTestCase()
{
    // before the first connection: no test here may reach this machine's own bus and daemon
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
}

void DiscoveryTest::quietlyOff_data()
{
    QTest::addColumn<bool>("privateBus");
    QTest::addColumn<AvahiServiceDiscovery::State>("expected");
    QTest::newRow("no system bus") << false << AvahiServiceDiscovery::State::NoBus;
    QTest::newRow("a bus without the daemon") << true << AvahiServiceDiscovery::State::NoDaemon;
}

void DiscoveryTest::quietlyOff()
{
    QFETCH(bool, privateBus);
    QFETCH(AvahiServiceDiscovery::State, expected);
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QTemporaryDir dir;
    QProcess bus;
    AvahiServiceDiscovery::Options options;
    if (privateBus) {
        QFile config(dir.filePath(QStringLiteral("bus.conf")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QStringLiteral("<busconfig><listen>unix:path=%1/bus</listen><auth>EXTERNAL</auth>"
                                    "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                                    "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy>"
                                    "</busconfig>")
                         .arg(dir.path())
                         .toUtf8());
        config.close();
        bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                  QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
        QVERIFY2(bus.waitForStarted(), "dbus-daemon is missing (scripts/deps.sh installs it)");
        QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("bus"))));
        options.busAddress = QStringLiteral("unix:path=%1/bus").arg(dir.path());
    }
    int changes = 0;
    {
        AvahiServiceDiscovery discovery(options);
        discovery.setPeersChanged([&changes](const QList<DiscoveredPeer>&) { ++changes; });
        discovery.publish(PeerRole::Receiver, 22355);
        discovery.browse(PeerRole::Sender);
        QCOMPARE(discovery.state(), AvahiServiceDiscovery::State::Connecting); // the bus is asked later
        QTRY_COMPARE(discovery.state(), expected);
        discovery.publish(PeerRole::Sender, 22356);
        discovery.browse(PeerRole::Receiver);
        QTest::qWait(300);
        QCOMPARE(discovery.state(), expected);
        QVERIFY(discovery.peers().isEmpty());
        QCOMPARE(discovery.publishedName(), QString());
        discovery.withdraw();
        discovery.stopBrowsing();
    }
    QCOMPARE(changes, 0);
    bus.kill();
    bus.waitForFinished();
}

void DiscoveryTest::serviceNames_data()
{
    QTest::addColumn<PeerRole>("role");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("expected");
    const QString receiver = QStringLiteral("Mirovell Empfänger"); // 18 characters, 19 bytes
    QTest::newRow("host") << PeerRole::Receiver << "wohnzimmer" << receiver + " auf wohnzimmer";
    QTest::newRow("domain dropped") << PeerRole::Sender << "pc.example.org"
                                    << "Mirovell Sender auf pc";
    QTest::newRow("no host") << PeerRole::Receiver << "" << receiver;
    // 63 bytes at most, 5 kept for the daemon's " #12": 34 bytes for the host, whole characters
    QTest::newRow("two-byte characters") << PeerRole::Receiver << QString(40, u'ä')
                                         << receiver + " auf " + QString(17, u'ä');
    QTest::newRow("four-byte characters") << PeerRole::Receiver << QStringLiteral("😀").repeated(20)
                                          << receiver + " auf " + QStringLiteral("😀").repeated(8);
}

void DiscoveryTest::serviceNames()
{
    QFETCH(PeerRole, role);
    QFETCH(QString, host);
    QFETCH(QString, expected);
    QCOMPARE(avahi::serviceName(role, host), expected);
}

void DiscoveryTest::records_data()
{
    using Attributes = QMap<QString, QString>;
    QTest::addColumn<QList<QByteArray>>("txt");
    QTest::addColumn<bool>("known");
    QTest::addColumn<PeerRole>("role");
    QTest::addColumn<Attributes>("attributes");
    const QString group = QStringLiteral("239.255.22.55:1234");
    QTest::newRow("ours") << avahi::txtRecords(PeerRole::Receiver, {{QStringLiteral("Group"), group}}) << true
                          << PeerRole::Receiver << Attributes{{"group", group}, {"v", "1"}};
    QTest::newRow("reserved and oversized keys left out")
        << avahi::txtRecords(PeerRole::Sender, {{"role", "receiver"}, {"v", "9"}, {"big", QString(300, u'x')}}) << true
        << PeerRole::Sender << Attributes{{"v", "1"}};
    QTest::newRow("first of each key, any case") << QList<QByteArray>{"ROLE=Sender", "role=receiver", "V=2", "v=3"}
                                                 << true << PeerRole::Sender << Attributes{{"v", "2"}};
    QTest::newRow("junk around") << QList<QByteArray>{"", "=x", "flag", "role=receiver",
                                                      "name=K\xc3\xbc"
                                                      "che"}
                                 << true << PeerRole::Receiver << Attributes{{"flag", ""}, {"name", "Küche"}};
    QTest::newRow("unknown role") << QList<QByteArray>{"role=mixer", "v=1"} << false << PeerRole::Receiver
                                  << Attributes{{"v", "1"}};
    QTest::newRow("no role") << QList<QByteArray>{"v=1"} << false << PeerRole::Receiver << Attributes{{"v", "1"}};
}

void DiscoveryTest::records()
{
    using Attributes = QMap<QString, QString>;
    QFETCH(QList<QByteArray>, txt);
    QFETCH(bool, known);
    QFETCH(PeerRole, role);
    QFETCH(Attributes, attributes);
    PeerRole read = PeerRole::Receiver;
    Attributes readAttributes;
    QCOMPARE(avahi::readTxt(txt, &read, &readAttributes), known);
    if (known)
        QCOMPARE(read, role);
    QCOMPARE(readAttributes, attributes);
}

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
