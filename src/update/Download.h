#pragma once

#include "update/MakerKey.h"

#include <QString>
#include <QUrl>

class IEventPump;
class IProgressDialog;

// Fetches one file from a web address into a local path, always fresh from the network.
// The transfer goes into a temporary file beside the target that is renamed only when it is
// complete, so a failed or cancelled download leaves nothing behind.
namespace download {

// the only "what if the target exists" value the program uses
constexpr int kOverwrite = 3;
// invalid address, as the platform download reports it
constexpr int kInvalidAddressCode = int(0x800C0002u);

struct Options {
    int idleTimeoutMs = 30000;            // no byte for this long ends the transfer
    int totalTimeoutMs = 30 * 60 * 1000;  // a trickling server is not waited for forever
    qint64 maxBytes = qint64(512) << 20;  // an endless body stops here
    int maxRedirects = 10;
    IProgressDialog* progress = nullptr;
    QString progressTitle = QStringLiteral("Download");
    // lets the window's pending events run once before the transfer
    IEventPump* events = nullptr;
    // whose Ed25519 signature fetchVerified accepts
    QByteArray trustedKey = makerkey::publicKey();
};

enum class Error {
    None,
    InvalidAddress,
    Destination,  // target folder missing or not writable, target exists and may not be replaced
    Network,
    Http,      // the server answered with an error status
    Redirect,  // refused redirect (another host, HTTPS to HTTP, other scheme, too many)
    Timeout,
    TooLarge,
    Incomplete,  // fewer bytes than announced
    Write,
    Cancelled,
    Signature,  // no published signature, or not a valid one of the file by the trusted key
};

struct Result {
    QString path;  // the file written, empty on failure
    Error error = Error::None;
    int code = 0;     // HTTP status for Error::Http, the network error number otherwise
    QString message;  // for a log or a console, not for the main window; in the user's language
    bool ok() const { return error == Error::None; }
};

Result fetch(const QString& url, const QString& destination, int ifExists, const Options& options);

// As fetch, but the file is put in place only when the signature published beside it at
// url + ".sig" is valid for it under options.trustedKey; the signature is kept beside it as
// destination + ".sig". Until then both lie beside the destination under other names, and a file
// that fails is removed.
Result fetchVerified(const QString& url, const QString& destination, const Options& options);

// The SHA-256 of a file in lower-case hex, "" when it cannot be read.
QByteArray Sha256Of(const QString& path);
// A signature file is read only this far: anything longer is not one.
constexpr qint64 kMaxSignatureBytes = 4096;

// folder + separator (unless it ends in one) + name; an empty folder gives the name alone.
QString CombinePath(const QString& folder, const QString& name);
bool PathExists(const QString& path);

// A redirect is followed only within http/https, only to the same host and never from HTTPS down
// to HTTP.
bool redirectAllowed(const QUrl& from, const QUrl& to);

}  // namespace download
