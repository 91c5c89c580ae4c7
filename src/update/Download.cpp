#include "update/Download.h"

#include "platform/IEventPump.h"
#include "platform/IProgressDialog.h"
#include "platform/PathHelpers.h"
#include "update/Signature.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>

namespace download {

namespace {

bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

Result failure(Error error, int code, const QString& message)
{
    Result r;
    r.error = error;
    r.code = code;
    r.message = message;
    return r;
}

QString kiloBytes(qint64 bytes)
{
    return QString::number((bytes + 1023) / 1024);
}

// One transfer on the caller's event loop.
class Transfer {
public:
    Transfer(const QUrl& url, QSaveFile& file, const Options& options)
        : url_(url), current_(url), file_(file), options_(options)
    {
    }

    Result run()
    {
        QNetworkAccessManager manager;
        QEventLoop loop;
        QTimer idle;
        idle.setSingleShot(true);
        QTimer total;
        total.setSingleShot(true);
        QObject::connect(&idle, &QTimer::timeout, &loop, [this] {
            stop(Error::Timeout, 0,
                 QCoreApplication::translate("Download", "Zeitüberschreitung: %1 ms ohne Daten")
                     .arg(options_.idleTimeoutMs));
        });
        QObject::connect(&total, &QTimer::timeout, &loop, [this] {
            stop(Error::Timeout, 0,
                 QCoreApplication::translate("Download", "Zeitüberschreitung: Download dauert zu lange"));
        });
        if (options_.progress) {
            // the dialog may say so from inside progress(): abort once we are back in the loop
            QObject::connect(options_.progress, &IProgressDialog::canceled, &loop, [this, &loop] {
                QTimer::singleShot(0, &loop, [this] {
                    stop(Error::Cancelled, 0, QCoreApplication::translate("Download", "abgebrochen"));
                });
            });
            options_.progress->begin(options_.progressTitle, url_.fileName());
        }
        total.start(options_.totalTimeoutMs);

        // Redirects are followed here rather than inside Qt, so that every hop is checked and counted.
        for (;;) {
            reply_ = manager.get(requestFor(current_));
            QObject::connect(reply_, &QNetworkReply::metaDataChanged, reply_, [this] {
                const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
                if (status() < 300 && length.isValid() && length.toLongLong() > options_.maxBytes)
                    stop(Error::TooLarge, 0,
                         QCoreApplication::translate("Download", "Datei zu groß (%1 Bytes)").arg(length.toLongLong()));
            });
            QObject::connect(reply_, &QNetworkReply::readyRead, reply_, [this, &idle] {
                idle.start();
                store();
            });
            QObject::connect(reply_, &QNetworkReply::finished, &loop, &QEventLoop::quit);
            idle.start(options_.idleTimeoutMs);
            if (!reply_->isFinished())
                loop.exec();
            if (reason_ == Error::None)
                store();  // whatever is left in the buffer
            if (!followRedirect())
                break;
            reply_->deleteLater();
        }
        idle.stop();
        total.stop();
        if (options_.progress)
            options_.progress->end();

        Result result = judge();
        reply_->deleteLater();
        reply_ = nullptr;
        return result;
    }

private:
    static QNetworkRequest requestFor(const QUrl& url)
    {
        QNetworkRequest request(url);
        // always from the network: no cached copy is read, nothing is stored, proxies revalidate
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mirovell"));
        return request;
    }

    int status() const { return reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); }

    // true when the answer was a redirect that may be followed; current_ then is its target
    bool followRedirect()
    {
        const int code = status();
        if (reason_ != Error::None || reply_->error() != QNetworkReply::NoError ||
            !(code == 301 || code == 302 || code == 303 || code == 307 || code == 308))
            return false;
        const QUrl location = reply_->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (location.isEmpty())
            return false;
        const QUrl target = current_.resolved(location);
        if (++redirects_ > options_.maxRedirects) {
            reason_ = Error::Redirect;
            message_ = QCoreApplication::translate("Download", "zu viele Weiterleitungen");
            return false;
        }
        if (!redirectAllowed(current_, target)) {
            reason_ = Error::Redirect;
            message_ = QCoreApplication::translate("Download", "Weiterleitung abgelehnt: %1 -> %2")
                           .arg(current_.toString(), target.toString());
            return false;
        }
        current_ = target;
        return true;
    }

