#pragma once

#include "QuendrilCore/Result.h"

#include <QString>

// Unpacking of an update's zip archive (libarchive), refusing what could reach outside the
// destination: absolute paths, "..", links that point out of it, and special files. A zip bomb
// stops at the bounds.
namespace UpdateArchive {

struct Limits {
    qint64 maxBytes = 1'000'000'000; // unpacked, all entries together
    qint64 maxEntries = 100'000;
};

// Unpacks `zipPath` into the existing folder `destination`; the error says why it stopped.
[[nodiscard]] Result<void, QString> extract(const QString& zipPath, const QString& destination,
                                            const Limits& limits = {});

} // namespace UpdateArchive
