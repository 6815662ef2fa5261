#include "QuendrilCore/Crypto.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

struct Vector {
    QByteArray privateKey;
    QByteArray publicKey;
    QByteArray message;
    QByteArray signature;
};

void expectVector(const Vector& v)
{
    EXPECT_EQ(Crypto::ed25519PublicKey(v.privateKey), v.publicKey);
    EXPECT_EQ(Crypto::ed25519Sign(v.privateKey, v.message), v.signature)
        << "Ed25519 is deterministic";
    EXPECT_TRUE(Crypto::ed25519Verify(v.publicKey, v.signature, v.message));
    QByteArray altered = v.message.isEmpty() ? QByteArray(1, '\0') : v.message;
    altered[altered.size() - 1] = char(altered.back() ^ 0x01);
    EXPECT_FALSE(Crypto::ed25519Verify(v.publicKey, v.signature, altered));
    QByteArray badSignature = v.signature;
    badSignature[0] = char(badSignature[0] ^ 0x80);
    EXPECT_FALSE(Crypto::ed25519Verify(v.publicKey, badSignature, v.message));
}

} // namespace

TEST(Ed25519Vectors, Rfc8032)
{
    struct Row {
        const char* name;
        const char* privateKey;
        const char* publicKey;
        const char* message;
        const char* signature;
    };
    const Row rows[] = {
        {"test 1", "9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
         "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
         "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e065224901555fb8821590a33bacc61e3970"
         "1cf9b46bd25bf5f0595bbe24655141438e7a100b"},
        {"test 2", "4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
         "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
         "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da085ac1e43e15996e458f3613"
         "d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
        {"test 3", "c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7",
         "fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
         "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac18ff9b538d16f290ae67f760"
         "984dc6594a7c15e9716ed28dc027beceea1ec40a"},
        {"SHA(abc)", "833fe62409237b9d62ec77587520911e9a759cec1d19755b7da901b96dca3d42",
         "ec172b93ad5e563bf4932c70e1245034c35467ef2efd4d64ebf819683467e2bf",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
         "a3feebbd454d4423643ce80e2a9ac94fa54ca49f",
         "dc2a4459e7369633a52b1bf277839a00201009a3efbf3ecb69bea2186c26b58909351fc9ac90b3ecfdfbc7c6"
         "6431e0303dca179c138ac17ad9bef1177331a704"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        expectVector({QByteArray::fromHex(row.privateKey), QByteArray::fromHex(row.publicKey),
                      QByteArray::fromHex(row.message), QByteArray::fromHex(row.signature)});
    }
}

// The 1,024 cases of the python3-cryptography-vectors package, one a line:
// private||public : public : message : signature||message :
TEST(Ed25519Vectors, CryptographyVectorsPackage)
{
    QFile file(QStringLiteral(
        "/usr/lib/python3/dist-packages/cryptography_vectors/asymmetric/Ed25519/sign.input"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "install python3-cryptography-vectors";
    int count = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.split(':');
        ASSERT_EQ(fields.size(), 5) << count;
        const QByteArray keys = QByteArray::fromHex(fields[0]);
        const QByteArray message = QByteArray::fromHex(fields[2]);
        const QByteArray signedMessage = QByteArray::fromHex(fields[3]);
        ASSERT_EQ(keys.size(), 64);
        ASSERT_EQ(keys.sliced(32), QByteArray::fromHex(fields[1]));
        ASSERT_EQ(signedMessage.sliced(64), message);
        SCOPED_TRACE(count);
        expectVector({keys.first(32), keys.sliced(32), message, signedMessage.first(64)});
        ++count;
    }
    EXPECT_EQ(count, 1024);
}
