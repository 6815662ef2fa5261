#include "QuendrilCore/Crypto.h"
#include "QuendrilCore/SheetCipher.h"
#include "QuendrilCore/SheetEncryption.h"

#include <gtest/gtest.h>

namespace {

SheetCipher newCipher()
{
    const std::optional<QByteArray> key = SheetCipher::makeKey();
    EXPECT_TRUE(key);
    return SheetCipher(key.value_or(QByteArray(32, 'k')));
}

QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x01);
    return bytes;
}

} // namespace

TEST(SheetCipher, LayoutOfASealedSheet)
{
    const SheetCipher cipher = newCipher();
    const QString text = QStringLiteral("Grüße 🙂\n");
    const QByteArray file = *cipher.encrypt(text);
    const QByteArray utf8 = text.toUtf8();

    ASSERT_EQ(file.size(), 66 + utf8.size());
    EXPECT_EQ(file.left(29), QByteArray("QUENDRIL PAD ENCRYPTED SHEET\n"));
    EXPECT_EQ(file[29], 1);
    EXPECT_EQ(file.mid(30, 8), cipher.keyID());
    EXPECT_EQ(cipher.keyID(), Crypto::hmacSha256(cipher.key(), "quendril key id").left(8));
    // The box is the plain combined AES-GCM box with the first 38 bytes as additional data.
    EXPECT_EQ(Crypto::open(cipher.key(), file.mid(38), file.left(38)), utf8);
    EXPECT_EQ(*cipher.decrypt(file), text);
    // Opening a copy where it lies must leave the bytes it shares with `file` alone.
    EXPECT_EQ(*cipher.decrypt(QByteArray(file)), text);
    EXPECT_EQ(*cipher.decrypt(file), text);

    const SheetCipher::Parts parts = *cipher.encryptedParts(text);
    EXPECT_EQ(parts.prefix, file.left(38));
    EXPECT_EQ(parts.box.size(), 12 + utf8.size() + 16);
}

TEST(SheetCipher, EmptyAndRepeatedTexts)
{
    const SheetCipher cipher = newCipher();
    const QByteArray empty = *cipher.encrypt(QString());
    EXPECT_EQ(empty.size(), SheetCipher::minimumLength);
    EXPECT_EQ(cipher.decrypt(empty).value(), QString());

    const QByteArray first = *cipher.encrypt(u"same");
    const QByteArray second = *cipher.encrypt(u"same");
    EXPECT_NE(first, second) << "every seal draws a new nonce";
    EXPECT_EQ(*cipher.decrypt(first), u"same");
    EXPECT_EQ(*cipher.decrypt(second), u"same");

    // A leading byte-order mark is text like any other.
    const QString bom = QString(QChar(0xFEFF)) + u"x";
    EXPECT_EQ(*cipher.decrypt(*cipher.encrypt(bom)), bom);
}

TEST(SheetCipher, BadFilesFailInTheDocumentedOrder)
{
    const SheetCipher cipher = newCipher();
    const SheetCipher other = newCipher();
    const QByteArray file = *cipher.encrypt(u"some text");
    const QByteArray header = SheetCipher::header.toByteArray();

    // Sealing invalid UTF-8 is only possible below the cipher, with the same prefix.
    const QByteArray badUtf8 =
        file.left(38) + *Crypto::seal(cipher.key(), "\xff\xfe", file.left(38));

    const struct {
        const char* name;
        QByteArray data;
        SheetCipherError expected;
    } rows[] = {
        {"empty", {}, SheetCipherError::damaged},
        {"plain text", "hello", SheetCipherError::damaged},
        {"header only", header, SheetCipherError::damaged},
        {"65 bytes", file.left(65), SheetCipherError::damaged},
        {"truncated by one", file.chopped(1), SheetCipherError::damaged},
        {"changed header", flipped(file, 3), SheetCipherError::damaged},
        {"version 2",
         [&] {
             QByteArray b = file;
             b[29] = 2;
             return b;
         }(),
         SheetCipherError::damaged},
        {"version 2 and foreign key",
         [&] {
             QByteArray b = *other.encrypt(u"x");
             b[29] = 2;
             return b;
         }(),
         SheetCipherError::damaged},
        {"changed key identifier", flipped(file, 33), SheetCipherError::wrongKey},
        {"sealed by another key", *other.encrypt(u"some text"), SheetCipherError::wrongKey},
        {"short file of another key", other.encrypt(u"").value().left(66),
         SheetCipherError::wrongKey},
        {"changed nonce", flipped(file, 40), SheetCipherError::damaged},
        {"changed ciphertext", flipped(file, 52), SheetCipherError::damaged},
        {"changed tag", flipped(file, file.size() - 1), SheetCipherError::damaged},
        {"extra byte", file + 'x', SheetCipherError::damaged},
        {"not UTF-8 inside", badUtf8, SheetCipherError::damaged},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Result<QString, SheetCipherError> result = cipher.decrypt(row.data);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), row.expected);
        const Result<QString, SheetCipherError> inPlace = cipher.decrypt(QByteArray(row.data));
        ASSERT_FALSE(inPlace);
        EXPECT_EQ(inPlace.error(), row.expected);
    }
}

