// mirovell-updater: replaces the program's file with the version published at an address.
//
//   mirovell-updater [URL]<address> [PATH]<program file> [[PID]<process id>] [--console-only]
//
// Results go to the console and, unless --console-only, to a desktop notification and to
// update.log in the user's cache folder.
// It waits until the program has ended, fetches <address>.sig and <address>, accepts the download
// only with a valid Ed25519 signature by the maker's key, puts it in place with one atomic rename
// and starts it. Whatever goes wrong, the old file stays as it was and is started again.
// Messages are English under an English locale, German otherwise, like the program's window.

#include "platform/OwnFiles.h"
#include "platform/PathHelpers.h"
#include "update/Download.h"
#include "update/MakerKey.h"
#include "update/Signature.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLocale>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <QTranslator>
#include <QUrl>

#include <cstdio>
#include <filesystem>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

namespace {

enum ExitCode {
    kUpdated = 0,
    kUsage = 2,
    kNotWritable = 3,
    kDownloadFailed = 4,
    kBadSignature = 5,
    kReplaceFailed = 6,
    kStillRunning = 7,
    kStartFailed = 8,
    kBusy = 9,
};

constexpr int kWaitForEndMs = 60000;

struct Request {
    QString url;
    QString path;
    qint64 pid = 0;
    bool consoleOnly = false;
};

bool g_consoleOnly = false;

#ifdef MIROVELL_UPDATER_TEST_KEY
// Only the tests' own build of the updater: it trusts the key the test made, handed over as hex.
QByteArray trustedKey()
{
    const QByteArray hex = qgetenv("MIROVELL_TEST_PUBLIC_KEY");
    return hex.isEmpty() ? makerkey::publicKey() : QByteArray::fromHex(hex);
}
#else
QByteArray trustedKey()
{
    return makerkey::publicKey();
}
#endif

// Two updaters at once are unlikely and the final rename is atomic: going on beats refusing.
void warnUnlocked(const QString& why)
{
    std::fputs(
        qPrintable(QCoreApplication::translate("Updater", "Mirovell-Update: ohne Sperre gegen ein zweites Update (%1)")
                       .arg(why) +
                   QLatin1Char('\n')),
        stderr);
}

// The user reads this on the console and, where the desktop offers it, as a notification.
void tell(const QString& text, bool failure)
{
    std::fputs(qPrintable(QStringLiteral("Mirovell-Update: ") + text + u'\n'), failure ? stderr : stdout);
    std::fflush(failure ? stderr : stdout);
    if (g_consoleOnly)
        return;
    // started from a menu, nobody reads the console: keep a log where the user can find it
    const QString logFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QFile log(logFolder + QStringLiteral("/update.log"));
    if (QDir().mkpath(logFolder) && log.open(QIODevice::Append)) {
        log.write(QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' + text.toUtf8() + '\n');
        log.close();
    }
    const QString notifier = QStandardPaths::findExecutable(QStringLiteral("notify-send"));
    if (!notifier.isEmpty()) {
        QProcess::startDetached(notifier,
                                {failure ? QStringLiteral("--urgency=critical") : QStringLiteral("--urgency=normal"),
                                 QStringLiteral("Mirovell-Update"), text});
    }
}

// The markers, not the argument boundaries, delimit the values: a caller that gives the whole
// command as one unquoted line splits a path with a blank over several arguments. Join them and cut
// at the markers.
std::optional<Request> parseCommandLine(QStringList args)
{
    Request request;
    if (args.removeAll(QStringLiteral("--console-only")) > 0)
        request.consoleOnly = true;
    const QString line = args.join(u' ');
    const qsizetype url = line.indexOf(QStringLiteral("[URL]"));
    const qsizetype path = line.indexOf(QStringLiteral("[PATH]"));
    const qsizetype pid = line.indexOf(QStringLiteral("[PID]"));
    if (url < 0 || path < 0 || path < url || (pid >= 0 && pid < path))
        return std::nullopt;
    request.url = paths::StripQuotes(line.mid(url + 5, path - url - 5));
    request.path = paths::StripQuotes(pid < 0 ? line.mid(path + 6) : line.mid(path + 6, pid - path - 6));
    if (pid >= 0) {
        bool ok = false;
        request.pid = line.mid(pid + 5).trimmed().toLongLong(&ok);
        if (!ok || request.pid <= 0)
            return std::nullopt;
    }
    if (request.url.isEmpty() || request.path.isEmpty())
        return std::nullopt;
    return request;
}

// Plain HTTP would let anyone on the way hand over an older signed version; only the own machine may use it.
bool trustedAddress(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https")
        return true;
    if (scheme != u"http")
        return false;
    if (url.host().compare(u"localhost", Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress host(url.host());
    return !host.isNull() && host.isLoopback();
}

#ifdef Q_OS_LINUX
bool processAlive(qint64 pid)
{
    if (pid <= 0 || pid == QCoreApplication::applicationPid())
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) != "Z";  // a zombie has ended already
}

// Any process whose executable is the program's file, in whatever way it was started.
bool fileInUse(const QString& canonicalFile)
{
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == QCoreApplication::applicationPid())
            continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(entry));
        if (exe == canonicalFile && processAlive(pid))
            return true;
    }
    return false;
}
#endif

