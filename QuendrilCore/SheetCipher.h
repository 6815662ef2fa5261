#pragma once

#include "QuendrilCore/Result.h"
#include "QuendrilCore/SheetCipherError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Seals and opens sheet texts with AES-256-GCM under one 32-byte key; knows nothing of files.
// An encrypted sheet is exactly: header (29 bytes), version byte 1, key identifier (8 bytes),
// then the combined sealed box (12-byte nonce, ciphertext, 16-byte tag); the first 38 bytes are
// the additional authenticated data.
//
//   SheetCipher cipher(*SheetCipher::makeKey());
//   QByteArray file = *cipher.encrypt(u"text");
//   QString text = *cipher.decrypt(file);
class SheetCipher {
public:
    // "QUENDRIL PAD ENCRYPTED SHEET\n", no terminating zero.
    static constexpr QByteArrayView header{"QUENDRIL PAD ENCRYPTED SHEET\n", 29};
    static constexpr qsizetype versionOffset = 29;
    static constexpr qsizetype keyIDLength = 8;
    static constexpr qsizetype prefixLength = header.size() + 1 + keyIDLength; // 38
    static constexpr qsizetype minimumLength = prefixLength + 12 + 16;         // 66

    // Makes a cipher for `key` (meant to be 32 bytes; any other size seals and opens nothing,
    // failing as `damaged`) and computes its key identifier.
    explicit SheetCipher(QByteArray key);

    // The cipher of a recovery key text: white space trimmed from both ends, strict standard
    // Base64 with padding, exactly 32 decoded bytes; anything else gives none.
    [[nodiscard]] static std::optional<SheetCipher> fromRecoveryKey(QStringView recoveryKey);

    // A new random 256-bit key from the system's secure random source; none if that failed.
    [[nodiscard]] static std::optional<QByteArray> makeKey();

    // The 32 key bytes.
    [[nodiscard]] const QByteArray& key() const { return m_key; }
    // The first 8 bytes of HMAC-SHA256(key, "quendril key id"); identifies, never encrypts.
    [[nodiscard]] const QByteArray& keyID() const { return m_keyID; }
    // The key in standard Base64 with padding: 44 characters ending in "=".
    [[nodiscard]] QString recoveryKey() const;

    // True when `data` is at least as long as the header and begins with it; the only test of
    // whether a file is encrypted.
    [[nodiscard]] static bool isEncrypted(QByteArrayView data);
    // Bytes 30 to 37 of an encrypted file at least 38 bytes long, else none.
    [[nodiscard]] static std::optional<QByteArray> keyIDOf(QByteArrayView data);

    // The 38-byte prefix and the sealed box, apart, so that a writer need not join them.
    struct Parts {
        QByteArray prefix;
        QByteArray box;
    };
    // Seals `text` as UTF-8 with a fresh random nonce; `damaged` if the platform refuses.
    [[nodiscard]] Result<Parts, SheetCipherError> encryptedParts(QStringView text) const;
    // The whole file: prefix followed by box.
    [[nodiscard]] Result<QByteArray, SheetCipherError> encrypt(QStringView text) const;
    // Opens a whole file. Checks in order: not encrypted, shorter than 66 bytes or version not 1
    // gives `damaged`; a key identifier other than ours gives `wrongKey`; a box that does not
    // open, or opened bytes that are not UTF-8, give `damaged`.
    [[nodiscard]] Result<QString, SheetCipherError> decrypt(QByteArrayView data) const;
    // The same, opening the file where it lies instead of in a copy; `file` is used up.
    [[nodiscard]] Result<QString, SheetCipherError> decrypt(QByteArray&& file) const;

    bool operator==(const SheetCipher&) const = default;

private:
    // The error of a file that cannot be ours, checked before anything is opened.
    [[nodiscard]] std::optional<SheetCipherError> refusal(QByteArrayView data) const;

    QByteArray m_key;
    QByteArray m_keyID;
};
