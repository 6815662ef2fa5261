#include "QuendrilCore/Settings.h"

#include <QDir>

#include <gtest/gtest.h>

#include <limits>

TEST(Settings, DecodesMissingUnknownAndNullMembersAsTheDefaults)
{
    struct Row {
        const char* name;
        QByteArray json;
    };
    const Row rows[] = {
        {"empty object", "{}"},
        {"only unknown members", R"({"colour": "red", "tabs": 9})"},
        {"every member null", R"({"notes_folder": null, "global_shortcut": null,
            "new_sheet_shortcut": null, "font_face": null, "font_size": null, "theme": null,
            "tab_size": null, "line_numbers": null, "word_wrap": null, "start_at_login": null,
            "close_tabs_after_days": null, "update_automatically": null})"},
        {"surrounding white space", " \n{ }\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto settings = Settings::decode(row.json);
        ASSERT_TRUE(settings);
        EXPECT_EQ(*settings, Settings{});
    }
}

TEST(Settings, DefaultsAreTheDesignedValues)
{
    const Settings settings;
    EXPECT_EQ(settings.notesFolder, QStringLiteral("~/Quendrils"));
    EXPECT_EQ(settings.globalShortcut, QStringLiteral("ctrl+alt+s"));
    EXPECT_EQ(settings.newSheetShortcut, QStringLiteral("hyper+s"));
    EXPECT_EQ(settings.fontFace, QString());
    EXPECT_EQ(settings.fontSize, 16.0);
    EXPECT_EQ(settings.theme, QStringLiteral("Paper"));
    EXPECT_EQ(settings.tabSize, 4);
    EXPECT_FALSE(settings.lineNumbers);
    EXPECT_TRUE(settings.wordWrap);
    EXPECT_TRUE(settings.startAtLogin);
    EXPECT_EQ(settings.closeTabsAfterDays, 3);
    EXPECT_TRUE(settings.updateAutomatically);
}

TEST(Settings, TakesGivenMembersAsTheyAre)
{
    const auto partial = Settings::decode(R"({"theme": "Mariana", "line_numbers": true})");
    ASSERT_TRUE(partial);
    Settings expected;
    expected.theme = QStringLiteral("Mariana");
    expected.lineNumbers = true;
    EXPECT_EQ(*partial, expected);

    const auto full = Settings::decode(R"({"notes_folder": "/srv/notes", "global_shortcut": "",
        "new_sheet_shortcut": "  ", "font_face": "Iosevka", "font_size": 18, "theme": "x",
        "tab_size": -2, "line_numbers": true, "word_wrap": false, "start_at_login": false,
        "close_tabs_after_days": 0, "update_automatically": false, "tab_size_extra": "x"})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->notesFolder, QStringLiteral("/srv/notes"));
    EXPECT_EQ(full->globalShortcut, QString());
    EXPECT_EQ(full->newSheetShortcut, QStringLiteral("  "));
    EXPECT_EQ(full->fontFace, QStringLiteral("Iosevka"));
    EXPECT_EQ(full->fontSize, 18.0);
    EXPECT_EQ(full->tabSize, -2);
    EXPECT_TRUE(full->lineNumbers);
    EXPECT_FALSE(full->wordWrap);
    EXPECT_FALSE(full->startAtLogin);
    EXPECT_EQ(full->closeTabsAfterDays, 0);
    EXPECT_FALSE(full->updateAutomatically);

    EXPECT_EQ(Settings::decode(R"({"font_size": 12.75})")->fontSize, 12.75);
    EXPECT_EQ(Settings::decode(R"({"tab_size": 8.0})")->tabSize, 8);
}

TEST(Settings, RefusesBytesThatAreNotASettingsObject)
{
    struct Row {
        const char* name;
        QByteArray json;
        SettingsError error;
    };
    const Row rows[] = {
        {"empty bytes", "", SettingsError::notJSON},
        {"broken JSON", R"({"theme": "Paper")", SettingsError::notJSON},
        {"trailing garbage", "{} x", SettingsError::notJSON},
        {"array", "[]", SettingsError::notAnObject},
        {"tab size as a string", R"({"tab_size": "4"})", SettingsError::wrongType},
        {"tab size with a fraction", R"({"tab_size": 4.5})", SettingsError::wrongType},
        {"day count beyond an int", R"({"close_tabs_after_days": 3e10})", SettingsError::wrongType},
        {"font size as a string", R"({"font_size": "16"})", SettingsError::wrongType},
        {"font size as a boolean", R"({"font_size": true})", SettingsError::wrongType},
        {"boolean as a number", R"({"word_wrap": 1})", SettingsError::wrongType},
        {"boolean as a string", R"({"line_numbers": "true"})", SettingsError::wrongType},
        {"string as a number", R"({"theme": 3})", SettingsError::wrongType},
        {"string as an object", R"({"notes_folder": {}})", SettingsError::wrongType},
        {"one bad member among good ones", R"({"theme": "Mariana", "start_at_login": []})",
         SettingsError::wrongType},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto settings = Settings::decode(row.json);
        ASSERT_FALSE(settings);
        EXPECT_EQ(settings.error(), row.error);
    }
}

