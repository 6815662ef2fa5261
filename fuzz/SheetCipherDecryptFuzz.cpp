#include "QuendrilCore/SheetCipher.h"

#include <cstdint>
#include <cstdlib>

// Any bytes given to decrypt: no crash, and only the two documented errors. Bytes that carry this
// cipher's prefix reach the authentication step, so the fuzzer explores past the early checks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const SheetCipher cipher(QByteArray(32, '\x5a'));
    static const QByteArray prefix = cipher.encrypt(QString()).value().left(SheetCipher::prefixLength);
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& bytes : {input.toByteArray(), QByteArray(prefix + input)}) {
        const Result<QString, SheetCipherError> text = cipher.decrypt(bytes);
        if (text)
            std::abort(); // nobody but the key's holder can make a tag that verifies
        (void)SheetCipher::keyIDOf(bytes);
        (void)SheetCipher::isEncrypted(bytes);
    }
    return 0;
}
