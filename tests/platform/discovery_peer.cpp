// An instance as far as discovery goes, driven line by line on stdin, for scripts/discovery-lab.sh:
//   publish receiver|sender PORT [key=value...]   withdraw   browse receiver|sender   stop   quit
// Prints each event with the wall-clock time in ms: "T state Running", "T published NAME" ("-"
// when none), "T peers N | host address port role name {key=value,...} | ...".
// --no-prepare browses the way daemons before Avahi 0.8 need it.
#include "platform/qt/AvahiServiceDiscovery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMetaEnum>
#include <QSocketNotifier>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    std::printf("%lld %s\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()), qPrintable(line));
    std::fflush(stdout);
}

QString describe(const QList<DiscoveredPeer>& peers)
{
    QString line = QStringLiteral("peers %1").arg(peers.size());
    for (const DiscoveredPeer& p : peers) {
        QStringList attributes;
        for (auto it = p.attributes.begin(); it != p.attributes.end(); ++it)
            attributes << it.key() + u'=' + it.value();
        line += QStringLiteral(" | %1 %2 %3 %4 %5 {%6}")
                    .arg(p.hostName, p.address)
                    .arg(p.port)
                    .arg(discovery::roleName(p.role), p.serviceName, attributes.join(u','));
    }
    return line;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    AvahiServiceDiscovery::Options options;
    options.preparedBrowser = !app.arguments().contains(QStringLiteral("--no-prepare"));
    auto discovery = std::make_unique<AvahiServiceDiscovery>(options);
    QObject::connect(discovery.get(), &AvahiServiceDiscovery::stateChanged, [](AvahiServiceDiscovery::State s) {
        say(QStringLiteral("state ") +
            QLatin1String(QMetaEnum::fromType<AvahiServiceDiscovery::State>().valueToKey(int(s))));
    });
    QObject::connect(discovery.get(), &AvahiServiceDiscovery::publishedNameChanged, [](const QString& name) {
        say(QStringLiteral("published ") + (name.isEmpty() ? QStringLiteral("-") : name));
    });
    discovery->setPeersChanged([](const QList<DiscoveredPeer>& peers) { say(describe(peers)); });

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {  // the script has gone: end as at "quit"
            input.setEnabled(false);
            pending += "\nquit\n";
        } else {
            pending.append(buffer, n);
        }
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QStringList w = QString::fromUtf8(pending.left(end)).split(u' ', Qt::SkipEmptyParts);
            pending.remove(0, end + 1);
            if (w.isEmpty() || !discovery)
                continue;
            PeerRole role = PeerRole::Receiver;
            const bool knownRole = w.size() > 1 && discovery::roleFromName(w[1], &role);
            if (w[0] == QLatin1String("publish") && knownRole && w.size() > 2) {
                QMap<QString, QString> attributes;
                for (const QString& pair : w.mid(3))
                    attributes.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
                discovery->publish(role, w[2].toUShort(), attributes);
            } else if (w[0] == QLatin1String("withdraw")) {
                discovery->withdraw();
            } else if (w[0] == QLatin1String("browse") && knownRole) {
                discovery->browse(role);
            } else if (w[0] == QLatin1String("stop")) {
                discovery->stopBrowsing();
            } else if (w[0] == QLatin1String("quit")) {
                discovery.reset();  // as the program ends: withdrawn on the way out
                QCoreApplication::quit();
            } else {
                say(QStringLiteral("unknown command ") + w.join(u' '));
            }
        }
    });
    return QCoreApplication::exec();
}
