#pragma once

#include <QByteArray>

// The maker's Ed25519 public key: a program or updater fetched for an update runs only when its
// ".sig" was made with the matching private key, which never enters this repository
// (scripts/sign-release.sh signs a release with it).
namespace makerkey {

inline constexpr unsigned char kPublicKey[32] = {
    0x81, 0xff, 0xe7, 0xeb, 0x81, 0xa8, 0x34, 0x87, 0x68, 0xc9, 0xc4, 0x56, 0xb4, 0x90, 0xa0, 0x75,
    0xac, 0x54, 0x08, 0x08, 0xe5, 0x0a, 0x39, 0x58, 0x11, 0x6f, 0x30, 0x64, 0xb9, 0xba, 0x0d, 0x7d,
};

inline QByteArray publicKey()
{
    return QByteArray::fromRawData(reinterpret_cast<const char*>(kPublicKey), sizeof kPublicKey);
}

}  // namespace makerkey
