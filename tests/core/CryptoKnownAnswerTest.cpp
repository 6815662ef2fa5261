#include "QuendrilCore/Crypto.h"

#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

// Known answers from suites written elsewhere: NIST's CAVP AES-GCM vectors and RFC 4231's
// HMAC-SHA256 cases, as shipped by Debian's python3-cryptography-vectors, read at test time.

namespace {

const QString vectors = u"/usr/lib/python3/dist-packages/cryptography_vectors"_qs;

// One "Name = value" record; a bare word line (FAIL) is kept as a key with an empty value. The
// bracketed section headers ("[Taglen = 128]") are folded into every record below them.
using Record = QMap<QByteArray, QByteArray>;

QList<Record> parseRecords(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString() << " (install python3-cryptography-vectors)";
    QList<Record> records;
    Record section;
    Record current;
    auto flush = [&] {
        if (!current.isEmpty()) {
            Record merged = section;
            for (auto it = current.cbegin(); it != current.cend(); ++it)
                merged[it.key()] = it.value();
            records.append(merged);
        }
        current.clear();
    };
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('#'))
            continue;
        if (line.isEmpty()) {
            flush();
            continue;
        }
        if (line.startsWith('[') && line.endsWith(']')) {
            flush();
            const QByteArray inner = line.mid(1, line.size() - 2);
            const qsizetype equals = inner.indexOf('=');
            if (equals > 0)
                section[inner.left(equals).trimmed()] = inner.mid(equals + 1).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            current[line] = QByteArray();
        else
            current[line.left(equals).trimmed()] = line.mid(equals + 1).trimmed();
    }
    flush();
    return records;
}

QByteArray hex(const Record& record, const char* name)
{
    return QByteArray::fromHex(record.value(name));
}

} // namespace

TEST(CryptoKnownAnswers, AesGcmEncryptWithNinetySixBitNonces)
{
    int checked = 0;
    for (const Record& record : parseRecords(vectors + u"/ciphers/AES/GCM/gcmEncryptExtIV256.rsp")) {
        if (record.value("IVlen") != "96" || !record.contains("Key"))
            continue;
        SCOPED_TRACE(record.value("Count").toStdString() + " of Taglen " + record.value("Taglen").toStdString() +
                     ", PTlen " + record.value("PTlen").toStdString() + ", AADlen " +
                     record.value("AADlen").toStdString());
        const QByteArray iv = hex(record, "IV");
        const QByteArray ct = hex(record, "CT");
        const QByteArray tag = hex(record, "Tag");
        const std::optional<QByteArray> box =
            Crypto::sealWithNonce(hex(record, "Key"), iv, hex(record, "PT"), hex(record, "AAD"));
        ASSERT_TRUE(box);
        ASSERT_EQ(box->size(), Crypto::nonceSize + ct.size() + Crypto::tagSize);
        EXPECT_EQ(box->left(Crypto::nonceSize), iv);
        EXPECT_EQ(box->mid(Crypto::nonceSize, ct.size()).toHex(), ct.toHex());
        // Shorter tags are the full tag cut short.
        EXPECT_EQ(box->right(Crypto::tagSize).left(tag.size()).toHex(), tag.toHex());
        ++checked;
    }
    EXPECT_GT(checked, 500);
}

TEST(CryptoKnownAnswers, AesGcmDecryptWithNinetySixBitNoncesAndFullTags)
{
    int opened = 0;
    int refused = 0;
    for (const Record& record : parseRecords(vectors + u"/ciphers/AES/GCM/gcmDecrypt256.rsp")) {
        if (record.value("IVlen") != "96" || record.value("Taglen") != "128" || !record.contains("Key"))
            continue;
        SCOPED_TRACE(record.value("Count").toStdString() + ", PTlen " + record.value("PTlen").toStdString() +
                     ", AADlen " + record.value("AADlen").toStdString());
        const QByteArray combined = hex(record, "IV") + hex(record, "CT") + hex(record, "Tag");
        const std::optional<QByteArray> plain = Crypto::open(hex(record, "Key"), combined, hex(record, "AAD"));
        if (record.contains("FAIL")) {
            EXPECT_FALSE(plain);
            ++refused;
        } else {
            ASSERT_TRUE(plain);
            EXPECT_EQ(plain->toHex(), hex(record, "PT").toHex());
            ++opened;
        }
    }
    EXPECT_GT(opened, 50);
    EXPECT_GT(refused, 20);
}

TEST(CryptoKnownAnswers, HmacSha256FromRfc4231)
{
    int checked = 0;
    for (const Record& record : parseRecords(vectors + u"/HMAC/rfc-4231-sha256.txt")) {
        if (!record.contains("MD"))
            continue;
        SCOPED_TRACE(record.value("Key").left(16).toStdString());
        EXPECT_EQ(Crypto::hmacSha256(hex(record, "Key"), hex(record, "Msg")).toHex(), record.value("MD"));
        ++checked;
    }
    EXPECT_EQ(checked, 6);
}