TEST(SheetCipher, EncryptedTestAndKeyIdentifierOfData)
{
    const QByteArray header = SheetCipher::header.toByteArray();
    EXPECT_TRUE(SheetCipher::isEncrypted(header));
    EXPECT_TRUE(SheetCipher::isEncrypted(QByteArray(header + "plain text after the header")));
    EXPECT_FALSE(SheetCipher::isEncrypted(header.chopped(1)));
    EXPECT_FALSE(SheetCipher::isEncrypted(QByteArray("quendril pad encrypted sheet\n")));

    EXPECT_FALSE(SheetCipher::keyIDOf(QByteArray(header + "123456")));
    EXPECT_EQ(SheetCipher::keyIDOf(QByteArray(header + "v12345678")), QByteArray("12345678"));
    EXPECT_FALSE(SheetCipher::keyIDOf(QByteArray(40, 'a')));
}

TEST(SheetCipher, RecoveryKeyText)
{
    const SheetCipher cipher = newCipher();
    const QString text = cipher.recoveryKey();
    ASSERT_EQ(text.size(), 44);
    EXPECT_TRUE(text.endsWith(u'='));
    const std::optional<SheetCipher> back = SheetCipher::fromRecoveryKey(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->key(), cipher.key());
    EXPECT_EQ(back->keyID(), cipher.keyID());

    const QString b31 = QString::fromLatin1(QByteArray(31, 'a').toBase64());
    const QString b33 = QString::fromLatin1(QByteArray(33, 'a').toBase64());
    ASSERT_EQ(b33.size(), 44);
    const struct {
        const char* name;
        QString text;
        bool accepted;
    } rows[] = {
        {"as shown", text, true},
        {"spaces around", u"  " + text + u"  ", true},
        {"final line break", text + u"\n", true},
        {"tabs and CRLF", u"\t" + text + u"\r\n", true},
        {"43 characters", text.left(43), false},
        {"no padding", text.left(43) + u"A", false},
        {"space inside", text.left(20) + u" " + text.mid(21), false},
        {"line break inside", text.left(20) + u"\n" + text.mid(20), false},
        {"URL-safe alphabet", QString(text).replace(u'+', u'-').replace(u'/', u'_'), false},
        {"31 bytes", b31, false},
        {"33 bytes", b33, false},
        {"empty", QString(), false},
        {"padding in the middle", text.left(20) + u"=" + text.mid(21), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.text == text && !row.accepted)
            continue; // this key has neither '+' nor '/', so the URL-safe row is the same text
        const std::optional<SheetCipher> parsed = SheetCipher::fromRecoveryKey(row.text);
        EXPECT_EQ(parsed.has_value(), row.accepted);
        if (parsed) {
            EXPECT_EQ(parsed->key(), cipher.key());
        }
    }
}

TEST(SheetCipher, KnownKeyGivesKnownIdentifier)
{
    // Key bytes 0, 1, ..., 31; identifier computed independently with Python's hmac module.
    QByteArray key;
    for (int i = 0; i < 32; ++i)
        key.append(char(i));
    const SheetCipher cipher(key);
    EXPECT_EQ(cipher.recoveryKey(), u"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8=");
    EXPECT_EQ(cipher.keyID().toHex(), "c3254675840cda78");
}

TEST(SheetEncryption, States)
{
    const SheetCipher cipher = newCipher();
    const SheetEncryption on = SheetEncryption::on(cipher);
    EXPECT_TRUE(on.isOn());
    ASSERT_NE(on.cipher(), nullptr);
    EXPECT_EQ(*on.cipher(), cipher);
    EXPECT_EQ(SheetEncryption::off().cipher(), nullptr);
    EXPECT_TRUE(SheetEncryption::locked().isLocked());
    EXPECT_NE(SheetEncryption::off(), SheetEncryption::locked());
    EXPECT_NE(on, SheetEncryption::on(newCipher()));
    EXPECT_EQ(on, SheetEncryption::on(cipher));
}
