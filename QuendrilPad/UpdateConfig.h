#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QUrl>

#include <optional>

// The updater's configuration, read once at launch from the running application folder's
// Info.plist. The feed address and the key come only from there; nothing in the environment or
// the settings can replace them.
struct UpdateConfig {
    QUrl feedURL;
    QByteArray publicKey; // raw Ed25519 key, 32 bytes
    QString bundleID;
    qint64 build = 0;
    QString version;
    QString appURL; // the application folder
    bool allowFileURL = false;

    bool operator==(const UpdateConfig&) const = default;

    // The configuration of the application folder at `appURL`, or none when updating is not
    // configured: no Info.plist, no feed URL, a key that is not 44 characters of Base64 for 32
    // bytes, no identifier, a build that is not a decimal integer, or a feed scheme other than
    // https (file too in a test run: both QUENDRIL_APP_SUPPORT and QUENDRIL_NOTES_FOLDER set).
    [[nodiscard]] static std::optional<UpdateConfig> load(const QString& appURL,
                                                          const QProcessEnvironment& environment);

    // load for the folder that holds the running executable, none when it is not in one.
    [[nodiscard]] static std::optional<UpdateConfig>
    loadForRunningApp(const QProcessEnvironment& environment);
};
