#include "QuendrilPad/AppPaths.h"

#include "QuendrilCore/FileKeyStore.h"
#include "QuendrilPad/KeychainKeyStore.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Sets environment variables for one test and puts the old values back afterwards.
class Environment {
public:
    ~Environment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.constData(), value->constData(), 1);
            else
                ::unsetenv(name.constData());
        }
    }
    void set(const char* name, const std::optional<QString>& value)
    {
        if (!m_saved.contains(name))
            m_saved[name] =
                qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
        if (value)
            ::setenv(name, value->toUtf8().constData(), 1);
        else
            ::unsetenv(name);
    }

private:
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};

// A throwaway home with its config folder, where the real notes folders live for the test.
class AppPathsTest : public TempDirTest {
protected:
    void SetUp() override
    {
        environment.set("HOME", temp.path());
        environment.set("XDG_CONFIG_HOME", temp.filePath(QStringLiteral(".config")));
        environment.set("QUENDRIL_APP_SUPPORT", std::nullopt);
        environment.set("QUENDRIL_NOTES_FOLDER", std::nullopt);
    }

    void testRun(const QString& notes)
    {
        environment.set("QUENDRIL_APP_SUPPORT", temp.filePath(QStringLiteral("support")));
        environment.set("QUENDRIL_NOTES_FOLDER", notes);
    }

    void link(const QString& target, const QString& name) const
    {
        ASSERT_TRUE(QFile::link(target, temp.filePath(name)));
    }

    Environment environment;
};

} // namespace

TEST_F(AppPathsTest, WithoutOverridesTheKeyIsTheKeyringItem)
{
    EXPECT_EQ(AppPaths::keySource(), AppPaths::KeySource::keychain());
    const auto store = AppPaths::keyStore();
    const auto* keychain = dynamic_cast<const KeychainKeyStore*>(store.get());
    ASSERT_NE(keychain, nullptr);
    EXPECT_EQ(keychain->service(), QStringLiteral("local.quendrilpad"));
    EXPECT_EQ(keychain->account(), QStringLiteral("sheet-key"));
    EXPECT_EQ(AppPaths::appSupport(), temp.filePath(QStringLiteral(".config/quendril-pad")));
    EXPECT_EQ(AppPaths::notesFolder(Settings{}), temp.filePath(QStringLiteral("Quendrils")));
}

TEST_F(AppPathsTest, OneOverrideAloneLocksTheSheets)
{
    struct Row {
        const char* name;
        std::optional<QString> support;
        std::optional<QString> notes;
    };
    const QString folder = temp.mkdir(QStringLiteral("fresh"));
    const Row rows[] = {
        {"only the support folder", folder, std::nullopt},
        {"only the notes folder", std::nullopt, folder},
        {"notes folder empty", folder, QString()},
        {"support folder empty", QString(), folder},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        environment.set("QUENDRIL_APP_SUPPORT", row.support);
        environment.set("QUENDRIL_NOTES_FOLDER", row.notes);
        EXPECT_EQ(AppPaths::keySource(),
                  AppPaths::KeySource::refused(AppPaths::onlyOneOverride.toString()));
        EXPECT_EQ(AppPaths::keyStore(), nullptr);
    }

    environment.set("QUENDRIL_APP_SUPPORT", QString());
    environment.set("QUENDRIL_NOTES_FOLDER", QString());
    EXPECT_EQ(AppPaths::keySource(), AppPaths::KeySource::keychain())
        << "both empty count as unset";
}

TEST_F(AppPathsTest, ATestRunKeepsItsKeyInItsOwnSupportFolder)
{
    testRun(temp.filePath(QStringLiteral("notes")));
    const QString keyFile = temp.filePath(QStringLiteral("support/dev-sheet-key.txt"));
    EXPECT_EQ(AppPaths::keySource(), AppPaths::KeySource::devFile(keyFile));
    const auto store = AppPaths::keyStore();
    const auto* file = dynamic_cast<const FileKeyStore*>(store.get());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->url(), keyFile);

    EXPECT_EQ(AppPaths::appSupport(), temp.filePath(QStringLiteral("support")));
    Settings settings;
    settings.notesFolder = QStringLiteral("/elsewhere");
    EXPECT_EQ(AppPaths::notesFolder(settings), temp.filePath(QStringLiteral("notes")));
}

