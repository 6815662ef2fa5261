#pragma once

#include <QHashFunctions>

// Why an encrypted sheet did not open: `wrongKey` when the file names another key (checked before
// any decryption), `damaged` for everything else (short, truncated, unknown version, changed
// header or identifier, failed authentication, text that is not UTF-8).
enum class SheetCipherError { wrongKey, damaged };

inline size_t qHash(SheetCipherError error, size_t seed = 0) noexcept
{
    return qHash(static_cast<int>(error), seed);
}
