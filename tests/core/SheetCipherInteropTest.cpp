#include "QuendrilCore/SheetStore.h"

#include "TempDir.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

// The encrypted sheet format against an independent implementation: Python's cryptography
// package (Debian's python3-cryptography, run with the system interpreter).

namespace {

const char* const sealScript = R"(
import hmac, hashlib, os, sys
from cryptography.hazmat.primitives.ciphers.aead import AESGCM
key, path, text = bytes.fromhex(sys.argv[1]), sys.argv[2], sys.argv[3].encode("utf-8")
key_id = hmac.new(key, b"quendril key id", hashlib.sha256).digest()[:8]
prefix = b"QUENDRIL PAD ENCRYPTED SHEET\n" + bytes([1]) + key_id
nonce = os.urandom(12)
with open(path, "wb") as f:
    f.write(prefix + nonce + AESGCM(key).encrypt(nonce, text, prefix))
)";

const char* const openScript = R"(
import hmac, hashlib, sys
from cryptography.exceptions import InvalidTag
from cryptography.hazmat.primitives.ciphers.aead import AESGCM
key, path = bytes.fromhex(sys.argv[1]), sys.argv[2]
data = open(path, "rb").read()
assert data[:29] == b"QUENDRIL PAD ENCRYPTED SHEET\n", "header"
assert data[29] == 1, "version"
assert data[30:38] == hmac.new(key, b"quendril key id", hashlib.sha256).digest()[:8], "key identifier"
try:
    AESGCM(key).decrypt(data[38:50], data[50:], data[:37] + bytes([data[37] ^ 1]))
    sys.exit("opened with other additional data")
except InvalidTag:
    pass
sys.stdout.buffer.write(AESGCM(key).decrypt(data[38:50], data[50:], data[:38]))
)";

QByteArray python(const char* script, const QStringList& arguments, int* status)
{
    QProcess process;
    process.start(u"/usr/bin/python3"_qs, QStringList{u"-c"_qs, QString::fromUtf8(script)} + arguments);
    process.waitForFinished(30000);
    *status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (*status != 0)
        ADD_FAILURE() << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

} // namespace

class SheetCipherInterop : public TempDirTest {
protected:
    void SetUp() override
    {
        if (!QFile::exists(u"/usr/bin/python3"_qs))
            GTEST_SKIP() << "needs /usr/bin/python3 with python3-cryptography";
    }
    const QByteArray key = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    SheetStore store{temp.path(), QTimeZone::utc(), SheetEncryption::on(SheetCipher(key))};
};

TEST_F(SheetCipherInterop, SealedByPythonOpensInTheStore)
{
    for (const QString& text : {u"Grüße aus Python 🙂\nzweite Zeile"_qs, QString()}) {
        SCOPED_TRACE(text.toStdString());
        const QString url = temp.filePath(u"2024-03-05 09.07.03.txt"_qs);
        int status = 0;
        python(sealScript, {QString::fromLatin1(key.toHex()), url, text}, &status);
        ASSERT_EQ(status, 0);
        EXPECT_EQ(store.read(url).value(), (SheetText{text, true, true}));
    }
}

TEST_F(SheetCipherInterop, SealedByTheStoreOpensInPython)
{
    const QString text = u"From the store: ünïcödé, tabs\tand 🙂\n"_qs.repeated(100);
    const QString url = temp.filePath(u"2024-03-05 09.07.03.txt"_qs);
    ASSERT_TRUE(store.write(text, url));
    int status = 0;
    const QByteArray opened = python(openScript, {QString::fromLatin1(key.toHex()), url}, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(QString::fromUtf8(opened), text);
}
