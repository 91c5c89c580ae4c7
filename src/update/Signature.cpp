#include "update/Signature.h"

#include <QFile>

#include <memory>
#include <openssl/evp.h>

namespace signature {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

bool validBytes(const unsigned char* message, size_t size, const QByteArray& signature, const QByteArray& publicKey)
{
    if (signature.size() != kSignatureBytes || publicKey.size() != kPublicKeyBytes)
        return false;
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.constData()),
        size_t(publicKey.size())));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!key || !context)
        return false;
    // Ed25519 hashes inside the signature scheme: no digest is named, and it takes the whole message at once
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    static const unsigned char kNothing = 0;
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                            size_t(signature.size()), size ? message : &kNothing, size) == 1;
}

}  // namespace

bool valid(const QByteArray& message, const QByteArray& signature, const QByteArray& publicKey)
{
    return validBytes(reinterpret_cast<const unsigned char*>(message.constData()), size_t(message.size()), signature,
                      publicKey);
}

bool fileSigned(const QString& file, const QString& signatureFile, const QByteArray& publicKey)
{
    QFile sig(signatureFile);
    if (!sig.open(QIODevice::ReadOnly) || sig.size() != kSignatureBytes)
        return false;
    const QByteArray signature = sig.read(kSignatureBytes + 1);
    QFile data(file);
    if (!data.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = data.size();
    if (size == 0)
        return validBytes(nullptr, 0, signature, publicKey);
    // mapped rather than read: a program of many megabytes is not copied into memory
    const uchar* mapped = data.map(0, size);
    if (mapped)
        return validBytes(mapped, size_t(size), signature, publicKey);
    const QByteArray whole = data.readAll();
    return whole.size() == size && valid(whole, signature, publicKey);
}

}  // namespace signature