TEST_F(AppPathsTest, ATestRunOnARealNotesFolderIsRefused)
{
    temp.mkdir(QStringLiteral("Quendrils"));
    temp.mkdir(QStringLiteral("Configured"));
    temp.mkdir(QStringLiteral("other"));
    link(temp.filePath(QStringLiteral("Quendrils")), QStringLiteral("to-default"));
    link(temp.path(), QStringLiteral("to-home"));
    temp.write(QStringLiteral(".config/quendril-pad/settings.json"),
               R"({"notes_folder": "~/Configured"})");
    // The test run's own settings never make a folder real.
    temp.write(QStringLiteral("support/settings.json"), R"({"notes_folder": "~/other"})");

    struct Row {
        const char* name;
        QString notes;
        bool refused;
    };
    const Row rows[] = {
        {"default folder", temp.filePath(QStringLiteral("Quendrils")), true},
        {"default through a link", temp.filePath(QStringLiteral("to-default")), true},
        {"home through a link", temp.filePath(QStringLiteral("to-home/Quendrils")), true},
        {"trailing dot", temp.filePath(QStringLiteral("Quendrils/.")), true},
        {"trailing slash", temp.filePath(QStringLiteral("Quendrils/")), true},
        {"dot dot", temp.filePath(QStringLiteral("other/../Quendrils")), true},
        {"folder of the real settings", temp.filePath(QStringLiteral("Configured")), true},
        {"folder of the test run's settings", temp.filePath(QStringLiteral("other")), false},
        {"a folder inside the default", temp.filePath(QStringLiteral("Quendrils/sub")), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        testRun(row.notes);
        EXPECT_EQ(AppPaths::keySource().kind == AppPaths::KeySource::Kind::refused, row.refused);
        if (row.refused) {
            EXPECT_EQ(AppPaths::keySource().message,
                      AppPaths::overrideIsRealNotesFolder.toString());
        }
    }

    // Without a readable real settings file only the default folder is real.
    temp.write(QStringLiteral(".config/quendril-pad/settings.json"), R"({"notes_folder": 7})");
    testRun(temp.filePath(QStringLiteral("Configured")));
    EXPECT_EQ(AppPaths::keySource().kind, AppPaths::KeySource::Kind::devFile);
    testRun(temp.filePath(QStringLiteral("to-default/.")));
    EXPECT_EQ(AppPaths::keySource().kind, AppPaths::KeySource::Kind::refused);
}

TEST_F(AppPathsTest, TheDefaultNotesFolderIsRealBeforeItExists)
{
    testRun(temp.filePath(QStringLiteral("Quendrils")));
    EXPECT_EQ(AppPaths::keySource().kind, AppPaths::KeySource::Kind::refused);
    link(temp.filePath(QStringLiteral("Quendrils")), QStringLiteral("dangling"));
    testRun(temp.filePath(QStringLiteral("dangling/./")));
    EXPECT_EQ(AppPaths::keySource().kind, AppPaths::KeySource::Kind::refused)
        << "a link to the folder yet to be made";
}

TEST_F(AppPathsTest, TheConfigFolderFollowsXdgConfigHome)
{
    environment.set("XDG_CONFIG_HOME", temp.filePath(QStringLiteral("cfg")));
    EXPECT_EQ(AppPaths::defaultAppSupport(), temp.filePath(QStringLiteral("cfg/quendril-pad")));
    environment.set("XDG_CONFIG_HOME", QStringLiteral("relative/cfg"));
    EXPECT_EQ(AppPaths::defaultAppSupport(), temp.filePath(QStringLiteral(".config/quendril-pad")));
    environment.set("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(AppPaths::defaultAppSupport(), temp.filePath(QStringLiteral(".config/quendril-pad")));
}
