#include "QuendrilCore/Crypto.h"
#include "QuendrilPad/UpdateConfig.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

struct Keys {
    QString feed = QStringLiteral("https://example.org/feed.json");
    QString key = QString::fromLatin1(QByteArray(32, '\x11').toBase64());
    QString identifier = QStringLiteral("local.quendrilpad");
    QString build = QStringLiteral("12");
    std::optional<QString> shortVersion = QStringLiteral("1.2");
};

QByteArray infoPlist(const Keys& keys)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n";
    const auto entry = [&xml](const char* key, const QString& value) {
        if (!value.isNull())
            xml += QByteArray("<key>") + key + "</key><string>" + value.toHtmlEscaped().toUtf8() +
                   "</string>\n";
    };
    entry("QuendrilUpdateFeedURL", keys.feed);
    entry("QuendrilUpdatePublicKey", keys.key);
    entry("CFBundleIdentifier", keys.identifier);
    entry("CFBundleVersion", keys.build);
    if (keys.shortVersion)
        entry("CFBundleShortVersionString", *keys.shortVersion);
    return xml + "</dict></plist>\n";
}

QProcessEnvironment environment(bool testRun, bool bothVariables = true)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/x"));
    if (testRun) {
        env.insert(QStringLiteral("QUENDRIL_APP_SUPPORT"), QStringLiteral("/tmp/support"));
        env.insert(QStringLiteral("QUENDRIL_NOTES_FOLDER"),
                   bothVariables ? QStringLiteral("/tmp/notes") : QString());
    }
    return env;
}

} // namespace

TEST(UpdateConfig, LoadsFromTheFoldersInfoPlist)
{
    TempDir temp;
    temp.write(QStringLiteral("Quendril Pad.app/Contents/Info.plist"), infoPlist({}));
    const QString app = temp.filePath(QStringLiteral("Quendril Pad.app"));
    const auto config = UpdateConfig::load(app, environment(false));
    ASSERT_TRUE(config);
    EXPECT_EQ(*config, (UpdateConfig{QUrl(QStringLiteral("https://example.org/feed.json")),
                                     QByteArray(32, '\x11'), QStringLiteral("local.quendrilpad"),
                                     12, QStringLiteral("1.2"), app, false}));
    EXPECT_TRUE(UpdateConfig::load(app, environment(true))->allowFileURL);
    EXPECT_FALSE(UpdateConfig::load(app, environment(true, false))->allowFileURL);
    EXPECT_FALSE(UpdateConfig::load(temp.filePath(QStringLiteral("Other.app")), environment(false)))
        << "no Info.plist, no updater";
}

TEST(UpdateConfig, AnIncompleteConfigurationMeansNoUpdater)
{
    struct Row {
        const char* name;
        std::function<void(Keys&)> change;
        bool testRun;
        bool loads;
    };
    const Row rows[] = {
        {"no feed", [](Keys& k) { k.feed = QString(); }, false, false},
        {"feed not a URL", [](Keys& k) { k.feed = QStringLiteral("https://exa mple/%zz"); }, false,
         false},
        {"plain http feed", [](Keys& k) { k.feed = QStringLiteral("http://example.org/f"); }, false,
         false},
        {"feed without scheme", [](Keys& k) { k.feed = QStringLiteral("example.org/f"); }, false,
         false},
        {"file feed outside a test run",
         [](Keys& k) { k.feed = QStringLiteral("file:///tmp/f.json"); }, false, false},
        {"file feed in a test run", [](Keys& k) { k.feed = QStringLiteral("file:///tmp/f.json"); },
         true, true},
        {"upper-case https", [](Keys& k) { k.feed = QStringLiteral("HTTPS://example.org/f"); },
         false, true},
        {"key of 31 bytes",
         [](Keys& k) { k.key = QString::fromLatin1(QByteArray(31, '\x11').toBase64()); }, false,
         false},
        {"key of 33 bytes",
         [](Keys& k) { k.key = QString::fromLatin1(QByteArray(33, '\x11').toBase64()); }, false,
         false},
        {"key not Base64", [](Keys& k) { k.key = QString(43, u'*') + u'='; }, false, false},
        {"no key", [](Keys& k) { k.key = QString(); }, false, false},
        {"no identifier", [](Keys& k) { k.identifier = QString(); }, false, false},
        {"build not a number", [](Keys& k) { k.build = QStringLiteral("12b"); }, false, false},
        {"build with a sign", [](Keys& k) { k.build = QStringLiteral("-3"); }, false, true},
        {"no build", [](Keys& k) { k.build = QString(); }, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Keys keys;
        row.change(keys);
        TempDir temp;
        temp.write(QStringLiteral("A.app/Contents/Info.plist"), infoPlist(keys));
        EXPECT_EQ(
            UpdateConfig::load(temp.filePath(QStringLiteral("A.app")), environment(row.testRun))
                .has_value(),
            row.loads);
    }
}

TEST(UpdateConfig, TheVersionFallsBackToTheBuild)
{
    Keys keys;
    keys.shortVersion.reset();
    TempDir temp;
    temp.write(QStringLiteral("A.app/Contents/Info.plist"), infoPlist(keys));
    EXPECT_EQ(
        UpdateConfig::load(temp.filePath(QStringLiteral("A.app")), environment(false))->version,
        "12");
}