TEST(Settings, EncodesSortedPrettyJSONThatDecodesToTheSameRecord)
{
    const QByteArray bytes = Settings{}.encodedPretty();
    EXPECT_FALSE(bytes.endsWith('\n'));
    const QList<QByteArray> lines = bytes.split('\n');
    ASSERT_EQ(lines.size(), 14); // braces and one member per line
    EXPECT_EQ(lines.front(), "{");
    EXPECT_EQ(lines.back(), "}");
    const char* const order[] = {"close_tabs_after_days",
                                 "font_face",
                                 "font_size",
                                 "global_shortcut",
                                 "line_numbers",
                                 "new_sheet_shortcut",
                                 "notes_folder",
                                 "start_at_login",
                                 "tab_size",
                                 "theme",
                                 "update_automatically",
                                 "word_wrap"};
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(
            lines[i + 1].trimmed().startsWith(QByteArray(QByteArray("\"") + order[i] + "\"")))
            << lines[i + 1].constData();
    EXPECT_TRUE(bytes.contains(R"("~/Quendrils")")) << "slashes stay unescaped";
    EXPECT_EQ(Settings::decode(bytes), Settings{});

    Settings changed;
    changed.notesFolder = QStringLiteral("/home/ann/My \"notes\"/ü");
    changed.fontSize = 13.5;
    changed.tabSize = -1;
    changed.wordWrap = false;
    EXPECT_EQ(Settings::decode(changed.encodedPretty()), changed);
}

TEST(Settings, EncodesAFontSizeJSONCannotHoldAsAnEmptyObject)
{
    Settings settings;
    settings.fontSize = std::numeric_limits<double>::infinity();
    EXPECT_EQ(settings.encodedPretty(), "{}");
    settings.fontSize = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(settings.encodedPretty(), "{}");
}

TEST(Settings, ResolvesTheNotesFolderAgainstTheHomeFolder)
{
    struct Row {
        const char* name;
        QString notesFolder;
        QString expected;
    };
    const QString home = QStringLiteral("/home/ann");
    const Row rows[] = {
        {"default", QStringLiteral("~/Quendrils"), QStringLiteral("/home/ann/Quendrils")},
        {"home itself", QStringLiteral("~"), QStringLiteral("/home/ann")},
        {"home with a slash", QStringLiteral("~/"), QStringLiteral("/home/ann")},
        {"nested with a trailing slash", QStringLiteral("~/a/b/"), QStringLiteral("/home/ann/a/b")},
        {"absolute", QStringLiteral("/srv/notes"), QStringLiteral("/srv/notes")},
        {"tilde of another user is a relative name", QStringLiteral("~bob/x"),
         QDir::current().absoluteFilePath(QStringLiteral("~bob/x"))},
        {"relative", QStringLiteral("notes"),
         QDir::current().absoluteFilePath(QStringLiteral("notes"))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Settings settings;
        settings.notesFolder = row.notesFolder;
        EXPECT_EQ(settings.notesFolderURL(home), row.expected);
    }
}

TEST(Settings, TextSizeCommandsRoundThenStepWithinNineToThirtySix)
{
    struct Row {
        const char* name;
        double from;
        double bigger;
        double smaller;
    };
    const Row rows[] = {
        {"fraction below a half", 16.4, 17, 15},
        {"half rounds away from zero", 16.5, 18, 16},
        {"largest", 36, 36, 35},
        {"above the largest", 40.2, 36, 39},
        {"smallest", 9, 10, 9},
        {"rounds up to ten", 9.6, 11, 9},
        {"below the smallest", 3, 4, 9},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Settings::biggerFontSize(row.from), row.bigger);
        EXPECT_EQ(Settings::smallerFontSize(row.from), row.smaller);
    }
}
