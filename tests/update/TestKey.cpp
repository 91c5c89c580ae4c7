#include "TestKey.h"

#include <openssl/evp.h>

struct TestKey::Pair {
    EVP_PKEY* key = nullptr;
    ~Pair() { EVP_PKEY_free(key); }
};

TestKey::TestKey() : pair_(std::make_unique<Pair>())
{
    pair_->key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
}

TestKey::~TestKey() = default;

QByteArray TestKey::publicKey() const
{
    QByteArray raw(32, '\0');
    size_t size = size_t(raw.size());
    if (!pair_->key ||
        EVP_PKEY_get_raw_public_key(pair_->key, reinterpret_cast<unsigned char*>(raw.data()), &size) != 1)
        return {};
    return raw.left(qsizetype(size));
}

QByteArray TestKey::sign(const QByteArray& message) const
{
    QByteArray signature(64, '\0');
    size_t size = size_t(signature.size());
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool ok =
        context && EVP_DigestSignInit(context, nullptr, nullptr, nullptr, pair_->key) == 1 &&
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.constData()), size_t(message.size())) == 1;
    EVP_MD_CTX_free(context);
    return ok ? signature.left(qsizetype(size)) : QByteArray();
}
