#include "QuendrilCore/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <cstring>

namespace {

const unsigned char* bytes(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char*>(view.data());
}

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
struct MdContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct PKeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using PKey = std::unique_ptr<EVP_PKEY, PKeyDeleter>;

// Fetching once avoids OpenSSL 3's implicit fetch on every initialisation.
const EVP_CIPHER* aes256gcm()
{
    static EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "AES-256-GCM", nullptr);
    return cipher;
}

const EVP_MD* sha256()
{
    static EVP_MD* digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return digest;
}

// One reusable context per thread: sheets are sealed and opened in bursts.
EVP_CIPHER_CTX* cipherContext()
{
    thread_local std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> context(EVP_CIPHER_CTX_new());
    if (context)
        EVP_CIPHER_CTX_reset(context.get());
    return context.get();
}

bool fitsInt(qsizetype size)
{
    return size >= 0 && size <= qsizetype(INT32_MAX - 64);
}

} // namespace

namespace Crypto {

std::optional<QByteArray> randomBytes(qsizetype count)
{
    if (!fitsInt(count))
        return std::nullopt;
    QByteArray result(count, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(result.data()), int(count)) != 1)
        return std::nullopt;
    return result;
}

QByteArray hmacSha256(QByteArrayView key, QByteArrayView message)
{
    QByteArray result(32, Qt::Uninitialized);
    unsigned int length = 0;
    if (!HMAC(sha256(), key.data(), int(key.size()), bytes(message), size_t(message.size()),
              reinterpret_cast<unsigned char*>(result.data()), &length) ||
        length != 32)
        return {};
    return result;
}

std::optional<QByteArray> sealWithNonce(QByteArrayView key, QByteArrayView nonce,
                                        QByteArrayView plaintext, QByteArrayView additionalData)
{
    if (key.size() != keySize || nonce.size() != nonceSize || !fitsInt(plaintext.size()) ||
        !fitsInt(additionalData.size()))
        return std::nullopt;
    EVP_CIPHER_CTX* context = cipherContext();
    if (!context || !aes256gcm())
        return std::nullopt;

    QByteArray box(nonceSize + plaintext.size() + tagSize, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(box.data());
    std::memcpy(out, nonce.data(), nonceSize);
    int length = 0;
    if (EVP_EncryptInit_ex2(context, aes256gcm(), bytes(key), bytes(nonce), nullptr) != 1)
        return std::nullopt;
    if (!additionalData.isEmpty() &&
        EVP_EncryptUpdate(context, nullptr, &length, bytes(additionalData), int(additionalData.size())) != 1)
        return std::nullopt;
    if (EVP_EncryptUpdate(context, out + nonceSize, &length, bytes(plaintext), int(plaintext.size())) != 1)
        return std::nullopt;
    int finalLength = 0;
    if (EVP_EncryptFinal_ex(context, out + nonceSize + length, &finalLength) != 1 ||
        length + finalLength != plaintext.size())
        return std::nullopt;
    if (EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_GCM_GET_TAG, int(tagSize),
                            out + nonceSize + plaintext.size()) != 1)
        return std::nullopt;
    return box;
}

std::optional<QByteArray> seal(QByteArrayView key, QByteArrayView plaintext,
                               QByteArrayView additionalData)
{
    const std::optional<QByteArray> nonce = randomBytes(nonceSize);
    if (!nonce)
        return std::nullopt;
    return sealWithNonce(key, *nonce, plaintext, additionalData);
}

namespace {

// Opens the box's ciphertext into `out`, which may be the ciphertext itself (OpenSSL allows
// exactly that overlap). Whatever was written is wiped when the tag does not match.
bool openInto(QByteArrayView key, const unsigned char* nonce, const unsigned char* ciphertext,
              qsizetype cipherLength, const unsigned char* tag, QByteArrayView additionalData,
              unsigned char* out)
{
    EVP_CIPHER_CTX* context = cipherContext();
    if (!context || !aes256gcm())
        return false;
    int length = 0;
    if (EVP_DecryptInit_ex2(context, aes256gcm(), bytes(key), nonce, nullptr) != 1)
        return false;
    if (!additionalData.isEmpty() &&
        EVP_DecryptUpdate(context, nullptr, &length, bytes(additionalData), int(additionalData.size())) != 1)
        return false;
    if (EVP_DecryptUpdate(context, out, &length, ciphertext, int(cipherLength)) != 1) {
        wipe(out, size_t(cipherLength));
        return false;
    }
    if (EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_GCM_SET_TAG, int(tagSize),
                            const_cast<unsigned char*>(tag)) != 1) {
        wipe(out, size_t(cipherLength));
        return false;
    }
    int finalLength = 0;
    if (EVP_DecryptFinal_ex(context, out + length, &finalLength) != 1) {
        wipe(out, size_t(cipherLength));
        return false;
    }
    return true;
}

bool canOpen(QByteArrayView key, qsizetype combinedSize, QByteArrayView additionalData)
{
    return key.size() == keySize && combinedSize >= nonceSize + tagSize &&
           fitsInt(combinedSize) && fitsInt(additionalData.size());
}

} // namespace

