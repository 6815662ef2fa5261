#pragma once

#include "QuendrilCore/Result.h"

#include <QByteArray>
#include <QString>

// The signed manifest of an application folder, Contents/_CodeSignature/CodeResources: the
// mode, size and SHA-256 of every file and the mode of every folder under the application
// folder (but the manifest itself), one line each in byte order of the relative path, followed by
// an Ed25519 signature of everything above it.
//
//   QuendrilCodeResources 1
//   dir 0755 Contents
//   file 0644 812 5f3c…e1 Contents/Info.plist
//   signature <Base64 of 64 bytes>
//
// Symbolic links, devices, set-user-ID files and names holding a line break have no place in an
// application folder: signing refuses them and validation fails on them.
namespace CodeResources {

// The manifest's place inside the application folder.
inline constexpr char relativePath[] = "Contents/_CodeSignature/CodeResources";

struct Error {
    enum Kind {
        noManifest,   // the manifest is absent or not a plain file
        badManifest,  // the manifest does not read as one
        badSignature, // not signed by the expected key
        missingFile,  // listed but absent
        extraFile,    // present but not listed
        changedFile,  // kind, mode, size or digest differ
        unsafeFile,   // a link, device or set-ID file, or a name that cannot be listed
        unreadable,   // the file system refused a read; `code` is errno
    };
    Kind kind = badManifest;
    QString path; // the relative path concerned, where there is one
    int code = 0;

    // A short description for the log, for example "changed file Contents/bin/quendril-pad".
    [[nodiscard]] QString text() const;
    bool operator==(const Error&) const = default;
};

// Writes the manifest of `appFolder` signed with the 32-byte Ed25519 private key, replacing an
// older manifest.
[[nodiscard]] Result<void, Error> sign(const QString& appFolder, QByteArrayView privateKey);

// Checks the manifest's signature against the 32-byte public key, then every entry against the
// folder: nothing missing, nothing extra, nothing changed.
[[nodiscard]] Result<void, Error> validate(const QString& appFolder, QByteArrayView publicKey);

} // namespace CodeResources
