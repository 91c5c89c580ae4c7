#pragma once

#include <QByteArray>

#include <memory>

// An Ed25519 key pair of the test's own, made fresh for each run: the maker's key never signs
// anything a test serves.
class TestKey {
public:
    TestKey();
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    QByteArray publicKey() const;                      // the 32 raw bytes
    QByteArray sign(const QByteArray& message) const;  // the 64 raw bytes

private:
    struct Pair;
    std::unique_ptr<Pair> pair_;
};