std::optional<QByteArray> open(QByteArrayView key, QByteArrayView combined,
                               QByteArrayView additionalData)
{
    if (!canOpen(key, combined.size(), additionalData))
        return std::nullopt;
    const qsizetype cipherLength = combined.size() - nonceSize - tagSize;
    const unsigned char* in = bytes(combined);
    QByteArray plaintext(cipherLength, Qt::Uninitialized);
    if (!openInto(key, in, in + nonceSize, cipherLength, in + nonceSize + cipherLength,
                  additionalData, reinterpret_cast<unsigned char*>(plaintext.data())))
        return std::nullopt;
    return plaintext;
}

bool openInPlace(QByteArrayView key, char* combined, qsizetype size, QByteArrayView additionalData)
{
    if (!canOpen(key, size, additionalData))
        return false;
    const qsizetype cipherLength = size - nonceSize - tagSize;
    auto* box = reinterpret_cast<unsigned char*>(combined);
    return openInto(key, box, box + nonceSize, cipherLength, box + nonceSize + cipherLength,
                    additionalData, box + nonceSize);
}

struct Sha256::Context {
    std::unique_ptr<EVP_MD_CTX, MdContextDeleter> context{EVP_MD_CTX_new()};
    bool ok = false;
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    m_context->ok = m_context->context &&
                    EVP_DigestInit_ex2(m_context->context.get(), sha256(), nullptr) == 1;
}

Sha256::~Sha256() = default;

void Sha256::update(QByteArrayView part)
{
    if (m_context->ok)
        m_context->ok = EVP_DigestUpdate(m_context->context.get(), part.data(), size_t(part.size())) == 1;
}

QByteArray Sha256::finalize()
{
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int length = 0;
    if (!m_context->ok ||
        EVP_DigestFinal_ex(m_context->context.get(), reinterpret_cast<unsigned char*>(digest.data()),
                           &length) != 1 ||
        length != 32)
        digest.clear();
    m_context->ok = false;
    return digest;
}

QByteArray Sha256::hash(QByteArrayView part)
{
    Sha256 digest;
    digest.update(part);
    return digest.finalize();
}

namespace {
PKey publicEd25519(QByteArrayView publicKey)
{
    if (publicKey.size() != 32)
        return nullptr;
    return PKey(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), 32));
}

PKey privateEd25519(QByteArrayView privateKey)
{
    if (privateKey.size() != 32)
        return nullptr;
    return PKey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, bytes(privateKey), 32));
}

std::optional<QByteArray> rawPublicKey(EVP_PKEY* key)
{
    QByteArray result(32, Qt::Uninitialized);
    size_t length = 32;
    if (EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(result.data()), &length) != 1 ||
        length != 32)
        return std::nullopt;
    return result;
}
} // namespace

bool isValidEd25519PublicKey(QByteArrayView publicKey)
{
    return publicEd25519(publicKey) != nullptr;
}

bool ed25519Verify(QByteArrayView publicKey, QByteArrayView signature, QByteArrayView message)
{
    if (signature.size() != 64)
        return false;
    const PKey key = publicEd25519(publicKey);
    if (!key)
        return false;
    std::unique_ptr<EVP_MD_CTX, MdContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestVerifyInit_ex(context.get(), nullptr, nullptr, nullptr, nullptr,
                                            key.get(), nullptr) != 1)
        return false;
    return EVP_DigestVerify(context.get(), bytes(signature), 64, bytes(message),
                            size_t(message.size())) == 1;
}

std::optional<Ed25519KeyPair> generateEd25519()
{
    const std::optional<QByteArray> seed = randomBytes(32);
    if (!seed)
        return std::nullopt;
    const std::optional<QByteArray> publicKey = ed25519PublicKey(*seed);
    if (!publicKey)
        return std::nullopt;
    return Ed25519KeyPair{*seed, *publicKey};
}

std::optional<QByteArray> ed25519PublicKey(QByteArrayView privateKey)
{
    const PKey key = privateEd25519(privateKey);
    if (!key)
        return std::nullopt;
    return rawPublicKey(key.get());
}

std::optional<QByteArray> ed25519Sign(QByteArrayView privateKey, QByteArrayView message)
{
    const PKey key = privateEd25519(privateKey);
    if (!key)
        return std::nullopt;
    std::unique_ptr<EVP_MD_CTX, MdContextDeleter> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestSignInit_ex(context.get(), nullptr, nullptr, nullptr, nullptr,
                                          key.get(), nullptr) != 1)
        return std::nullopt;
    QByteArray signature(64, Qt::Uninitialized);
    size_t length = 64;
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                       bytes(message), size_t(message.size())) != 1 ||
        length != 64)
        return std::nullopt;
    return signature;
}

void wipe(void* data, size_t size)
{
    if (data && size)
        OPENSSL_cleanse(data, size);
}

void wipe(QByteArray& bytes)
{
    if (!bytes.isEmpty())
        wipe(bytes.data(), size_t(bytes.size()));
}

} // namespace Crypto
