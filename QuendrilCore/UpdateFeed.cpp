#include "QuendrilCore/UpdateFeed.h"

#include "QuendrilCore/UpdateVerifier.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

// A JSON number with no fractional part inside the signed 64-bit range. toInteger answers its
// fallback for anything else, so two different fallbacks tell a real value from a refusal.
std::optional<qint64> wholeNumber(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const qint64 first = value.toInteger(0);
    const qint64 second = value.toInteger(1);
    if (first != second)
        return std::nullopt;
    return first;
}

} // namespace

QString UpdateFeedError::reason() const
{
    switch (kind) {
    case missing:
        return QString(u"the update file has no " + key);
    case notJSON:
        return QStringLiteral("the update file is not valid");
    case badURL:
        return QStringLiteral("the update file has a bad download address");
    case notHTTPS:
        return QStringLiteral("the download address is not secure");
    case tooBig:
        return QStringLiteral("the update is too big");
    case badSignature:
        return QStringLiteral("the update file has a bad signature");
    }
    return QStringLiteral("the update file is not valid");
}

Result<UpdateFeed, UpdateFeedError> UpdateFeed::decode(QByteArrayView bytes, bool allowFileURL)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return unexpected(UpdateFeedError{UpdateFeedError::notJSON, {}});
    const QJsonObject object = document.object();

    const auto missing = [](const char* key) {
        return unexpected(UpdateFeedError{UpdateFeedError::missing, QString::fromLatin1(key)});
    };
    UpdateFeed feed;
    QString urlText;
    QString signatureText;
    for (const char* key :
         {"version", "build", "minimum_macos", "url", "size", "sha256", "signature"}) {
        const QJsonValue value = object.value(QLatin1StringView(key));
        const QByteArrayView name(key);
        if (name == "build" || name == "size") {
            const std::optional<qint64> number = wholeNumber(value);
            if (!number)
                return missing(key);
            (name == "build" ? feed.build : feed.size) = *number;
            continue;
        }
        if (!value.isString())
            return missing(key);
        const QString text = value.toString();
        if (name == "version")
            feed.version = text;
        else if (name == "minimum_macos")
            feed.minimumMacOS = text;
        else if (name == "url")
            urlText = text;
        else if (name == "sha256")
            feed.sha256 = text;
        else
            signatureText = text;
    }

    feed.url = QUrl(urlText, QUrl::StrictMode);
    if (!feed.url.isValid() || feed.url.scheme().isEmpty())
        return unexpected(UpdateFeedError{UpdateFeedError::badURL, {}});
    const QString scheme = feed.url.scheme().toLower();
    if (scheme == u"https") {
        // Nothing can be fetched from an https address without a host.
        if (feed.url.host().isEmpty())
            return unexpected(UpdateFeedError{UpdateFeedError::badURL, {}});
    } else if (!(scheme == u"file" && allowFileURL)) {
        return unexpected(UpdateFeedError{UpdateFeedError::notHTTPS, {}});
    }

    if (feed.size > maxSize)
        return unexpected(UpdateFeedError{UpdateFeedError::tooBig, {}});

    // Standard alphabet with padding and no line breaks: anything else is refused, not repaired.
    const QByteArray signatureBytes = signatureText.toLatin1();
    auto decoded =
        QByteArray::fromBase64Encoding(signatureBytes, QByteArray::AbortOnBase64DecodingErrors);
    if (signatureText.size() % 4 != 0 || signatureBytes.size() != signatureText.size() ||
        !decoded || decoded.decoded.toBase64() != signatureBytes)
        return unexpected(UpdateFeedError{UpdateFeedError::badSignature, {}});
    feed.signature = decoded.decoded;
    return feed;
}

bool UpdateFeed::runs(const SystemVersion& system) const
{
    return UpdateVerifier::runs(minimumMacOS, system);
}