bool waitForProgramEnd(const Request& request, const QString& canonicalFile)
{
#ifdef Q_OS_LINUX
    QDeadlineTimer deadline(kWaitForEndMs);
    while (processAlive(request.pid) || fileInUse(canonicalFile)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(200);
    }
    return true;
#else
    // without a process table to look at, give the program the moment it needs to close
    Q_UNUSED(canonicalFile);
    QThread::msleep(request.pid > 0 ? 3000 : 1000);
    return true;
#endif
}

// Whether a file can be put into the folder and the program's file itself may be changed.
bool canReplace(const QString& file)
{
    const QFileInfo info(file);
    if (!info.isWritable())
        return false;
    QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.mirovell-probe-XXXXXX"));
    return probe.open();
}

bool startProgram(const QString& file)
{
    return QProcess::startDetached(file, {}, QFileInfo(file).absolutePath());
}

void giveExecutableRights(const QString& file, QFile::Permissions like)
{
    QFile::Permissions p = like | QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                           QFile::WriteUser | QFile::ExeUser;
    if (p & QFile::ReadGroup)
        p |= QFile::ExeGroup;
    if (p & QFile::ReadOther)
        p |= QFile::ExeOther;
    QFile::setPermissions(file, p);
}

class Updater {
public:
    explicit Updater(const Request& request) : request_(request) {}

