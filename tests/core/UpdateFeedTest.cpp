#include "QuendrilCore/UpdateFeed.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QByteArray signature64(64, '\x5a');

QJsonObject goodFeed()
{
    return QJsonObject{
        {"version", "2.0"},
        {"build", 2},
        {"minimum_macos", "2.31"},
        {"url", "https://example.org/Quendril-Pad-2.zip"},
        {"size", 1234},
        {"sha256", QString(64, u'a')},
        {"signature", QString::fromLatin1(signature64.toBase64())},
    };
}

QByteArray withChanges(std::initializer_list<std::pair<const char*, QJsonValue>> changes,
                       std::initializer_list<const char*> removed = {})
{
    QJsonObject object = goodFeed();
    for (const auto& [key, value] : changes)
        object.insert(QLatin1StringView(key), value);
    for (const char* key : removed)
        object.remove(QLatin1StringView(key));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

TEST(UpdateFeed, AGoodFeedDecodesToItsSevenValues)
{
    const auto feed = UpdateFeed::decode(withChanges({{"extra", "ignored"}}), false);
    ASSERT_TRUE(feed) << feed.error().reason().toStdString();
    EXPECT_EQ(feed->version, "2.0");
    EXPECT_EQ(feed->build, 2);
    EXPECT_EQ(feed->minimumMacOS, "2.31");
    EXPECT_EQ(feed->url, QUrl("https://example.org/Quendril-Pad-2.zip"));
    EXPECT_EQ(feed->size, 1234);
    EXPECT_EQ(feed->sha256, QString(64, u'a'));
    EXPECT_EQ(feed->signature, signature64);
}

TEST(UpdateFeed, RefusalsComeInTheirOrder)
{
    using E = UpdateFeedError;
    struct Row {
        const char* name;
        QByteArray bytes;
        bool allowFileURL;
        std::optional<UpdateFeedError> error; // none: accepted
    };
    const Row rows[] = {
        {"not JSON", "{\"version\":", false, E{E::notJSON, {}}},
        {"top level array", "[1,2]", false, E{E::notJSON, {}}},
        {"empty", "", false, E{E::notJSON, {}}},
        {"sha256 missing", withChanges({}, {"sha256"}), false, E{E::missing, "sha256"}},
        {"build as text", withChanges({{"build", "2"}}), false, E{E::missing, "build"}},
        {"build true", withChanges({{"build", true}}), false, E{E::missing, "build"}},
        {"build 2.0", withChanges({{"build", 2.0}}), false, std::nullopt},
        {"build 2.5", withChanges({{"build", 2.5}}), false, E{E::missing, "build"}},
        {"build 1e30", withChanges({{"build", 1e30}}), false, E{E::missing, "build"}},
        {"version null", withChanges({{"version", QJsonValue::Null}}), false,
         E{E::missing, "version"}},
        {"earlier of two missing", withChanges({}, {"signature", "minimum_macos"}), false,
         E{E::missing, "minimum_macos"}},
        {"size text", withChanges({{"size", "1"}}), false, E{E::missing, "size"}},
        {"plain http", withChanges({{"url", "http://example.org/a.zip"}}), false,
         E{E::notHTTPS, {}}},
        {"ftp", withChanges({{"url", "ftp://example.org/a.zip"}}), false, E{E::notHTTPS, {}}},
        {"upper-case scheme", withChanges({{"url", "HTTPS://example.org/a.zip"}}), false,
         std::nullopt},
        {"no scheme", withChanges({{"url", "example.org/a.zip"}}), false, E{E::badURL, {}}},
        {"not a URL", withChanges({{"url", "https://exa mple.org/%zz"}}), false, E{E::badURL, {}}},
        {"https without host", withChanges({{"url", "https:///a.zip"}}), false, E{E::badURL, {}}},
        {"file not allowed", withChanges({{"url", "file:///tmp/a.zip"}}), false,
         E{E::notHTTPS, {}}},
        {"file allowed", withChanges({{"url", "file:///tmp/a.zip"}}), true, std::nullopt},
        {"size at the bound", withChanges({{"size", 100000000}}), false, std::nullopt},
        {"size past the bound", withChanges({{"size", 100000001}}), false, E{E::tooBig, {}}},
        {"bad URL before too big", withChanges({{"url", "nope"}, {"size", 100000001}}), false,
         E{E::badURL, {}}},
        {"signature not Base64", withChanges({{"signature", "not base64!"}}), false,
         E{E::badSignature, {}}},
        {"signature without padding", withChanges({{"signature", "YWJjZA"}}), false,
         E{E::badSignature, {}}},
        {"signature with a line break", withChanges({{"signature", "YWJj\nZGVm"}}), false,
         E{E::badSignature, {}}},
        {"too big before bad signature", withChanges({{"size", 100000001}, {"signature", "!"}}),
         false, E{E::tooBig, {}}},
        {"short signature decodes", withChanges({{"signature", "YWJj"}}), false, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto feed = UpdateFeed::decode(row.bytes, row.allowFileURL);
        if (!row.error) {
            EXPECT_TRUE(feed) << feed.error().reason().toStdString();
            continue;
        }
        ASSERT_FALSE(feed);
        EXPECT_EQ(feed.error(), *row.error) << feed.error().reason().toStdString();
    }
    EXPECT_EQ(UpdateFeed::decode(withChanges({{"build", 2.0}}), false)->build, 2);
}

TEST(UpdateFeed, ReasonsReadAsTheEndOfASentence)
{
    using E = UpdateFeedError;
    EXPECT_EQ(E(E::missing, "sha256").reason(), "the update file has no sha256");
    EXPECT_EQ(E(E::notJSON, {}).reason(), "the update file is not valid");
    EXPECT_EQ(E(E::badURL, {}).reason(), "the update file has a bad download address");
    EXPECT_EQ(E(E::notHTTPS, {}).reason(), "the download address is not secure");
    EXPECT_EQ(E(E::tooBig, {}).reason(), "the update is too big");
    EXPECT_EQ(E(E::badSignature, {}).reason(), "the update file has a bad signature");
}

TEST(UpdateFeed, RunsComparesTheMinimumWithTheSystem)
{
    auto feed = UpdateFeed::decode(withChanges({{"minimum_macos", "2.37"}}), false);
    ASSERT_TRUE(feed);
    EXPECT_FALSE(feed->runs({2, 36, 0}));
    EXPECT_TRUE(feed->runs({2, 37, 0}));
    EXPECT_TRUE(feed->runs({3, 0, 0}));
}
