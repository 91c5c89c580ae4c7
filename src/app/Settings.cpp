#include "app/Settings.h"

#include "model/Defaults.h"
#include "platform/AtomicSave.h"
#include "platform/Installation.h"
#include "platform/ProgramEnvironment.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>

namespace {

const QString kSoutKey = QStringLiteral("EXTVLCOPT1");
const QString kTtlKey = QStringLiteral("EXTVLCOPT2");
const QString kSoutDefault = QStringLiteral("#EXTVLCOPT:sout=#standard{mux=ts,");
const QString kTtlDefault = QStringLiteral("#EXTVLCOPT:ttl=1");
const QString kGroupKey = QStringLiteral("MulticastGroup");
const QString kGroupPortKey = QStringLiteral("MulticastPort");
const QString kGroupTtlKey = QStringLiteral("MulticastTtl");
const QString kGroupDefault = QStringLiteral("239.255.22.55");  // organisation-local: never leaves the site
constexpr int kGroupPortDefault = 1234;                         // VLC's own
constexpr int kGroupTtlDefault = 1;                             // no router passes it on

int numberIn(const QString& text, int low, int high, int fallback)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= low && n <= high ? n : fallback;
}

}  // namespace

void Settings::InitSettingsFile(const ProgramEnvironment& env)
{
    QString folder = env.programFolder;
    // the system's copy, or one that cannot write beside itself or shares its folder with other
    // users, keeps its files in the user's folder
    if (!env.configFolder.isEmpty() && (env.installed || !installation::mayKeepFilesBeside(folder))) {
        folder = env.configFolder;
        QDir().mkpath(folder);
    }
    if (!folder.isEmpty() && !folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += platformdefaults::kPathSeparator;
    tempPlaylist_ = folder + env.exeBaseName + QStringLiteral("_TmpPlst.m3u");
    settingsFile_ = folder + env.exeBaseName + QStringLiteral(".ini");
    // copies left by saves that an earlier run did not finish; the real files are whole
    atomicsave::removeLeftovers(settingsFile_);
    atomicsave::removeLeftovers(tempPlaylist_);
    if (!QFileInfo::exists(settingsFile_)) {
        textfile::writeLines(settingsFile_, {QStringLiteral("[LastSettings]"), QString(), QString(),
                                             QStringLiteral("[Settings]"), QString()});
    }
}

Settings::OneRead::OneRead(const Settings& settings) : settings_(settings)
{
    settings_.held_ = true;
}

Settings::OneRead::~OneRead()
{
    settings_.held_ = false;
    settings_.content_.reset();
}

const QByteArray* Settings::content() const
{
    if (!held_)
        return nullptr;
    if (!content_)
        content_ = ini::ReadIniFile(settingsFile_);  // missing: the long way, which creates it
    return content_ ? &*content_ : nullptr;
}

QString Settings::read(const QString& section, const QString& key, const QString& fallback) const
{
    if (const QByteArray* held = content())
        return ini::valueOr(*held, section, key, fallback);
    return ini::ReadIniValue(section, key, settingsFile_, fallback, true);
}

void Settings::write(const QString& section, const QString& key, const QString& value) const
{
    ini::WriteIniValue(section, key, value, settingsFile_, true);
    content_.reset();
}

void Settings::write(const QString& section, const ini::KeyValues& values) const
{
    ini::WriteIniValues(section, values, settingsFile_, true);
    content_.reset();
}

std::optional<QString> Settings::stored(const QString& section, const QString& key) const
{
    if (const QByteArray* held = content())
        return ini::valueIn(*held, section, key);
    return ini::StoredIniValue(section, key, settingsFile_);
}

QStringList Settings::LoadProtocolList() const
{
    QStringList protocols;
    const QString dot = QStringLiteral(".");
    ini::KeyValues missing;  // written in one go, and only when there is something to add
    const QString p1 = read(kSettings, QStringLiteral("Protocol1"), dot);
    if (p1 == dot) {
        missing.append({QStringLiteral("Protocol1"), QStringLiteral("UDP")});
        protocols << QStringLiteral("UDP");
    } else if (!p1.isEmpty()) {
        protocols << p1;
    }
    for (const char* key : {"Protocol2", "Protocol3"}) {
        const QString v = read(kSettings, QLatin1String(key), dot);
        if (v == dot) {
            // an empty entry is what would be written; a missing one or a "." is not
            if (stored(kSettings, QLatin1String(key)) != QString())
                missing.append({QLatin1String(key), QString()});
        } else if (!v.isEmpty()) {
            protocols << v;
        }
    }
    for (int i = 4; i <= 9; ++i) {
        const QString v = read(kSettings, QStringLiteral("Protocol%1").arg(i), QString());
        if (!v.isEmpty())
            protocols << v;
    }
    if (!missing.isEmpty())
        write(kSettings, missing);
    return protocols;
}

Settings::StreamOptions Settings::streamOptions() const
{
    StreamOptions o;
    o.sout = read(kSettings, kSoutKey, QString());
    if (o.sout.isEmpty()) {
        write(kSettings, kSoutKey, kSoutDefault);
        o.sout = read(kSettings, kSoutKey, kSoutDefault);
    }
    o.ttl = read(kSettings, kTtlKey, QString());
    if (o.ttl.isEmpty()) {
        write(kSettings, kTtlKey, kTtlDefault);
        o.ttl = read(kSettings, kTtlKey, kTtlDefault);
    }
    return o;
}

Settings::GroupStream Settings::groupStream() const
{
    GroupStream g;
    const QHostAddress group(read(kSettings, kGroupKey, kGroupDefault).trimmed());
    // only an IPv4 multicast group: anything else would stream to one PC or to nowhere
    g.group =
        group.protocol() == QAbstractSocket::IPv4Protocol && group.isMulticast() ? group.toString() : kGroupDefault;
    g.port = numberIn(read(kSettings, kGroupPortKey, QString()), 1, 65535, kGroupPortDefault);
    g.ttl = numberIn(read(kSettings, kGroupTtlKey, QString()), 0, 255, kGroupTtlDefault);
    return g;
}
