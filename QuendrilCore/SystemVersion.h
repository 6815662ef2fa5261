#pragma once

#include <QString>
#include <QStringView>

// The version of the running system as three numbers. On Linux this is the GNU C library's
// version, since that is what decides whether a build runs; "2.36" reads as 2.36.0.
struct SystemVersion {
    qint64 major = 0;
    qint64 minor = 0;
    qint64 patch = 0;

    bool operator==(const SystemVersion&) const = default;
    auto operator<=>(const SystemVersion&) const = default;

    // Reads up to three dot-separated decimal pieces, skipping empty pieces; a piece that is not
    // a number counts as 0, missing pieces count as 0 and a fourth piece is ignored.
    [[nodiscard]] static SystemVersion parse(QStringView text);

    // The running C library's version (gnu_get_libc_version).
    [[nodiscard]] static SystemVersion running();

    // "2.36.0".
    [[nodiscard]] QString toString() const;
};
