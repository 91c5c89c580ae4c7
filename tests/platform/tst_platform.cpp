// The instance lock and socket for real, text and bytes, files replaced whole, the path helpers, and
// discovery with no daemon, with one before Avahi 0.8, and its records. Between real daemons on
// several PCs, with the real program: scripts/offered-receivers.sh.
#include "Doubles.h"
#include "platform/Codec.h"
#include "platform/Installation.h"
#include "platform/PathHelpers.h"
#include "platform/ServiceDiscovery.h"
#include "platform/TextFile.h"
#include "platform/qt/AvahiServiceDiscovery.h"
#include "platform/qt/QtSingleInstance.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>

#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// An instance that runs its own event loop, as the first start of the program does.
struct Running {
    Running(const QString& program, const QStringList& folders) : instance(new QtSingleInstance(program, folders))
    {
        instance->moveToThread(&thread);
        thread.start();
        run([this] {
            QObject::connect(instance, &ISingleInstance::activationRequested, instance,
                             [this](const QString& k1, const QString& k2) { requests_ << k1 + u'|' + k2; });
            otherFound = instance->anotherInstanceRunning();
            holdsLock = instance->holdsLock();
            listening = instance->isListening();
        });
    }
    ~Running()
    {
        run([this] { delete instance; });
        thread.quit();
        thread.wait();
    }
    void run(const std::function<void()>& f) { QMetaObject::invokeMethod(instance, f, Qt::BlockingQueuedConnection); }
    QStringList requests()
    {
        QStringList copy;
        run([&] { copy = requests_; });
        return copy;
    }
    QThread thread;
    QtSingleInstance* instance;
    QStringList requests_;
    bool otherFound = false, holdsLock = false, listening = false;
};

const QString kBrowser = "org.freedesktop.Avahi.ServiceBrowser";
const QString kBrowserPath = "/Client1/ServiceBrowser1";
const QString kType = "_mirovell._tcp";
using Attributes = QMap<QString, QString>;

// A D-Bus bus of the test's own: nothing here reaches the machine's system bus.
struct PrivateBus {
    QTemporaryDir dir;
    QProcess process;
    QString address = QStringLiteral("unix:path=%1/bus").arg(dir.path());

    bool start()
    {
        const QString config = dir.filePath("bus.conf");
        writeFile(config, "<busconfig><listen>unix:path=" + QFile::encodeName(dir.path()) +
                              "/bus</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                              "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
                              "</policy></busconfig>");
        // the daemon prints its address once it listens; the socket file is there a moment before
        process.start("dbus-daemon", {"--config-file=" + config, "--nofork", "--nopidfile", "--print-address"});
        return process.waitForStarted() &&
               QTest::qWaitFor([this] { return process.canReadLine() || process.state() != QProcess::Running; },
                               10000) &&
               process.canReadLine();
    }
    ~PrivateBus()
    {
        process.kill();
        process.waitForFinished();
    }
};

// A daemon before Avahi 0.8 at its worst: no ServiceBrowserPrepare, and the first sighting sent
// before the answer that names the browser. By default it offers one receiver, "kueche" at 10.1.2.3.
class OldAvahi : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Avahi.Server")
public:
    struct Service {
        QString name, host, address;
    };
    explicit OldAvahi(const QDBusConnection& bus) : bus_(bus) {}
    QList<Service> services{{"Mirovell Empfänger auf kueche", "kueche.local", "10.1.2.3"}};
    // as the daemon sends it, to the browser's owner
    void itemSignal(const char* member, const QString& name)
    {
        QDBusMessage item = QDBusMessage::createTargetedSignal(browserOwner_, kBrowserPath, kBrowser, member);
        item << 2 << 0 << name << kType << "local" << 0u;
        bus_.send(item);
    }

public slots:
    int GetState() { return 2; }
    QString GetHostNameFqdn() { return "wohnzimmer.local"; }
    QDBusObjectPath ServiceBrowserNew(int, int, const QString&, const QString&, uint)
    {
        browserOwner_ = message().service();
        for (const Service& service : services)
            itemSignal("ItemNew", service.name);
        return QDBusObjectPath(kBrowserPath);
    }
    void ResolveService(int interface, int protocol, const QString& name, const QString& type, const QString& domain,
                        int, uint)
    {
        setDelayedReply(true);
        const QList<QByteArray> txt{"role=receiver", "v=1"};
        for (const Service& s : services) {
            if (s.name == name)
                bus_.send(message().createReply({interface, protocol, name, type, domain, s.host, 0, s.address,
                                                 QVariant::fromValue(quint16(22355)), QVariant::fromValue(txt), 0u}));
        }
    }

