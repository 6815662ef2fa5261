#include "QuendrilCore/SheetCipher.h"

#include "QuendrilCore/Crypto.h"
#include "QuendrilCore/SheetText.h"

namespace {

constexpr char formatVersion = 1;

QByteArray computeKeyID(const QByteArray& key)
{
    return Crypto::hmacSha256(key, QByteArrayView("quendril key id", 15))
        .left(SheetCipher::keyIDLength);
}

bool isBase64Letter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
           c == u'+' || c == u'/';
}

// Standard alphabet, length a multiple of four, "=" only as the last one or two characters.
bool isStrictBase64(QStringView text)
{
    if (text.isEmpty() || text.size() % 4 != 0)
        return false;
    qsizetype letters = text.size();
    while (letters > 0 && text[letters - 1] == u'=' && text.size() - letters < 2)
        --letters;
    for (qsizetype i = 0; i < letters; ++i) {
        if (!isBase64Letter(text[i].unicode()))
            return false;
    }
    return true;
}

} // namespace

SheetCipher::SheetCipher(QByteArray key)
    : m_key(std::move(key))
    , m_keyID(computeKeyID(m_key))
{
}

std::optional<SheetCipher> SheetCipher::fromRecoveryKey(QStringView recoveryKey)
{
    const QStringView text = recoveryKey.trimmed();
    if (!isStrictBase64(text))
        return std::nullopt;
    const QByteArray key = QByteArray::fromBase64(text.toLatin1());
    if (key.size() != Crypto::keySize)
        return std::nullopt;
    return SheetCipher(key);
}

std::optional<QByteArray> SheetCipher::makeKey()
{
    return Crypto::randomBytes(Crypto::keySize);
}

QString SheetCipher::recoveryKey() const
{
    return QString::fromLatin1(m_key.toBase64());
}

bool SheetCipher::isEncrypted(QByteArrayView data)
{
    return data.size() >= header.size() && data.first(header.size()) == header;
}

std::optional<QByteArray> SheetCipher::keyIDOf(QByteArrayView data)
{
    if (!isEncrypted(data) || data.size() < prefixLength)
        return std::nullopt;
    return data.sliced(versionOffset + 1, keyIDLength).toByteArray();
}

Result<SheetCipher::Parts, SheetCipherError> SheetCipher::encryptedParts(QStringView text) const
{
    Parts parts;
    parts.prefix.reserve(prefixLength);
    parts.prefix.append(header.data(), header.size());
    parts.prefix.append(formatVersion);
    parts.prefix.append(m_keyID);
    if (parts.prefix.size() != prefixLength)
        return unexpected(SheetCipherError::damaged);
    QByteArray plain = text.toUtf8();
    std::optional<QByteArray> box = Crypto::seal(m_key, plain, parts.prefix);
    Crypto::wipe(plain);
    if (!box)
        return unexpected(SheetCipherError::damaged);
    parts.box = std::move(*box);
    return parts;
}

Result<QByteArray, SheetCipherError> SheetCipher::encrypt(QStringView text) const
{
    Result<Parts, SheetCipherError> parts = encryptedParts(text);
    if (!parts)
        return unexpected(parts.error());
    return QByteArray(parts->prefix + parts->box);
}

std::optional<SheetCipherError> SheetCipher::refusal(QByteArrayView data) const
{
    if (!isEncrypted(data) || data.size() < minimumLength || data[versionOffset] != formatVersion)
        return SheetCipherError::damaged;
    if (m_keyID.size() != keyIDLength || data.sliced(versionOffset + 1, keyIDLength) != m_keyID)
        return SheetCipherError::wrongKey;
    return std::nullopt;
}

Result<QString, SheetCipherError> SheetCipher::decrypt(QByteArrayView data) const
{
    // Refused before the copy, so that a sheet that is not ours costs nothing.
    if (const std::optional<SheetCipherError> error = refusal(data))
        return unexpected(*error);
    return decrypt(data.toByteArray());
}

Result<QString, SheetCipherError> SheetCipher::decrypt(QByteArray&& file) const
{
    if (const std::optional<SheetCipherError> error = refusal(file))
        return unexpected(*error);
    char* const box = file.data() + prefixLength;
    const qsizetype boxSize = file.size() - prefixLength;
    if (!Crypto::openInPlace(m_key, box, boxSize, QByteArrayView(file.constData(), prefixLength)))
        return unexpected(SheetCipherError::damaged);
    std::optional<QString> text = SheetText::strictUTF8(
        QByteArrayView(box + Crypto::nonceSize, boxSize - Crypto::nonceSize - Crypto::tagSize));
    if (!text)
        return unexpected(SheetCipherError::damaged);
    return std::move(*text);
}
