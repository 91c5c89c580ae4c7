#include "update/Signature.h"

#include <QFile>
#include <QLibrary>

#include <memory>
#include <openssl/evp.h>

namespace signature {

namespace {

// libcrypto's few functions a check needs, from the library loaded on first use; without it
// (or with one that lacks them) every signature counts as wrong.
struct Crypto {
    decltype(&EVP_PKEY_new_raw_public_key) newRawPublicKey = nullptr;
    decltype(&EVP_PKEY_free) freeKey = nullptr;
    decltype(&EVP_MD_CTX_new) newContext = nullptr;
    decltype(&EVP_MD_CTX_free) freeContext = nullptr;
    decltype(&EVP_DigestVerifyInit) verifyInit = nullptr;
    decltype(&EVP_DigestVerify) verify = nullptr;
    bool loaded() const { return newRawPublicKey && freeKey && newContext && freeContext && verifyInit && verify; }
};

const Crypto& crypto()
{
    static const Crypto c = [] {
        Crypto r;
#ifdef Q_OS_WIN
        QLibrary lib(QStringLiteral("libcrypto-3-x64"));
#else
        QLibrary lib(QStringLiteral("crypto"), 3);
#endif
        if (!lib.load())
            return r;  // kept loaded for the program's life: QLibrary does not unload by itself
        r.newRawPublicKey = reinterpret_cast<decltype(r.newRawPublicKey)>(lib.resolve("EVP_PKEY_new_raw_public_key"));
        r.freeKey = reinterpret_cast<decltype(r.freeKey)>(lib.resolve("EVP_PKEY_free"));
        r.newContext = reinterpret_cast<decltype(r.newContext)>(lib.resolve("EVP_MD_CTX_new"));
        r.freeContext = reinterpret_cast<decltype(r.freeContext)>(lib.resolve("EVP_MD_CTX_free"));
        r.verifyInit = reinterpret_cast<decltype(r.verifyInit)>(lib.resolve("EVP_DigestVerifyInit"));
        r.verify = reinterpret_cast<decltype(r.verify)>(lib.resolve("EVP_DigestVerify"));
        return r;
    }();
    return c;
}

bool validBytes(const unsigned char* message, size_t size, const QByteArray& signature, const QByteArray& publicKey)
{
    if (signature.size() != kSignatureBytes || publicKey.size() != kPublicKeyBytes)
        return false;
    const Crypto& c = crypto();
    if (!c.loaded())
        return false;
    const auto keyFree = [&c](EVP_PKEY* k) { c.freeKey(k); };
    const auto contextFree = [&c](EVP_MD_CTX* x) { c.freeContext(x); };
    const std::unique_ptr<EVP_PKEY, decltype(keyFree)> key(
        c.newRawPublicKey(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(publicKey.constData()),
                          size_t(publicKey.size())),
        keyFree);
    const std::unique_ptr<EVP_MD_CTX, decltype(contextFree)> context(c.newContext(), contextFree);
    if (!key || !context)
        return false;
    // Ed25519 hashes inside the signature scheme: no digest is named, and it takes the whole message at once
    if (c.verifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    static const unsigned char kNothing = 0;
    return c.verify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
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
