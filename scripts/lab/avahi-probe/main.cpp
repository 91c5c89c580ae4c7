// Talks to the Avahi daemon on the system bus the way the program would, through QtDBus, and prints
// what happens with wall-clock times in ms, so that runs in two namespaces can be compared.
//
//   avahi-probe state                                  how fast the bus and the daemon answer
//   avahi-probe browse-late TYPE SECONDS               ServiceBrowserNew, then subscribe to its path
//   avahi-probe browse-any TYPE SECONDS                subscribe to every path first, then ServiceBrowserNew
//   avahi-probe browse-prepare TYPE SECONDS            ServiceBrowserPrepare, subscribe, Start
//   avahi-probe publish NAME TYPE PORT SECONDS ACTION  publish, then after SECONDS: free, reset or exit
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

const QString kAvahi = QStringLiteral("org.freedesktop.Avahi");
const QString kServer = QStringLiteral("org.freedesktop.Avahi.Server");
const QString kServer2 = QStringLiteral("org.freedesktop.Avahi.Server2");
const QString kBrowser = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
const QString kGroup = QStringLiteral("org.freedesktop.Avahi.EntryGroup");
constexpr int kIfUnspec = -1;
constexpr int kProtoUnspec = -1;
constexpr int kProtoInet = 0;

void say(const QString& line)
{
    std::printf("%lld %s\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), qPrintable(line));
    std::fflush(stdout);
}

QDBusMessage call(const QString& path, const QString& interface, const QString& method, const QVariantList& args = {})
{
    QDBusMessage m = QDBusMessage::createMethodCall(kAvahi, path, interface, method);
    m.setArguments(args);
    return QDBusConnection::systemBus().call(m, QDBus::Block, 5000);
}

QString describe(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("error ") + reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
    QStringList parts;
    for (const QVariant& v : reply.arguments())
        parts << (v.metaType() == QMetaType::fromType<QDBusObjectPath>() ? v.value<QDBusObjectPath>().path()
                                                                         : v.toString());
    return parts.join(u' ');
}

class Browser : public QObject {
    Q_OBJECT
public:
    QString path;               // the browser's object path once known
    QList<QDBusMessage> early;  // signals that came before the path was known

public slots:
    void onSignal(const QDBusMessage& m)
    {
        if (path.isEmpty()) {
            early << m;
            return;
        }
        if (m.path() != path)
            return;
        handle(m);
    }
    void flushEarly()
    {
        for (const QDBusMessage& m : std::as_const(early))
            if (m.path() == path)
                handle(m);
        early.clear();
    }

private:
    void handle(const QDBusMessage& m)
    {
        const QVariantList a = m.arguments();
        if (m.member() == QLatin1String("ItemNew") || m.member() == QLatin1String("ItemRemove")) {
            say(m.member() + u' ' + a.value(2).toString() + u' ' + a.value(3).toString() + QStringLiteral(" if=") +
                a.value(0).toString() + QStringLiteral(" proto=") + a.value(1).toString());
            if (m.member() == QLatin1String("ItemNew"))
                resolve(a);
        } else {
            say(m.member() + u' ' + describe(m));
        }
    }
    // ResolveService answers once the SRV, TXT and address records are known; asked without
    // blocking, since a service that has just gone can take the daemon's whole timeout.
    void resolve(const QVariantList& a)
    {
        QDBusMessage m =
            QDBusMessage::createMethodCall(kAvahi, QStringLiteral("/"), kServer, QStringLiteral("ResolveService"));
        m.setArguments({a.value(0), a.value(1), a.value(2), a.value(3), a.value(4), kProtoInet, 0u});
        auto* w = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(m, 10000), this);
        connect(w, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* w) {
            const QDBusMessage r = w->reply();
            if (r.type() == QDBusMessage::ErrorMessage) {
                say(QStringLiteral("resolve failed ") + r.errorName());
            } else {
                const QVariantList v = r.arguments();  // iissssisqaayu
                say(QStringLiteral("resolved ") + v.value(2).toString() + QStringLiteral(" host=") +
                    v.value(5).toString() + QStringLiteral(" address=") + v.value(7).toString() +
                    QStringLiteral(" port=") + v.value(8).toString());
            }
            w->deleteLater();
        });
    }
};

class GroupWatch : public QObject {
    Q_OBJECT
public slots:
    void onState(const QDBusMessage& m)
    {
        const int state = m.arguments().value(0).toInt();
        // AVAHI_ENTRY_GROUP_ESTABLISHED: the name is probed and announced
        say(state == 2 ? QStringLiteral("established") : QStringLiteral("group state ") + QString::number(state));
    }
};

bool subscribe(Browser& b, const QString& path)
{
    bool ok = true;
    for (const char* name : {"ItemNew", "ItemRemove", "AllForNow", "CacheExhausted", "Failure"})
        ok &= QDBusConnection::systemBus().connect(kAvahi, path, kBrowser, QLatin1String(name), &b,
                                                   SLOT(onSignal(QDBusMessage)));
    return ok;
}

