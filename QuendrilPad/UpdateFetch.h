#pragma once

#include "QuendrilCore/Result.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <atomic>

// Fetching of the update feed and archive, whole into memory and never past a bound. Runs on a
// worker thread: it waits for the answer in its own event loop.
namespace UpdateFetch {

struct Answer {
    QByteArray bytes;
    bool tooLong = false; // the answer went past the bound and was cut off there
};

struct Timeouts {
    int requestMs = 30'000;   // without a byte arriving
    int resourceMs = 300'000; // for the whole answer
};

// A file URL is read from disk; anything else goes through a fresh QNetworkAccessManager with no
// cache, cookies or stored credentials and the User-Agent "Quendril Pad/<version>". A status other
// than 200 is the error "the server answered <status>"; other errors come in plain words.
[[nodiscard]] Result<Answer, QString> fetch(const QUrl& url, qint64 limit, const QString& version,
                                            const std::atomic_bool& cancelled,
                                            const Timeouts& timeouts = {});

// An error description made to follow "Can't check for updates: ": full stops and spaces trimmed
// from both ends, the first letter lowercased.
[[nodiscard]] QString plainWords(const QString& description);

} // namespace UpdateFetch
