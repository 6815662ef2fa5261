#include "QuendrilCore/UpdateVerifier.h"

#include "QuendrilCore/Crypto.h"

namespace UpdateVerifier {

std::optional<UpdateProblem> checkDownload(QByteArrayView bytes, const UpdateFeed& feed,
                                           QByteArrayView publicKey)
{
    if (bytes.size() != feed.size)
        return UpdateProblem::wrongSize;
    if (sha256Hex(bytes) != feed.sha256.toLower())
        return UpdateProblem::wrongHash;
    if (!Crypto::isValidEd25519PublicKey(publicKey))
        return UpdateProblem::badSignature;
    if (!Crypto::ed25519Verify(publicKey, feed.signature, bytes))
        return UpdateProblem::badSignature;
    return std::nullopt;
}

QString sha256Hex(QByteArrayView bytes)
{
    return QString::fromLatin1(Crypto::Sha256::hash(bytes).toHex());
}

std::optional<UpdateProblem> checkBundle(const std::optional<QString>& newBundleID,
                                         std::optional<qint64> newBuild,
                                         const QString& runningBundleID, qint64 runningBuild,
                                         std::optional<qint64> feedBuild)
{
    if (!newBundleID || *newBundleID != runningBundleID)
        return UpdateProblem::wrongBundleID;
    if (!newBuild || (feedBuild && *newBuild != *feedBuild))
        return UpdateProblem::wrongBuild;
    if (runningBuild < *newBuild)
        return std::nullopt;
    return UpdateProblem::notNewer;
}

std::optional<UpdateProblem> checkSystem(const std::optional<QString>& minimumVersion,
                                         const SystemVersion& system)
{
    if (!minimumVersion || runs(*minimumVersion, system))
        return std::nullopt;
    return UpdateProblem::needsNewerMacOS;
}

bool runs(QStringView minimumVersion, const SystemVersion& system)
{
    return system >= SystemVersion::parse(minimumVersion);
}

} // namespace UpdateVerifier
