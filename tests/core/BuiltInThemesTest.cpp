#include "QuendrilCore/BuiltInThemes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

// One JSON value written as JSON text; nullptr where the member is absent.
struct Row {
    const char* key;
    const char* paper;
    const char* paperDark;
    const char* mariana;
    const char* light;
};

// Every value of the three themes, character for character.
const Row table[] = {
    {"name", "\"Paper\"", nullptr, "\"Mariana\"", "\"Light\""},
    {"background", "\"#FBF8F1\"", "\"#23211E\"", "\"hsl(210, 15%, 22%)\"", "\"hsl(40, 20%, 98%)\""},
    {"foreground", "\"#2B2A27\"", "\"#E6DFD2\"", "\"hsl(219, 28%, 88%)\"",
     "\"hsl(210, 15%, 20%)\""},
    {"caret", "\"#B4532A\"", "\"#E0915F\"", "\"hsl(32, 93%, 66%)\"", "\"hsl(28, 90%, 45%)\""},
    {"selection", "\"#F6E3A1\"", "\"#5A4A22\"", "\"hsla(210, 13%, 40%, 0.7)\"",
     "\"hsla(210, 40%, 80%, 0.7)\""},
    {"selection_border", "\"#E5CF7E\"", "\"#7A6530\"", "\"hsl(210, 13%, 45%)\"",
     "\"hsl(210, 30%, 70%)\""},
    {"find_highlight", "\"#F4D35E\"", "\"#7D6420\"", "\"hsl(40, 94%, 68%)\"",
     "\"hsl(45, 100%, 60%)\""},
    {"json_string", "\"#3D6B35\"", "\"#A8C79A\"", "\"hsl(114, 31%, 68%)\"",
     "\"hsl(114, 45%, 30%)\""},
    {"json_key", "\"#7A4A12\"", "\"#E0B47A\"", "\"hsl(180, 36%, 54%)\"", "\"hsl(185, 60%, 30%)\""},
    {"json_number", "\"#8E3B66\"", "\"#E3A3C4\"", "\"hsl(32, 93%, 66%)\"", "\"hsl(28, 85%, 40%)\""},
    {"json_literal", "\"#A33A2C\"", "\"#F09A8A\"", "\"hsl(357, 79%, 65%)\"",
     "\"hsl(357, 70%, 45%)\""},
    {"json_literal_italic", "false", nullptr, "true", "true"},
    {"json_punctuation", "\"#6B6458\"", "\"#A39B8D\"", "\"hsl(221, 12%, 69%)\"",
     "\"hsl(221, 10%, 45%)\""},
    {"json_bracket", "\"#2B2A27\"", "\"#E6DFD2\"", "\"hsl(0, 0%, 100%)\"",
     "\"hsl(210, 15%, 20%)\""},
    {"link", "\"#1F5A8A\"", "\"#8FB9E3\"", "\"hsl(210, 50%, 60%)\"", "\"hsl(210, 70%, 40%)\""},
    {"code_keyword", "\"#7B3F8C\"", "\"#D2A8E0\"", "\"hsl(300, 30%, 68%)\"",
     "\"hsl(300, 40%, 40%)\""},
    {"code_command", "\"#1F5A8A\"", "\"#8FB9E3\"", "\"hsl(210, 50%, 60%)\"",
     "\"hsl(210, 70%, 40%)\""},
    {"code_variable", "\"#A3471B\"", "\"#F0A878\"", "\"hsl(13, 93%, 66%)\"",
     "\"hsl(13, 80%, 45%)\""},
    {"code_comment", "\"#6B6458\"", "\"#A39B8D\"", "\"hsl(221, 12%, 69%)\"",
     "\"hsl(221, 10%, 50%)\""},
    {"tab_bar", "\"#F1ECE0\"", "\"#1A1916\"", nullptr, nullptr},
    {"status_line", "\"#F1ECE0\"", "\"#1A1916\"", nullptr, nullptr},
    {"font", "\"New York\"", nullptr, nullptr, nullptr},
    {"line_spacing", "1.6", nullptr, nullptr, nullptr},
    {"margin", "56", nullptr, nullptr, nullptr},
};

QJsonValue valueOf(const char* json)
{
    return QJsonDocument::fromJson(QByteArray("[") + json + "]").array().at(0);
}

// Compares one theme's JSON object with one column of the table.
void expectColumn(const QJsonObject& object, const char* Row::*column)
{
    QStringList expectedKeys;
    for (const Row& row : table) {
        SCOPED_TRACE(row.key);
        const char* expected = row.*column;
        if (!expected) {
            EXPECT_FALSE(object.contains(row.key));
            continue;
        }
        expectedKeys << row.key;
        ASSERT_FALSE(valueOf(expected).isUndefined()) << expected;
        EXPECT_EQ(object.value(row.key), valueOf(expected)) << "expected " << expected;
    }
    QStringList keys = object.keys();
    keys.removeOne("dark");
    expectedKeys.sort();
    EXPECT_EQ(keys, expectedKeys);
}

QJsonObject decodedPretty(const Theme& theme)
{
    const QByteArray bytes = theme.encodedPretty();
    const Result<Theme, ThemeError> back = Theme::decode(bytes);
    EXPECT_TRUE(back.has_value());
    if (back.has_value()) {
        EXPECT_EQ(*back, theme);
    }
    return QJsonDocument::fromJson(bytes).object();
}

} // namespace

TEST(BuiltInThemes, HoldEveryValueOfTheTable)
{
    const QList<Theme> all = BuiltInThemes::all();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0], BuiltInThemes::paper());
    EXPECT_EQ(all[1], BuiltInThemes::mariana());
    EXPECT_EQ(all[2], BuiltInThemes::light());

    {
        SCOPED_TRACE("Paper");
        const QJsonObject paper = decodedPretty(all[0]);
        expectColumn(paper, &Row::paper);
        ASSERT_TRUE(paper.value("dark").isObject());
        SCOPED_TRACE("Paper, dark");
        expectColumn(paper.value("dark").toObject(), &Row::paperDark);
    }
    {
        SCOPED_TRACE("Mariana");
        const QJsonObject mariana = decodedPretty(all[1]);
        expectColumn(mariana, &Row::mariana);
        EXPECT_FALSE(mariana.contains("dark"));
    }
    {
        SCOPED_TRACE("Light");
        const QJsonObject light = decodedPretty(all[2]);
        expectColumn(light, &Row::light);
        EXPECT_FALSE(light.contains("dark"));
    }
    for (const Theme& theme : all)
        EXPECT_TRUE(theme.isValid()) << theme.name.toStdString();
}
