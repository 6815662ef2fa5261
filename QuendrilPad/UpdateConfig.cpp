#include "QuendrilPad/UpdateConfig.h"

#include "QuendrilCore/AppFolder.h"
#include "QuendrilCore/PropertyList.h"

#include <QCoreApplication>

std::optional<UpdateConfig> UpdateConfig::load(const QString& appURL,
                                               const QProcessEnvironment& environment)
{
    const std::optional<QVariant> plist =
        PropertyList::read(appURL + u'/' + QLatin1StringView(AppFolder::infoPlist));
    const QVariantMap info =
        plist && plist->typeId() == QMetaType::QVariantMap ? plist->toMap() : QVariantMap{};
    const auto text = [&info](const char* key) -> std::optional<QString> {
        const QVariant value = info.value(QLatin1StringView(key));
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        return value.toString();
    };

    UpdateConfig config;
    config.allowFileURL = !environment.value(QStringLiteral("QUENDRIL_APP_SUPPORT")).isEmpty() &&
                          !environment.value(QStringLiteral("QUENDRIL_NOTES_FOLDER")).isEmpty();

    const std::optional<QString> feed = text("QuendrilUpdateFeedURL");
    if (!feed)
        return std::nullopt;
    config.feedURL = QUrl(*feed, QUrl::StrictMode);
    if (!config.feedURL.isValid())
        return std::nullopt;

    const std::optional<QString> key = text("QuendrilUpdatePublicKey");
    if (!key || key->size() != 44)
        return std::nullopt;
    auto decoded =
        QByteArray::fromBase64Encoding(key->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 32)
        return std::nullopt;
    config.publicKey = decoded.decoded;

    const std::optional<QString> identifier = text("CFBundleIdentifier");
    if (!identifier || identifier->isEmpty())
        return std::nullopt;
    config.bundleID = *identifier;

    const std::optional<QString> buildText = text("CFBundleVersion");
    const std::optional<qint64> build =
        buildText ? PropertyList::decimalInteger(*buildText) : std::nullopt;
    if (!build)
        return std::nullopt;
    config.build = *build;

    const QString scheme = config.feedURL.scheme().toLower();
    if (!(scheme == u"https" || (scheme == u"file" && config.allowFileURL)))
        return std::nullopt;

    config.version = text("CFBundleShortVersionString").value_or(QString::number(config.build));
    config.appURL = appURL;
    return config;
}

std::optional<UpdateConfig> UpdateConfig::loadForRunningApp(const QProcessEnvironment& environment)
{
    const std::optional<QString> folder =
        AppFolder::containing(QCoreApplication::applicationFilePath());
    if (!folder)
        return std::nullopt;
    return load(*folder, environment);
}