int state()
{
    QElapsedTimer t;
    t.start();
    QDBusConnection bus = QDBusConnection::systemBus();
    say(QStringLiteral("bus connected=%1 after %2 ms").arg(bus.isConnected()).arg(t.elapsed()));
    if (!bus.isConnected())
        return 0;
    t.restart();
    const bool owned = bus.interface()->isServiceRegistered(kAvahi);
    say(QStringLiteral("daemon on the bus=%1 after %2 ms").arg(owned).arg(t.elapsed()));
    t.restart();
    const QDBusMessage r = call(QStringLiteral("/"), kServer, QStringLiteral("GetState"));
    say(QStringLiteral("GetState: %1 after %2 ms").arg(describe(r)).arg(t.elapsed()));
    t.restart();
    const QDBusMessage v = call(QStringLiteral("/"), kServer, QStringLiteral("GetVersionString"));
    const QDBusMessage h = call(QStringLiteral("/"), kServer, QStringLiteral("GetHostName"));
    say(QStringLiteral("version %1, host name %2").arg(describe(v), describe(h)));
    return 0;
}

int browse(const QString& mode, const QString& type, int seconds)
{
    auto* b = new Browser;
    const QVariantList args{kIfUnspec, kProtoInet, type, QString(), 0u};
    if (mode == QLatin1String("browse-late")) {
        const QDBusMessage r = call(QStringLiteral("/"), kServer, QStringLiteral("ServiceBrowserNew"), args);
        b->path = describe(r);
        say(QStringLiteral("ServiceBrowserNew -> ") + b->path);
        subscribe(*b, b->path);
    } else if (mode == QLatin1String("browse-any")) {
        subscribe(*b, QString());  // every path: nothing the daemon sends right after the reply is lost
        const QDBusMessage r = call(QStringLiteral("/"), kServer, QStringLiteral("ServiceBrowserNew"), args);
        b->path = describe(r);
        say(QStringLiteral("ServiceBrowserNew -> ") + b->path);
        QTimer::singleShot(0, b, &Browser::flushEarly);
    } else {
        const QDBusMessage r = call(QStringLiteral("/"), kServer2, QStringLiteral("ServiceBrowserPrepare"), args);
        b->path = describe(r);
        say(QStringLiteral("ServiceBrowserPrepare -> ") + b->path);
        subscribe(*b, b->path);
        say(QStringLiteral("Start: ") + describe(call(b->path, kBrowser, QStringLiteral("Start"))));
    }
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

int publish(const QStringList& a)
{
    const QString name = a.value(2), type = a.value(3), action = a.value(6);
    const int seconds = a.value(5).toInt();
    const QString group = describe(call(QStringLiteral("/"), kServer, QStringLiteral("EntryGroupNew")));
    say(QStringLiteral("EntryGroupNew -> ") + group);
    auto* watch = new GroupWatch;
    QDBusConnection::systemBus().connect(kAvahi, group, kGroup, QStringLiteral("StateChanged"), watch,
                                         SLOT(onState(QDBusMessage)));
    const QList<QByteArray> txt{QByteArrayLiteral("role=receiver")};
    const QDBusMessage added =
        call(group, kGroup, QStringLiteral("AddService"),
             {kIfUnspec, kProtoUnspec, 0u, name, type, QString(), QString(),
              QVariant::fromValue(static_cast<quint16>(a.value(4).toUInt())), QVariant::fromValue(txt)});
    say(QStringLiteral("AddService: ") + describe(added));
    say(QStringLiteral("Commit: ") + describe(call(group, kGroup, QStringLiteral("Commit"))));
    QTimer::singleShot(seconds * 1000, [group, action] {
        if (action == QLatin1String("exit")) {
            say(QStringLiteral("exit without freeing"));
            std::_Exit(0);
        }
        const QString method = action == QLatin1String("reset") ? QStringLiteral("Reset") : QStringLiteral("Free");
        say(method + QStringLiteral(": ") + describe(call(group, kGroup, method)));
        QTimer::singleShot(8000, qApp, &QCoreApplication::quit);
    });
    return QCoreApplication::exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<QList<QByteArray>>();  // the TXT records, D-Bus type aay
    const QStringList a = app.arguments();
    const QString mode = a.value(1);
    if (mode == QLatin1String("state"))
        return state();
    if (mode.startsWith(QLatin1String("browse-")) && a.size() >= 4)
        return browse(mode, a.value(2), a.value(3).toInt());
    if (mode == QLatin1String("publish") && a.size() >= 7)
        return publish(a);
    std::fprintf(stderr, "usage: see the top of main.cpp\n");
    return 2;
}

#include "main.moc"
