#pragma once

#include "QuendrilCore/SystemVersion.h"
#include "QuendrilCore/UpdateFeed.h"
#include "QuendrilCore/UpdateProblem.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The checks a downloaded update must pass before it may be staged, each answering a problem or
// none. They run in this order: checkDownload (size, digest, signature), checkBundle (identifier
// and build of the application inside), the folder's code signature, then checkSystem.
namespace UpdateVerifier {

// wrongSize when the byte count differs from the feed's (before any hashing), wrongHash when the
// SHA-256 differs from the feed's digest lowercased, badSignature when the 32-byte key is not a
// valid Ed25519 key or the feed's signature does not verify over exactly these bytes.
[[nodiscard]] std::optional<UpdateProblem>
checkDownload(QByteArrayView bytes, const UpdateFeed& feed, QByteArrayView publicKey);

// The lower-case hexadecimal SHA-256 of `bytes`, 64 characters.
[[nodiscard]] QString sha256Hex(QByteArrayView bytes);

// wrongBundleID for an absent or different identifier; wrongBuild for an absent build or one
// that differs from the feed's (when given); notNewer unless the new build is greater than the
// running one.
[[nodiscard]] std::optional<UpdateProblem>
checkBundle(const std::optional<QString>& newBundleID, std::optional<qint64> newBuild,
            const QString& runningBundleID, qint64 runningBuild, std::optional<qint64> feedBuild);

// needsNewerMacOS when a minimum version is given and the system does not reach it.
[[nodiscard]] std::optional<UpdateProblem> checkSystem(const std::optional<QString>& minimumVersion,
                                                       const SystemVersion& system);

// Whether `system` is at least the minimum, read as SystemVersion::parse reads it (so "14" is
// 14.0.0 and the empty text is met by every system).
[[nodiscard]] bool runs(QStringView minimumVersion, const SystemVersion& system);

} // namespace UpdateVerifier
