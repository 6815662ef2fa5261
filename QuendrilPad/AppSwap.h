#pragma once

#include "QuendrilCore/CodeResources.h"
#include "QuendrilCore/Result.h"
#include "QuendrilCore/UpdatePlace.h"

#include <QString>
#include <QStringList>

#include <optional>

// The file-system side of an update: where the application folder lies, what a folder says about
// itself, its signature, and the swap of the running folder for the staged one.
namespace AppSwap {

struct BundleInfo {
    QString bundleID;
    qint64 build = 0;
    QString version;
    std::optional<QString> minimumSystemVersion;
    bool operator==(const BundleInfo&) const = default;
};

struct SwapError {
    enum Kind { moveStaged, swap, recheck };
    Kind kind = swap;
    QString detail; // the system's description, for moveStaged and swap

    // "could not swap the apps: Invalid argument" and the like.
    [[nodiscard]] QString text() const;
    bool operator==(const SwapError&) const = default;
};

// UpdatePlace::check for the folder at `appURL`: its volume's read-only flag (an unanswered
// question counts as writable) and whether both the folder and its parent are writable.
[[nodiscard]] UpdatePlace place(const QString& appURL);

// Contents/Info.plist of the folder: a dictionary with CFBundleIdentifier as a string and
// CFBundleVersion as a string holding a decimal integer; the version falls back to the build,
// and LSMinimumSystemVersion is used when it is a string. None for any other shape.
[[nodiscard]] std::optional<BundleInfo> bundleInfo(const QString& bundleURL);

// Whether the folder's signed manifest validates against the 32-byte update key.
[[nodiscard]] Result<void, CodeResources::Error> validateSignature(const QString& bundleURL,
                                                                   QByteArrayView publicKey);

// Moves the staged folder next to the running one, checks it again, exchanges the two in one
// renameat2(RENAME_EXCHANGE) and moves the old folder to `previousURL`. When the exchange is
// refused the running folder is untouched. Failing to keep the previous folder is not an error.
[[nodiscard]] Result<void, SwapError> install(const QString& stagedURL, const QString& runningURL,
                                              const QString& previousURL, QByteArrayView publicKey);

// Starts a shell that waits for this process to exit, then starts the folder's own executable.
// Failures are ignored.
void relaunchAfterExit(const QString& appURL);

// The /bin/sh arguments of the relaunch: waits for `pid`, then starts the executable in `appURL`.
[[nodiscard]] QStringList relaunchArguments(qint64 pid, const QString& appURL);

// Renames `from` to `to`; across file systems copies (keeping modes) and removes the original.
// The error is the system's description.
[[nodiscard]] Result<void, QString> moveItem(const QString& from, const QString& to);

// Removes a file or a folder tree without following links; failures are ignored.
void removeItem(const QString& path);

} // namespace AppSwap
