#pragma once

#include <QtGlobal>

// The size limit shared by everything that puts sheets into the search index.
namespace IndexPolicy {

// Largest sheet, in bytes (on disk, or of UTF-8 text), that the index takes: 10 MiB.
inline constexpr qint64 maxFileSize = 10 * 1024 * 1024;

// True when a sheet of `fileSize` bytes belongs in the index; larger ones are removed instead.
[[nodiscard]] constexpr bool shouldIndex(qint64 fileSize)
{
    return fileSize <= maxFileSize;
}

} // namespace IndexPolicy
