#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <optional>

// The cryptography the system uses, all of it OpenSSL's (libcrypto, EVP): secure random bytes,
// HMAC-SHA256, AES-256-GCM with a 96-bit nonce and a 128-bit tag, SHA-256 and Ed25519. Nothing
// here is a cipher of our own; every failure is reported, never retried.
namespace Crypto {

inline constexpr qsizetype keySize = 32;
inline constexpr qsizetype nonceSize = 12;
inline constexpr qsizetype tagSize = 16;

// `count` bytes from the operating system's secure random source, or none if it failed.
[[nodiscard]] std::optional<QByteArray> randomBytes(qsizetype count);

// The 32-byte HMAC-SHA256 of `message` under `key` (RFC 2104 with FIPS 180-4).
[[nodiscard]] QByteArray hmacSha256(QByteArrayView key, QByteArrayView message);

// Seals `plaintext` under a 32-byte key with a fresh random nonce and returns the combined box:
// nonce (12 bytes), ciphertext (as long as the plaintext), tag (16 bytes). None on failure,
// including a key of the wrong size.
[[nodiscard]] std::optional<QByteArray> seal(QByteArrayView key, QByteArrayView plaintext,
                                             QByteArrayView additionalData);

// The same with a given 12-byte nonce; for known-answer tests, never for sheets.
[[nodiscard]] std::optional<QByteArray> sealWithNonce(QByteArrayView key, QByteArrayView nonce,
                                                      QByteArrayView plaintext,
                                                      QByteArrayView additionalData);

// Opens a combined box; none on any mismatch of key, data, nonce, ciphertext or tag, and for a
// box shorter than nonce plus tag.
[[nodiscard]] std::optional<QByteArray> open(QByteArrayView key, QByteArrayView combined,
                                             QByteArrayView additionalData);

// The same, where the box lies: the plaintext is written over the ciphertext, so it starts
// `nonceSize` bytes into `combined`. On false nothing of the plaintext is left there. The
// additional data may sit in the same buffer, outside the box.
[[nodiscard]] bool openInPlace(QByteArrayView key, char* combined, qsizetype size,
                               QByteArrayView additionalData);

// Incremental SHA-256.
//   Crypto::Sha256 digest; digest.update(part1); digest.update(part2); QByteArray d = digest.finalize();
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(QByteArrayView bytes);
    // The 32-byte digest; the object is spent afterwards.
    [[nodiscard]] QByteArray finalize();

    [[nodiscard]] static QByteArray hash(QByteArrayView bytes);

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};

// Whether 32 bytes are a usable Ed25519 public key.
[[nodiscard]] bool isValidEd25519PublicKey(QByteArrayView publicKey);

// True only for a valid Ed25519 signature (RFC 8032) of exactly `message` under `publicKey`;
// false for a malformed key or signature.
[[nodiscard]] bool ed25519Verify(QByteArrayView publicKey, QByteArrayView signature,
                                 QByteArrayView message);

// An Ed25519 key pair as raw bytes (32-byte private seed, 32-byte public key), for the release
// tools and for tests that sign their own updates.
struct Ed25519KeyPair {
    QByteArray privateKey;
    QByteArray publicKey;
};
[[nodiscard]] std::optional<Ed25519KeyPair> generateEd25519();
[[nodiscard]] std::optional<QByteArray> ed25519PublicKey(QByteArrayView privateKey);
[[nodiscard]] std::optional<QByteArray> ed25519Sign(QByteArrayView privateKey, QByteArrayView message);

// Overwrites bytes in a way the compiler cannot drop.
void wipe(QByteArray& bytes);
void wipe(void* data, size_t size);

} // namespace Crypto
