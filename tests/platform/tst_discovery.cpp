// Discovery where the system offers none, with a daemon before Avahi 0.8, and the records it reads
// and writes. Between real daemons on two PCs, with the real program: scripts/offered-receivers.sh.
#include "Doubles.h"
#include "platform/qt/AvahiServiceDiscovery.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QRegularExpression>

namespace {

const QString kBrowser = "org.freedesktop.Avahi.ServiceBrowser";
const QString kBrowserPath = "/Client1/ServiceBrowser1";

// A D-Bus bus of the test's own: nothing here reaches the machine's system bus.
struct PrivateBus {
    QTemporaryDir dir;
    QProcess process;
    QString address;

    bool start()
    {
        const QString config = dir.filePath("bus.conf");
        writeFile(config, "<busconfig><listen>unix:path=" + QFile::encodeName(dir.path()) +
                              "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                              "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                              "</policy></busconfig>");
        process.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--nopidfile"});
        address = QStringLiteral("unix:path=%1/bus").arg(dir.path());
        return process.waitForStarted() && QTest::qWaitFor([this] { return QFile::exists(dir.filePath("bus")); });
    }
    ~PrivateBus()
    {
        process.kill();
        process.waitForFinished();
    }
};

// The daemon as one before Avahi 0.8 behaves at its worst: without ServiceBrowserPrepare, and
// with the first sighting sent before the answer that names the browser.
class OldAvahi : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Avahi.Server")
public:
    explicit OldAvahi(const QDBusConnection& bus) : bus_(bus) {}

public slots:
    int GetState() { return 2; }
    QString GetHostNameFqdn() { return "wohnzimmer.local"; }
    QDBusObjectPath ServiceBrowserNew(int, int, const QString& type, const QString&, uint)
    {
        QDBusMessage item = QDBusMessage::createTargetedSignal(message().service(), kBrowserPath, kBrowser, "ItemNew");
        item << 2 << 0 << "Mirovell Empfänger auf kueche" << type << "local" << 0u;
        bus_.send(item);
        return QDBusObjectPath(kBrowserPath);
    }
    void ResolveService(int interface, int protocol, const QString& name, const QString& type, const QString& domain,
                        int, uint)
    {
        setDelayedReply(true);
        const QList<QByteArray> txt{"role=receiver", "v=1"};
        bus_.send(message().createReply({interface, protocol, name, type, domain, "kueche.local", 0, "10.1.2.3",
                                         QVariant::fromValue(quint16(22355)), QVariant::fromValue(txt), 0u}));
    }

private:
    QDBusConnection bus_;
};

}  // namespace

class DiscoveryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // before the first connection: no test here may reach this machine's own bus and daemon
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket");
        qDBusRegisterMetaType<QList<QByteArray>>();
    }
    void quietlyOff_data()
    {
        QTest::addColumn<bool>("privateBus");
        QTest::addColumn<AvahiServiceDiscovery::State>("expected");
        QTest::newRow("no system bus") << false << AvahiServiceDiscovery::State::NoBus;
        QTest::newRow("a bus without the daemon") << true << AvahiServiceDiscovery::State::NoDaemon;
    }
    void quietlyOff()
    {
        QFETCH(AvahiServiceDiscovery::State, expected);
        QTest::failOnWarning(QRegularExpression(".*"));
        PrivateBus bus;
        AvahiServiceDiscovery::Options options;
        if (row<bool>("privateBus")) {
            QVERIFY2(bus.start(), "no private bus: dbus-daemon is missing (scripts/deps.sh installs it)");
            options.busAddress = bus.address;
        }
        int changes = 0;
        {
            AvahiServiceDiscovery discovery(options);
            discovery.setPeersChanged([&changes](const QList<DiscoveredPeer>&) { ++changes; });
            discovery.publish(PeerRole::Receiver, 22355);
            discovery.browse(PeerRole::Sender);
            QCOMPARE(discovery.state(), AvahiServiceDiscovery::State::Connecting);  // the bus is asked later
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
    }
    void oldDaemon()
    {
        PrivateBus bus;
        QVERIFY2(bus.start(), "no private bus: dbus-daemon is missing (scripts/deps.sh installs it)");
        QDBusConnection daemonBus = QDBusConnection::connectToBus(bus.address, "old-avahi");
        OldAvahi daemon(daemonBus);
        QVERIFY(daemonBus.registerObject("/", &daemon, QDBusConnection::ExportAllSlots));
        QVERIFY(daemonBus.registerService("org.freedesktop.Avahi"));

        QList<QList<DiscoveredPeer>> changes;
        AvahiServiceDiscovery::Options options;
        options.busAddress = bus.address;
        AvahiServiceDiscovery discovery(options);
        discovery.setPeersChanged([&changes](const QList<DiscoveredPeer>& peers) { changes << peers; });
        discovery.browse(PeerRole::Receiver);
        const DiscoveredPeer kueche{"kueche",    "10.1.2.3", 22355, PeerRole::Receiver, "Mirovell Empfänger auf kueche",
                                    {{"v", "1"}}};
        QTRY_COMPARE(changes, QList<QList<DiscoveredPeer>>{{kueche}});

        // anyone else on the bus may send the daemon's signals: they change nothing
        QDBusConnection other = QDBusConnection::connectToBus(bus.address, "other");
        QDBusMessage remove = QDBusMessage::createSignal(kBrowserPath, kBrowser, "ItemRemove");
        remove << 2 << 0 << kueche.serviceName << "_mirovell._tcp"
               << "local" << 0u;
        QVERIFY(other.send(remove));
        QTest::qWait(200);
        QCOMPARE(discovery.peers(), QList<DiscoveredPeer>{kueche});

        // the daemon ends: what it found goes with it
        QVERIFY(daemonBus.unregisterService("org.freedesktop.Avahi"));
        QTRY_COMPARE(discovery.state(), AvahiServiceDiscovery::State::NoDaemon);
        QTRY_COMPARE(changes.size(), 2);
        QCOMPARE(changes.last(), QList<DiscoveredPeer>{});
        QDBusConnection::disconnectFromBus("old-avahi");
        QDBusConnection::disconnectFromBus("other");
    }
    void serviceNames_data()
    {
        QTest::addColumn<PeerRole>("role");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("expected");
        const QString receiver = "Mirovell Empfänger";  // 18 characters, 19 bytes
        // clang-format off
        QTest::newRow("host") << PeerRole::Receiver << "wohnzimmer" << receiver + " auf wohnzimmer";
        QTest::newRow("domain dropped") << PeerRole::Sender << "pc.example.org" << "Mirovell Sender auf pc";
        QTest::newRow("no host") << PeerRole::Receiver << "" << receiver;
        // 63 bytes at most, 5 kept for the daemon's " #12": 34 bytes for the host, whole characters
        QTest::newRow("two-byte characters") << PeerRole::Receiver << QString(40, u'ä') << receiver + " auf " + QString(17, u'ä');
        QTest::newRow("four-byte characters") << PeerRole::Receiver << QStringLiteral("😀").repeated(20) << receiver + " auf " + QStringLiteral("😀").repeated(8);
        // clang-format on
    }
    void serviceNames() { QTEST(avahi::serviceName(row<PeerRole>("role"), row<QString>("host")), "expected"); }
    void records_data()
    {
        using Attributes = QMap<QString, QString>;
        QTest::addColumn<QList<QByteArray>>("txt");
        QTest::addColumn<bool>("known");
        QTest::addColumn<PeerRole>("role");
        QTest::addColumn<Attributes>("attributes");
        const QString group = "239.255.22.55:1234";
        const QMap<QString, QString> oversized{{"role", "receiver"}, {"v", "9"}, {"big", QString(300, u'x')}};
        // clang-format off
        QTest::newRow("ours") << avahi::txtRecords(PeerRole::Receiver, {{"Group", group}}) << true << PeerRole::Receiver << Attributes{{"group", group}, {"v", "1"}};
        QTest::newRow("reserved and oversized keys left out") << avahi::txtRecords(PeerRole::Sender, oversized) << true << PeerRole::Sender << Attributes{{"v", "1"}};
        QTest::newRow("first of each key, any case") << QList<QByteArray>{"ROLE=Sender", "role=receiver", "V=2", "v=3"} << true << PeerRole::Sender << Attributes{{"v", "2"}};
        QTest::newRow("junk around") << QList<QByteArray>{"", "=x", "flag", "role=receiver", "name=K\xc3\xbc" "che"} << true << PeerRole::Receiver << Attributes{{"flag", ""}, {"name", "Küche"}};
        QTest::newRow("unknown role") << QList<QByteArray>{"role=mixer", "v=1"} << false << PeerRole::Receiver << Attributes{{"v", "1"}};
        QTest::newRow("no role") << QList<QByteArray>{"v=1"} << false << PeerRole::Receiver << Attributes{{"v", "1"}};
        // clang-format on
    }
    void records()
    {
        using Attributes = QMap<QString, QString>;
        PeerRole read = PeerRole::Receiver;  // left as it is when unknown
        Attributes readAttributes;
        QTEST(avahi::readTxt(row<QList<QByteArray>>("txt"), &read, &readAttributes), "known");
        QTEST(read, "role");
        QTEST(readAttributes, "attributes");
    }
};

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
