#include "QuendrilCore/Crypto.h"
#include "QuendrilCore/UpdatePlace.h"
#include "QuendrilCore/UpdateSchedule.h"
#include "QuendrilCore/UpdateVerifier.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

struct SignedArchive {
    Crypto::Ed25519KeyPair key;
    QByteArray bytes;
    UpdateFeed feed;
};

SignedArchive signedArchive()
{
    SignedArchive archive;
    archive.key = *Crypto::generateEd25519();
    archive.bytes = QByteArray("PK\x03\x04 an archive of sorts", 25);
    archive.feed.build = 2;
    archive.feed.size = archive.bytes.size();
    archive.feed.sha256 = UpdateVerifier::sha256Hex(archive.bytes);
    archive.feed.signature = *Crypto::ed25519Sign(archive.key.privateKey, archive.bytes);
    return archive;
}

} // namespace

TEST(UpdateVerifier, DownloadsAreCheckedBySizeThenDigestThenSignature)
{
    const SignedArchive good = signedArchive();
    const Crypto::Ed25519KeyPair otherKey = *Crypto::generateEd25519();
    const auto withFeed = [&](auto change) {
        UpdateFeed feed = good.feed;
        change(feed);
        return feed;
    };
    QByteArray changedByte = good.bytes;
    changedByte[5] = char(changedByte[5] ^ 1);

    struct Row {
        const char* name;
        QByteArray bytes;
        UpdateFeed feed;
        QByteArray publicKey;
        std::optional<UpdateProblem> problem;
    };
    const Row rows[] = {
        {"good", good.bytes, good.feed, good.key.publicKey, std::nullopt},
        {"digest in upper case", good.bytes,
         withFeed([](UpdateFeed& f) { f.sha256 = f.sha256.toUpper(); }), good.key.publicKey,
         std::nullopt},
        // A byte too many is refused on its size, even though the digest would not match either.
        {"one byte longer", good.bytes + 'x', good.feed, good.key.publicKey,
         UpdateProblem::wrongSize},
        {"one byte shorter", good.bytes.chopped(1), good.feed, good.key.publicKey,
         UpdateProblem::wrongSize},
        {"one changed byte", changedByte, good.feed, good.key.publicKey, UpdateProblem::wrongHash},
        {"digest with a space", good.bytes, withFeed([](UpdateFeed& f) { f.sha256 += u' '; }),
         good.key.publicKey, UpdateProblem::wrongHash},
        {"signed with another key", good.bytes, good.feed, otherKey.publicKey,
         UpdateProblem::badSignature},
        {"short public key", good.bytes, good.feed, good.key.publicKey.left(31),
         UpdateProblem::badSignature},
        {"signature of other bytes", good.bytes, withFeed([&](UpdateFeed& f) {
             f.signature = *Crypto::ed25519Sign(good.key.privateKey, "x");
         }),
         good.key.publicKey, UpdateProblem::badSignature},
        {"short signature", good.bytes, withFeed([](UpdateFeed& f) { f.signature.chop(1); }),
         good.key.publicKey, UpdateProblem::badSignature},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(UpdateVerifier::checkDownload(row.bytes, row.feed, row.publicKey), row.problem);
    }
}