    int run()
    {
        const QFileInfo given(request_.path);
        if (!given.exists() || given.isDir()) {
            tell(QCoreApplication::translate("Updater",
                                             "Die Programmdatei %1 wurde nicht gefunden. Es wurde nichts geändert.")
                     .arg(given.absoluteFilePath()),
                 true);
            return kUsage;
        }
        // a link is followed: the real file is replaced, the link keeps pointing at it
        file_ = given.canonicalFilePath();
        // one updater per program file at a time, locked where no other user can take the lock
        QString why;
        const QString runtime = platform::userRuntimeDir(&why);
        std::optional<QLockFile> lock;
        if (!runtime.isEmpty())
            lock.emplace(runtime + QStringLiteral("/mirovell-updater-") +
                         QString::fromLatin1(
                             QCryptographicHash::hash(file_.toUtf8(), QCryptographicHash::Sha1).toHex().left(16)) +
                         QStringLiteral(".lock"));
        if (lock && !lock->tryLock(0) && lock->error() == QLockFile::LockFailedError) {
            tell(QCoreApplication::translate("Updater", "Für %1 läuft bereits ein Update.").arg(file_), true);
            return kBusy;
        }
        if (!lock || !lock->isLocked())
            warnUnlocked(
                runtime.isEmpty()
                    ? why
                    : QCoreApplication::translate("Updater", "%1 kann nicht angelegt werden").arg(lock->fileName()));

        if (!waitForProgramEnd(request_, file_)) {
            tell(QCoreApplication::translate(
                     "Updater", "Mirovell läuft noch (%1). Bitte das Programm beenden und das Update erneut starten. "
                                "Es wurde nichts geändert.")
                     .arg(file_),
                 true);
            return kStillRunning;
        }
        // the program has ended for the update by now: from here on every failure starts it again
        if (!trustedAddress(QUrl(request_.url, QUrl::StrictMode))) {
            tell(QCoreApplication::translate(
                     "Updater", "Die Adresse %1 wird nicht verwendet: nur HTTPS ist erlaubt. Es wurde nichts geändert.")
                     .arg(request_.url),
                 true);
            return restartOld(kUsage);
        }
        if (!canReplace(file_)) {
            tell(QCoreApplication::translate(
                     "Updater",
                     "Die Programmdatei %1 ist nicht beschreibbar (keine Schreibrechte für Datei oder Ordner). "
                     "Es wurde nichts geändert. Bitte das Update mit den nötigen Rechten ausführen "
                     "oder über die Paketverwaltung aktualisieren.")
                     .arg(file_),
                 true);
            return restartOld(kNotWritable);
        }
        return update();
    }

private:
    int update()
    {
        // the new file is written beside the old one, so the final rename stays on one file system
        const QFileInfo info(file_);
        fresh_ = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".update");
        const download::Result got = download::fetch(request_.url, fresh_, download::kOverwrite, {});
        if (!got.ok()) {
            tell(QCoreApplication::translate("Updater", "Download Fehlgeschlagen / Download failed: %1 (%2). "
                                                        "Das alte Programm bleibt erhalten.")
                     .arg(request_.url, got.message),
                 true);
            return restartOld(kDownloadFailed);
        }
        QTemporaryDir scratch;
        const QString signatureFile = scratch.path() + QStringLiteral("/program.sig");
        download::Options small;
        small.maxBytes = download::kMaxSignatureBytes;
        const download::Result sig =
            download::fetch(request_.url + QStringLiteral(".sig"), signatureFile, download::kOverwrite, small);
        if (!sig.ok()) {
            tell(QCoreApplication::translate(
                     "Updater",
                     "Die Signatur %1.sig konnte nicht geladen werden (%2). Das alte Programm bleibt erhalten.")
                     .arg(request_.url, sig.message),
                 true);
            return restartOld(kDownloadFailed);
        }
        if (!signature::fileSigned(fresh_, signatureFile, trustedKey())) {
            QFile::remove(fresh_);
            tell(QCoreApplication::translate("Updater",
                                             "Die geladene Datei %1 trägt keine gültige Signatur des Herstellers und "
                                             "wurde entfernt. Das alte Programm bleibt erhalten.")
                     .arg(request_.url),
                 true);
            return restartOld(kBadSignature);
        }
        if (download::Sha256Of(fresh_) == download::Sha256Of(file_)) {
            QFile::remove(fresh_);
            tell(QCoreApplication::translate("Updater", "Mirovell ist bereits auf dem neuesten Stand."), false);
            return restartOld(kUpdated);
        }
        return replaceAndStart();
    }

    int replaceAndStart()
    {
        namespace fs = std::filesystem;
        giveExecutableRights(fresh_, QFile::permissions(file_));
        const fs::path target = fs::path(file_.toStdU16String());
        const fs::path fresh = fs::path(fresh_.toStdU16String());
        const fs::path backup = fs::path((file_ + QStringLiteral(".old")).toStdU16String());
        std::error_code ec;
        fs::remove(backup, ec);
        ec.clear();
        fs::create_hard_link(target, backup, ec);
        if (ec) {
            ec.clear();
            fs::copy_file(target, backup, fs::copy_options::overwrite_existing, ec);
        }
        const bool haveBackup = !ec;
        ec.clear();
        fs::rename(fresh, target, ec);  // atomic: the old file or the new one, never half of either
        if (ec) {
            fs::remove(fresh, ec);
            fs::remove(backup, ec);
            tell(QCoreApplication::translate(
                     "Updater", "Die Programmdatei %1 konnte nicht ersetzt werden. Das alte Programm bleibt erhalten.")
                     .arg(file_),
                 true);
            return restartOld(kReplaceFailed);
        }
        if (startProgram(file_)) {
            fs::remove(backup, ec);
            tell(QCoreApplication::translate("Updater", "Mirovell wurde aktualisiert und neu gestartet."), false);
            return kUpdated;
        }
        if (haveBackup) {
            fs::rename(backup, target, ec);
            tell(QCoreApplication::translate(
                     "Updater", "Die neue Version ließ sich nicht starten; die alte wurde wiederhergestellt."),
                 true);
            return restartOld(kStartFailed);
        }
        tell(QCoreApplication::translate("Updater", "Die neue Version ließ sich nicht starten."), true);
        return kStartFailed;
    }

    // The program ended for the update; whatever happened, the user gets it back.
    int restartOld(int code)
    {
        if (!fresh_.isEmpty())
            QFile::remove(fresh_);
        startProgram(file_);
        return code;
    }

    Request request_;
    QString file_;
    QString fresh_;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mirovell-updater"));
    // the same rule as the window: English under an English locale, otherwise the German written here
    QTranslator english;
    if (QLocale::system().language() == QLocale::English && english.load(QStringLiteral(":/i18n/mirovell_en.qm")))
        QCoreApplication::installTranslator(&english);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const std::optional<Request> request = parseCommandLine(args);
    if (!request) {
        std::fputs(qPrintable(QCoreApplication::translate("Updater", "Aufruf: mirovell-updater [URL]<Adresse der "
                                                                     "neuen Version> [PATH]<Programmdatei> "
                                                                     "[[PID]<Prozess>]") +
                              u'\n'),
                   stderr);
        return kUsage;
    }
    g_consoleOnly = request->consoleOnly;
    return Updater(*request).run();
}