    void stop(Error reason, int code, const QString& message)
    {
        if (reason_ != Error::None || !reply_ || reply_->isFinished())
            return;
        reason_ = reason;
        code_ = code;
        message_ = message;
        reply_->abort();
    }

    void store()
    {
        if (reason_ != Error::None)
            return;
        // redirect bodies and error pages are not the file
        if (status() >= 300) {
            reply_->readAll();
            return;
        }
        const QByteArray chunk = reply_->readAll();
        written_ += chunk.size();
        if (written_ > options_.maxBytes) {
            stop(Error::TooLarge, 0,
                 QCoreApplication::translate("Download", "Datei zu groß (mehr als %1 Bytes)").arg(options_.maxBytes));
            return;
        }
        if (file_.write(chunk) != chunk.size()) {
            stop(Error::Write, 0,
                 QCoreApplication::translate("Download", "Schreibfehler: %1").arg(file_.errorString()));
            return;
        }
        // Qt's own progress signal is throttled and may come only at the end; report every chunk
        if (options_.progress && !chunk.isEmpty()) {
            const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
            options_.progress->progress(written_, length.isValid() ? length.toLongLong() : -1);
        }
    }

    Result judge()
    {
        if (reason_ != Error::None)
            return failure(reason_, code_, message_);
        const int code = status();
        if (code >= 400)
            return failure(Error::Http, code,
                           QCoreApplication::translate("Download", "Server antwortet %1 %2")
                               .arg(code)
                               .arg(reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
        if (reply_->error() != QNetworkReply::NoError)
            return failure(Error::Network, int(reply_->error()), reply_->errorString());
        if (code < 200 || code >= 300)
            return failure(Error::Http, code,
                           QCoreApplication::translate("Download", "unerwartete Antwort %1").arg(code));
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() != written_)
            return failure(Error::Incomplete, 0,
                           QCoreApplication::translate("Download", "unvollständig: %1 von %2 Bytes")
                               .arg(written_)
                               .arg(length.toLongLong()));
        if (!file_.commit())
            return failure(Error::Write, 0,
                           QCoreApplication::translate("Download", "Schreibfehler: %1").arg(file_.errorString()));
        Result ok;
        ok.path = file_.fileName();
        ok.message = QCoreApplication::translate("Download", "%1 kB geladen").arg(kiloBytes(written_));
        return ok;
    }

    QUrl url_;
    QUrl current_;
    QSaveFile& file_;
    const Options& options_;
    QNetworkReply* reply_ = nullptr;
    qint64 written_ = 0;
    int redirects_ = 0;
    Error reason_ = Error::None;
    int code_ = 0;
    QString message_;
};

}  // namespace

Result fetch(const QString& urlText, const QString& destinationText, int ifExists, const Options& options)
{
    const QString address = paths::StripQuotes(urlText);
    const QString destination = paths::StripQuotes(destinationText);

    QString target = destination;
    if (PathExists(destination) && QFileInfo(destination).isDir()) {
        if (!address.contains(u'/'))
            return failure(Error::InvalidAddress, kInvalidAddressCode,
                           QCoreApplication::translate("Download", "ungültige Adresse: %1").arg(address));
        QString name = address.mid(address.lastIndexOf(u'/') + 1);
        // a query or fragment is not part of the file name
        name = name.left(name.indexOf(u'?')).left(name.indexOf(u'#'));
        if (name.isEmpty())
            return failure(Error::InvalidAddress, kInvalidAddressCode,
                           QCoreApplication::translate("Download", "kein Dateiname in %1").arg(address));
        target = CombinePath(destination, name);
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!isWebAddress(url))
        return failure(Error::InvalidAddress, kInvalidAddressCode,
                       QCoreApplication::translate("Download", "ungültige Adresse: %1").arg(address));
    if (target.isEmpty())
        return failure(Error::Destination, 0, QCoreApplication::translate("Download", "kein Ziel angegeben"));
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        return failure(Error::Destination, 0,
                       QCoreApplication::translate("Download", "Ziel ist ein Ordner: %1").arg(target));
    if (targetInfo.exists() && ifExists != kOverwrite)
        return failure(Error::Destination, 0,
                       QCoreApplication::translate("Download", "Ziel existiert schon: %1").arg(target));

    if (options.events)
        options.events->processPendingEvents();

    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return failure(Error::Destination, 0, QStringLiteral("%1: %2").arg(target, file.errorString()));
    Transfer transfer(url, file, options);
    Result result = transfer.run();
    if (!result.ok())
        file.cancelWriting();
    return result;
}

Result fetchVerified(const QString& url, const QString& destination, const Options& options)
{
    const QString address = paths::StripQuotes(url);
    const QFileInfo target(paths::StripQuotes(destination));
    const QString hidden = target.absolutePath() + QStringLiteral("/.") + target.fileName();
    const QString unverified = hidden + QStringLiteral(".unverified");
    const QString unverifiedSignature = hidden + QStringLiteral(".sig.unverified");
    Result got = fetch(address, unverified, kOverwrite, options);
    if (!got.ok())
        return got;
    Options small = options;
    small.maxBytes = kMaxSignatureBytes;
    small.progress = nullptr;
    small.events = nullptr;
    const Result sig = fetch(address + QStringLiteral(".sig"), unverifiedSignature, kOverwrite, small);
    if (!sig.ok()) {
        QFile::remove(unverified);
        return failure(Error::Signature, sig.code,
                       QCoreApplication::translate("Download", "keine Signatur: %1").arg(sig.message));
    }
    if (!signature::fileSigned(unverified, unverifiedSignature, options.trustedKey)) {
        QFile::remove(unverified);
        QFile::remove(unverifiedSignature);
        return failure(
            Error::Signature, 0,
            QCoreApplication::translate("Download", "Signatur ungültig: %1 stammt nicht vom Hersteller").arg(address));
    }
    // one rename over the old file: it stays until the checked one takes its place
    const QString placedSignature = signature::signatureFileOf(target.filePath());
    std::error_code renamed;
    std::filesystem::rename(QFileInfo(unverifiedSignature).filesystemFilePath(),
                            QFileInfo(placedSignature).filesystemFilePath(), renamed);
    if (!renamed)
        std::filesystem::rename(QFileInfo(unverified).filesystemFilePath(), target.filesystemFilePath(), renamed);
    if (renamed) {
        QFile::remove(unverified);
        QFile::remove(unverifiedSignature);
        return failure(
            Error::Write, 0,
            QCoreApplication::translate("Download", "kann nicht umbenannt werden: %1").arg(target.filePath()));
    }
    got.path = target.filePath();
    return got;
}

QByteArray Sha256Of(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex();
}

QString CombinePath(const QString& folder, const QString& name)
{
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'\\') || folder.endsWith(u'/'))
        return folder + name;
    // keep the separator the folder already uses
    const QChar separator = folder.contains(u'/') ? u'/' : folder.contains(u'\\') ? u'\\' : QDir::separator();
    return folder + separator + name;
}

bool PathExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool redirectAllowed(const QUrl& from, const QUrl& to)
{
    if (!isWebAddress(to) || to.host().compare(from.host(), Qt::CaseInsensitive) != 0)
        return false;
    return !(from.scheme().compare(u"https", Qt::CaseInsensitive) == 0 &&
             to.scheme().compare(u"http", Qt::CaseInsensitive) == 0);
}

}  // namespace download
