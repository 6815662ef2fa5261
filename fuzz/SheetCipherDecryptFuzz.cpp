#include "QuendrilCore/SheetCipher.h"

#include <cstdint>
#include <cstdlib>

// Any bytes given to decrypt: no crash, no sanitizer report, and a file that opens holds text that
// seals and opens again unchanged. Bytes behind this cipher's prefix reach the authentication
// step, so the fuzzer explores past the early checks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const SheetCipher cipher(QByteArray(32, '\x5a'));
    static const QByteArray prefix =
        cipher.encrypt(QString()).value().left(SheetCipher::prefixLength);
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& bytes : {input.toByteArray(), QByteArray(prefix + input)}) {
        const Result<QString, SheetCipherError> text = cipher.decrypt(bytes);
        if (text && cipher.decrypt(cipher.encrypt(*text).value()).value() != *text)
            std::abort();
        (void)SheetCipher::keyIDOf(bytes);
        (void)SheetCipher::isEncrypted(bytes);
    }
    return 0;
}