private:
    QDBusConnection bus_;
    QString browserOwner_;
};

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        folder_ = dir_->filePath("run");
        program_ = dir_->filePath("mirovell");
        QFile(program_).open(QIODevice::WriteOnly);
    }

    // Whatever spoils the lock folder or the socket's name, or a killed instance left behind, the first
    // start runs, and a later one reaches it or ends without hanging (the program itself: scripts/tour.sh).
    void spoiled_data()
    {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<bool>("found");    // the later start sees a running instance
        QTest::addColumn<bool>("reached");  // and its request arrives
        QTest::newRow("garbage lock") << "garbage lock" << true << true;
        QTest::newRow("lock and socket of a killed instance") << "killed" << true << true;
        QTest::newRow("garbage on the socket: hung up on, still serving") << "junk" << true << true;
        QTest::newRow("lock folder cannot be made") << "blocked" << false << false;
        QTest::newRow("lock folder refuses files") << "read-only" << false << false;
        QTest::newRow("first folder unusable, the next one works") << "blocked, fallback" << true << true;
        QTest::newRow("socket name taken by what is no socket and cannot be removed")
            << "socket taken" << true << false;
        QTest::newRow("instance too busy to read") << "busy" << true << false;
        QTest::newRow("lock and socket of another user, the lock naming a live process") << "foreign" << false << false;
    }

    void spoiled()
    {
        QFETCH(QString, spoil);
        QFETCH(bool, found);
        QFETCH(bool, reached);
        const QString bad = dir_->filePath("bad");
        QStringList folders{folder_};
        if (spoil.startsWith(u"blocked")) {
            QFile(bad).open(QIODevice::WriteOnly);  // not even root makes a folder below a file
            folders = spoil.endsWith(u"fallback") ? QStringList{bad + "/run", folder_} : QStringList{bad + "/run"};
        } else if (spoil == u"read-only") {
            if (::geteuid() == 0)
                QSKIP("root writes anywhere");
            QDir().mkpath(bad);
            QFile::setPermissions(bad, QFile::ReadOwner | QFile::ExeOwner);
            folders = {bad};
        }
        QtSingleInstance second(program_, folders);
        QLocalServer other;  // nobody reads: a busy instance, or another user's
        if (spoil == u"garbage lock") {
            writeFile(second.lockPath(), "\x01\x02garbage");
        } else if (spoil == u"socket taken") {
            QDir().mkpath(second.socketPath() + "/keep");
        } else if (spoil == u"killed") {
            QProcess gone;  // a process id nobody has now
            gone.start("true");
            QVERIFY(gone.waitForStarted());
            const qint64 pid = gone.processId();
            QVERIFY(gone.waitForFinished());
            writeFile(second.lockPath(),
                      QByteArray::number(pid) + "\ntrue\n" + QSysInfo::machineHostName().toUtf8() + '\n');
            sockaddr_un address{};  // a socket file nobody listens on any more
            address.sun_family = AF_UNIX;
            qstrncpy(address.sun_path, QFile::encodeName(second.socketPath()).constData(), sizeof address.sun_path);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::close(fd) == 0);
        } else if (spoil == u"foreign") {
            if (::geteuid() != 0)
                QSKIP("only root can give a file to another user");
            QVERIFY(other.listen(second.socketPath()));
            writeFile(second.lockPath(), QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                                             QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
                                             '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
            for (const QString& f : {second.socketPath(), second.lockPath()})
                QVERIFY(::chown(QFile::encodeName(f).constData(), 65534, 65534) == 0);
        }
        QLockFile lock(second.lockPath());
        std::optional<Running> first;
        if (spoil == u"busy") {
            QVERIFY(lock.tryLock(0) && other.listen(second.socketPath()));
        } else {
            first.emplace(program_, folders);
            QVERIFY(!first->otherFound);
            QCOMPARE(first->holdsLock, found);
            QCOMPARE(first->listening, reached);
        }
        const QByteArrayList junk =
            spoil == u"junk" ? QByteArrayList{"HELLO\n\n\n", QByteArray(20000, 'x')} : QByteArrayList();
        for (const QByteArray& bytes : junk) {
            QLocalSocket s;
            s.connectToServer(second.socketPath());
            QVERIFY(s.waitForConnected(2000));
            s.write(bytes);
            s.waitForBytesWritten(2000);
            s.waitForDisconnected(8000);  // the running instance hangs up
            QCOMPARE(s.state(), QLocalSocket::UnconnectedState);
        }
        QCOMPARE(second.lockPath().isEmpty(), !found && folders != QStringList{folder_});
        QCOMPARE(second.anotherInstanceRunning(), found);
        QCOMPARE(second.activateRunning("^o", "{ENTER}\nx"), reached);
        if (first)
            QCOMPARE(first->requests(), reached ? QStringList{"^o|{ENTER}\nx"} : QStringList());
        if (spoil == u"foreign")  // another user's socket is left alone, and never talked to
            QVERIFY(QFileInfo::exists(second.socketPath()) && !other.hasPendingConnections());
        // a copy in another folder is another program
        QVERIFY(!QtSingleInstance(dir_->filePath("copy/mirovell"), folders).anotherInstanceRunning());
        QFile::setPermissions(bad, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void decodeLine_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("Empf\xC3\xA4nger") << QStringLiteral("Empfänger");
        QTest::newRow("windows-1252 euro and quotes") << QByteArray("\x80 \x93x\x94") << QStringLiteral("€ “x”");
        QTest::newRow("truncated utf-8 falls back") << QByteArray("a\xC3") << QStringLiteral("aÃ");
        QTest::newRow("overlong utf-8 falls back") << QByteArray("\xC0\xAF") << QStringLiteral("À¯");
    }
    void decodeLine() { QTEST(codec::decodeLine(row<QByteArray>("bytes")), "text"); }

    void windows1252RoundTrip()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        QCOMPARE(codec::toWindows1252(codec::fromWindows1252(all)), all);
        QCOMPARE(codec::toWindows1252(QStringLiteral("日本 😀")), QByteArray("?? ?"));
        // lines end at CR LF, CR or LF; LF CR is two breaks
        QCOMPARE(codec::splitLines("a\n\rb\r\nc\r").size(), 4);
    }

    void replacedWhole()
    {
        const QString dir = dir_->filePath("ro");
        QVERIFY(QDir().mkpath(dir));
        const QString file = dir + "/keep.m3u";
        writeFile(file, "old");
        // the temporary file cannot be created beside the target: the old file stays whole
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        const bool rootCanWrite = QFile(dir + "/probe").open(QIODevice::WriteOnly);
        QFile::remove(dir + "/probe");
        const bool ok = textfile::writeLines(file, {"new"});
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ok, rootCanWrite);
        QCOMPARE(readAll(file), rootCanWrite ? QByteArray("new\r\n") : QByteArray("old"));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"keep.m3u"});

        // a file kept elsewhere and linked here stays a link to a file of the same mode
        const QString real = dir_->filePath("real.m3u"), link = dir_->filePath("link.m3u");
        writeFile(real, "old");
        QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner);
        const QFile::Permissions mode = QFile::permissions(real);
        QVERIFY(QFile::link(real, link) && textfile::writeLines(link, {"new"}));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readAll(real), QByteArray("new\r\n"));
        QCOMPARE(QFile::permissions(real), mode);
    }

    void folders_data()
    {
        QTest::addColumn<QString>("path");       // relative names are looked up in a folder holding the file "vlc"
        QTest::addColumn<QString>("folder");     // FolderOf; %1 = that folder
        QTest::addColumn<QString>("separated");  // AddTrailingSeparator; "-" = refused
        // clang-format off
        QTest::newRow("existing file") << "%1/vlc" << "%1/" << "%1/vlc/";
        QTest::newRow("existing file, no separator") << "vlc" << "" << "vlc";
        QTest::newRow("existing folder") << "%1" << "%1" << "%1/";
        QTest::newRow("missing file is itself") << "C:\\x\\vlc.exe" << "C:\\x\\vlc.exe" << "C:\\x\\vlc.exe\\";
        QTest::newRow("ends in its separator") << "C:\\a\\" << "C:\\a\\" << "C:\\a\\";
        QTest::newRow("quoted") << "\"C:\\a\"" << "\"C:\\a\"" << "\"C:\\a\\\"";
        QTest::newRow("mixed: the backslash decides") << "/a\\b" << "/a\\b" << "/a\\b\\";
        QTest::newRow("empty") << "" << "" << "-";
        // clang-format on
    }
    void folders()
    {
        QFETCH(QString, path);
        QFile(dir_->filePath("vlc")).open(QIODevice::WriteOnly);
        const auto at = [this](QString t) { return t.replace("%1", dir_->path()); };
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir_->path());
        const QString found = paths::FolderOf(at(path));
        QDir::setCurrent(before);
        QCOMPARE(found, at(row<QString>("folder")));
        QCOMPARE(paths::AddTrailingSeparator(at(path)).value_or("-"), at(row<QString>("separated")));
    }

    void installedCopy_data()
    {
        // folders inside a temporary folder that holds bin/ and link -> bin; "" for none
        QTest::addColumn<QString>("programFolder");
        QTest::addColumn<QString>("installFolder");
        QTest::addColumn<bool>("installed");
        // clang-format off
        QTest::newRow("the install folder") << "bin/" << "bin" << true;
        QTest::newRow("reached through a link") << "link/" << "bin" << true;
        QTest::newRow("another folder") << "/" << "bin" << false;
        QTest::newRow("install folder missing") << "bin/" << "nowhere" << false;
        QTest::newRow("no install folder") << "bin/" << "" << false;
        // clang-format on
    }
    void installedCopy()
    {
        QVERIFY(QDir(dir_->path()).mkdir("bin") && QFile::link(dir_->filePath("bin"), dir_->filePath("link")));
        const auto at = [this](const QString& p) { return p.isEmpty() ? p : dir_->path() + u'/' + p; };
        QTEST(installation::isInstalledCopy(at(row<QString>("programFolder")), at(row<QString>("installFolder"))),
              "installed");
    }

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
            QObject::connect(&discovery, &IServiceDiscovery::peersChanged,
                             [&changes](const QList<DiscoveredPeer>&) { ++changes; });
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
        AvahiServiceDiscovery discovery({.busAddress = bus.address, .hostName = {}});
        QObject::connect(&discovery, &IServiceDiscovery::peersChanged,
                         [&changes](const QList<DiscoveredPeer>& peers) { changes << peers; });
        discovery.browse(PeerRole::Receiver);
        const DiscoveredPeer kueche{"kueche",    "10.1.2.3", 22355, PeerRole::Receiver, "Mirovell Empfänger auf kueche",
                                    {{"v", "1"}}};
        QTRY_COMPARE(changes, QList<QList<DiscoveredPeer>>{{kueche}});

        // anyone else on the bus may send the daemon's signals: they change nothing
        QDBusConnection other = QDBusConnection::connectToBus(bus.address, "other");
        QDBusMessage remove = QDBusMessage::createSignal(kBrowserPath, kBrowser, "ItemRemove");
        remove << 2 << 0 << kueche.serviceName << kType << "local" << 0u;
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
    // Whatever anyone on the LAN publishes: at most kMaxRecords services are kept, records that
    // point at no one in particular are dropped, and names are shown escaped.
    void strangeRecords()
    {
        PrivateBus bus;
        QVERIFY2(bus.start(), "no private bus: dbus-daemon is missing (scripts/deps.sh installs it)");
        QDBusConnection daemonBus = QDBusConnection::connectToBus(bus.address, "crowded-avahi");
        OldAvahi daemon(daemonBus);
        daemon.services = {{"loopback", "a.local", "127.0.0.1"},
                           {"unspecified", "b.local", "0.0.0.0"},
                           {"broadcast", "c.local", "255.255.255.255"},
                           {"multicast", "d.local", "224.0.0.251"},
                           {"address as name", "192.168.0.2.local", "10.9.9.9"},
                           {"escape", "evil\\027[2Jname.local", "10.9.9.8"}};
        for (int i = 0; i < discovery::kMaxRecords + 44; ++i)
            daemon.services.append({QStringLiteral("many %1").arg(i, 3, 10, QLatin1Char('0')),
                                    QStringLiteral("pc%1.local").arg(i, 3, 10, QLatin1Char('0')),
                                    QStringLiteral("10.8.%1.%2").arg(i / 200).arg(1 + i % 200)});
        QVERIFY(daemonBus.registerObject("/", &daemon, QDBusConnection::ExportAllSlots));
        QVERIFY(daemonBus.registerService("org.freedesktop.Avahi"));

        AvahiServiceDiscovery discovery({.busAddress = bus.address, .hostName = {}});
        QList<DiscoveredPeer> found;
        QObject::connect(&discovery, &IServiceDiscovery::peersChanged,
                         [&found](const QList<DiscoveredPeer>& peers) { found = peers; });
        discovery.browse(PeerRole::Receiver);
        // the first kMaxRecords sightings are kept; five of them lead nowhere
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), discovery::kMaxRecords - 5, 60000);  // 300 resolves over the bus
        QCOMPARE(found.first(),
                 (DiscoveredPeer{"evil\\x1b[2Jname", "10.9.9.8", 22355, PeerRole::Receiver, "escape", {{"v", "1"}}}));
        QCOMPARE(found.last().hostName, "pc249");
        for (const DiscoveredPeer& p : found)
            QVERIFY2(p.address.startsWith("10.") && p.address != "10.9.9.9", qPrintable(p.address));

        // one goes: the ones beyond the cap stay ignored, the rest is kept
        daemon.itemSignal("ItemRemove", "many 000");
        QTRY_COMPARE_WITH_TIMEOUT(found.size(), discovery::kMaxRecords - 6, 60000);
        QCOMPARE(found.at(1).hostName, "pc001");
        QCOMPARE(found.last().hostName, "pc249");
        QDBusConnection::disconnectFromBus("crowded-avahi");
    }
    void usableAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("usable");
        // clang-format off
        for (const char* a : {"192.168.0.2", "10.231.10.2", "1.2.3.4", "169.254.1.1", "2001:db8::1", "fe80::1", "::ffff:192.168.0.2"})
            QTest::newRow(a) << a << true;
        for (const char* a : {"127.0.0.1", "127.1.2.3", "0.0.0.0", "0.1.2.3", "255.255.255.255", "224.0.0.251", "239.255.22.55",
                              "::1", "::", "ff02::fb", "::ffff:127.0.0.1", "::ffff:0.0.0.0", "::ffff:224.0.0.1", "", "wohnzimmer"})
            QTest::newRow(*a ? a : "empty") << a << false;
        // clang-format on
    }
    void usableAddresses() { QTEST(discovery::usableAddress(row<QString>("address")), "usable"); }
    void shownNames_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("plain") << "wohnzimmer.local" << "wohnzimmer";
        QTest::newRow("umlaut") << "küche.local" << "küche";
        QTest::newRow("escape, as the daemon writes it") << "a\\027[31mb.local" << "a\\x1b[31mb";
        QTest::newRow("new line and tab") << "a\\010b\\009c.local" << "a\\x0ab\\x09c";
        QTest::newRow("nul") << "a\\000b.local" << "a\\x00b";
        QTest::newRow("delete and C1") << QString::fromUtf8("a\\127b\xc2\x85" "c.local") << "a\\x7fb\\x85c";
        QTest::newRow("writing direction turned") << QString::fromUtf8("gpj\xe2\x80\xae" "exe.local") << "gpj\\u202eexe";
        QTest::newRow("line separator") << QString::fromUtf8("a\xe2\x80\xa8" "b.local") << "a\\u2028b";
        QTest::newRow("escaped dot and backslash") << "a\\.b\\\\c.local" << "a.b\\\\c";
        QTest::newRow("a backslash as it stands") << "x\\\\x1b.local" << "x\\\\x1b";
        QTest::newRow("trailing dot") << "wohnzimmer.local." << "wohnzimmer";
        QTest::newRow("other domain kept") << "pc.example.org" << "pc.example.org";
        // clang-format on
    }
    void shownNames() { QTEST(avahi::displayHost(row<QString>("host"), "local"), "shown"); }
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
        QTest::addColumn<QList<QByteArray>>("txt");
        QTest::addColumn<bool>("known");
        QTest::addColumn<PeerRole>("role");
        QTest::addColumn<Attributes>("attributes");
        const QString group = "239.255.22.55:1234";
        const Attributes oversized{{"role", "receiver"}, {"v", "9"}, {"big", QString(300, u'x')}};
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
        PeerRole read = PeerRole::Receiver;  // left as it is when unknown
        Attributes readAttributes;
        QTEST(avahi::readTxt(row<QList<QByteArray>>("txt"), &read, &readAttributes), "known");
        QTEST(read, "role");
        QTEST(readAttributes, "attributes");
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_, program_;
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
