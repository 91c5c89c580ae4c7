#pragma once

#include <QByteArray>
#include <QString>

// Ed25519 signatures as a release publishes them: "<file>.sig" beside each file, holding the 64
// raw bytes of the signature over the whole file. Checked with OpenSSL, nothing of our own.
namespace signature {

constexpr qint64 kSignatureBytes = 64;
constexpr qint64 kPublicKeyBytes = 32;

// Whether signature is a valid Ed25519 signature of message under the 32-byte publicKey.
bool valid(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey);

// Whether signatureFile holds a valid signature of file under publicKey; a missing, short or
// long signature file is not.
bool fileSigned(const QString& file, const QString& signatureFile, const QByteArray& publicKey);

// Where the signature of a file lies: beside it, with ".sig" appended.
inline QString signatureFileOf(const QString& file)
{
    return file + QStringLiteral(".sig");
}

}  // namespace signature
