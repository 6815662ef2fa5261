#pragma once

#include "QuendrilCore/Result.h"
#include "QuendrilCore/SystemVersion.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

// Why an update feed was refused; `reason()` is the half-sentence shown after
// "Can't check for updates: ".
struct UpdateFeedError {
    enum Kind { missing, notJSON, badURL, notHTTPS, tooBig, badSignature };
    Kind kind = notJSON;
    QString key; // for `missing`: the member that is absent or of the wrong type

    [[nodiscard]] QString reason() const;
    bool operator==(const UpdateFeedError&) const = default;
};

// The update feed: one JSON object naming the newest build and its signed zip archive.
//
//   auto feed = UpdateFeed::decode(bytes, /*allowFileURL*/ false);
//   if (!feed) show(u"Can't check for updates: " + feed.error().reason() + u'.');
struct UpdateFeed {
    static constexpr qint64 maxSize = 100'000'000;

    QString version;
    qint64 build = 0;
    QString minimumMacOS;
    QUrl url;
    qint64 size = 0;
    QString sha256;       // as written; compared lowercased with the download
    QByteArray signature; // decoded from Base64, not yet checked for length

    bool operator==(const UpdateFeed&) const = default;

    // Parses and checks a feed in a fixed order, the first failure winning: JSON object, the
    // seven members in the order version, build, minimum_macos, url, size, sha256, signature
    // (whole numbers may be written 2 or 2.0, never "2" or true), the URL and its scheme (https,
    // or file when `allowFileURL`), the size bound, then the signature's Base64.
    [[nodiscard]] static Result<UpdateFeed, UpdateFeedError> decode(QByteArrayView bytes,
                                                                    bool allowFileURL);

    // Whether the feed's build runs on `system` (see UpdateVerifier::runs).
    [[nodiscard]] bool runs(const SystemVersion& system) const;
};