TEST(UpdateVerifier, Sha256HexIsLowerCaseHex)
{
    EXPECT_EQ(UpdateVerifier::sha256Hex(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(UpdateVerifier, BundlesMustMatchTheIdentifierTheFeedAndBeNewer)
{
    const QString id = QStringLiteral("local.quendrilpad");
    struct Row {
        const char* name;
        std::optional<QString> newID;
        std::optional<qint64> newBuild;
        qint64 running;
        std::optional<qint64> feedBuild;
        std::optional<UpdateProblem> problem;
    };
    const Row rows[] = {
        {"newer", id, 2, 1, 2, std::nullopt},
        {"newer, no feed build", id, 2, 1, std::nullopt, std::nullopt},
        {"same build", id, 1, 1, 1, UpdateProblem::notNewer},
        {"older build", id, 1, 2, std::nullopt, UpdateProblem::notNewer},
        {"not the feed's build", id, 3, 1, 2, UpdateProblem::wrongBuild},
        {"no build", id, std::nullopt, 1, 2, UpdateProblem::wrongBuild},
        {"no build, no feed build", id, std::nullopt, 1, std::nullopt, UpdateProblem::wrongBuild},
        {"other identifier", QStringLiteral("local.other"), 2, 1, 2, UpdateProblem::wrongBundleID},
        {"no identifier", std::nullopt, 2, 1, 2, UpdateProblem::wrongBundleID},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            UpdateVerifier::checkBundle(row.newID, row.newBuild, id, row.running, row.feedBuild),
            row.problem);
    }
}

TEST(UpdateVerifier, MinimumVersionsCompareNumberByNumber)
{
    struct Row {
        const char* minimum;
        SystemVersion system;
        bool runs;
    };
    const Row rows[] = {
        {"14", {14, 0, 0}, true},       {"14.1", {14, 0, 5}, false}, {"13.5.2", {14, 0, 0}, true},
        {"", {1, 0, 0}, true},          {"2.36", {2, 36, 0}, true},  {"2.37", {2, 36, 9}, false},
        {"2.36.1.9", {2, 36, 1}, true}, {"2..36", {2, 36, 0}, true}, {"2.x.1", {2, 0, 1}, true},
        {"3", {2, 99, 99}, false},      {"2.10", {2, 9, 0}, false},  {".2", {2, 0, 0}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.minimum);
        EXPECT_EQ(UpdateVerifier::runs(QString::fromLatin1(row.minimum), row.system), row.runs);
        EXPECT_EQ(UpdateVerifier::checkSystem(QString::fromLatin1(row.minimum), row.system),
                  row.runs ? std::nullopt : std::optional(UpdateProblem::needsNewerMacOS));
    }
    EXPECT_EQ(UpdateVerifier::checkSystem(std::nullopt, {0, 0, 0}), std::nullopt);
    EXPECT_EQ(SystemVersion::parse(u"2.36"), (SystemVersion{2, 36, 0}));
    EXPECT_GE(SystemVersion::running().major, 2) << "glibc 2 or later";
}

TEST(UpdatePlace, TranslocationThenVolumeThenFolder)
{
    struct Row {
        const char* path;
        bool readOnly;
        bool writable;
        UpdatePlace::Kind kind;
    };
    const Row rows[] = {
        {"/home/a/Applications/Quendril Pad.app", false, true, UpdatePlace::ok},
        {"/private/var/AppTranslocation/X/d/Quendril Pad.app", false, true,
         UpdatePlace::translocated},
        {"/media/disk/Quendril Pad.app", true, true, UpdatePlace::readOnlyVolume},
        {"/opt/Quendril Pad.app", false, false, UpdatePlace::folderNotWritable},
        {"/opt/AppTranslocationX/Quendril Pad.app", false, false, UpdatePlace::folderNotWritable},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(UpdatePlace::check(QString::fromUtf8(row.path), row.readOnly, row.writable).kind,
                  row.kind);
    }
    EXPECT_EQ(UpdatePlace{UpdatePlace::ok}.message(), std::nullopt);
    EXPECT_EQ(UpdatePlace{UpdatePlace::translocated}.message(),
              "Move Quendril Pad to your Applications folder to get updates.");
    EXPECT_EQ(UpdatePlace{UpdatePlace::readOnlyVolume}.message(),
              UpdatePlace{UpdatePlace::translocated}.message());
    EXPECT_EQ(UpdatePlace{UpdatePlace::folderNotWritable}.message(),
              "Can't check for updates: the app's folder can't be written.");
}

TEST(UpdateSchedule, DueAfterADayOrWhenTheClockWentBack)
{
    const QDateTime last = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());
    EXPECT_TRUE(UpdateSchedule::isDue(std::nullopt, last));
    EXPECT_FALSE(UpdateSchedule::isDue(last, last));
    EXPECT_FALSE(UpdateSchedule::isDue(last, last.addSecs(23 * 3600)));
    EXPECT_FALSE(UpdateSchedule::isDue(last, last.addSecs(86'399)));
    EXPECT_TRUE(UpdateSchedule::isDue(last, last.addSecs(24 * 3600)));
    EXPECT_TRUE(UpdateSchedule::isDue(last, last.addSecs(-1)));
}
