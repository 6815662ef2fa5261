#include "QuendrilCore/Crypto.h"

#include <gtest/gtest.h>

TEST(Crypto, SealedBoxesOpenOnlyWithTheirKeyAndData)
{
    const QByteArray key = *Crypto::randomBytes(32);
    const QByteArray text = "a sheet of text\n";
    const auto box = Crypto::seal(key, text, "aad");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->size(), Crypto::nonceSize + text.size() + Crypto::tagSize);
    EXPECT_EQ(Crypto::open(key, *box, "aad"), text);

    EXPECT_FALSE(Crypto::open(key, *box, "other"));
    EXPECT_FALSE(Crypto::open(*Crypto::randomBytes(32), *box, "aad"));
    for (const qsizetype at : {qsizetype(0), Crypto::nonceSize, box->size() - 1}) {
        QByteArray tampered = *box;
        tampered[at] = char(tampered[at] ^ 1);
        EXPECT_FALSE(Crypto::open(key, tampered, "aad")) << at;
    }
    EXPECT_FALSE(Crypto::open(key, box->left(27), "aad"));
    EXPECT_FALSE(Crypto::seal(key.left(31), text, {}));
    EXPECT_NE(Crypto::seal(key, text, {}), Crypto::seal(key, text, {})) << "nonces must be fresh";
}

TEST(Crypto, OpeningInPlaceLeavesNoUnauthenticatedText)
{
    const QByteArray key = *Crypto::randomBytes(32);
    const QByteArray text = "a sheet of text that must not leak\n";
    const QByteArray box = *Crypto::seal(key, text, "aad");

    QByteArray opened = box;
    ASSERT_TRUE(Crypto::openInPlace(key, opened.data(), opened.size(), "aad"));
    EXPECT_EQ(opened.sliced(Crypto::nonceSize, text.size()), text);

    const struct {
        const char* name;
        qsizetype flip; // byte of the box to change, or -1
        QByteArray additionalData;
    } rows[] = {
        {"changed tag", box.size() - 1, "aad"},
        {"changed ciphertext", Crypto::nonceSize + 3, "aad"},
        {"other additional data", -1, "other"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QByteArray bytes = box;
        if (row.flip >= 0)
            bytes[row.flip] = char(bytes[row.flip] ^ 1);
        EXPECT_FALSE(Crypto::openInPlace(key, bytes.data(), bytes.size(), row.additionalData));
        // The cipher runs before the tag is checked; what it wrote must not stay behind.
        EXPECT_FALSE(bytes.contains("must not leak"));
    }
    QByteArray tooShort = box.left(27);
    EXPECT_FALSE(Crypto::openInPlace(key, tooShort.data(), tooShort.size(), "aad"));
}

TEST(Crypto, DigestsAndSignatures)
{
    EXPECT_EQ(Crypto::Sha256::hash("abc").toHex(),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    Crypto::Sha256 parts;
    parts.update("a");
    parts.update("bc");
    EXPECT_EQ(parts.finalize(), Crypto::Sha256::hash("abc"));

    // RFC 4231 test case 2.
    EXPECT_EQ(Crypto::hmacSha256("Jefe", "what do ya want for nothing?").toHex(),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");

    const auto pair = Crypto::generateEd25519();
    ASSERT_TRUE(pair);
    const auto signature = Crypto::ed25519Sign(pair->privateKey, "feed");
    ASSERT_TRUE(signature);
    EXPECT_TRUE(Crypto::ed25519Verify(pair->publicKey, *signature, "feed"));
    EXPECT_FALSE(Crypto::ed25519Verify(pair->publicKey, *signature, "feed!"));
    EXPECT_FALSE(Crypto::ed25519Verify(pair->publicKey.left(31), *signature, "feed"));
    EXPECT_FALSE(Crypto::ed25519Verify(pair->publicKey, signature->left(63), "feed"));
}
