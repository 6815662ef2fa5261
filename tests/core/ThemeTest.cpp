#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilCore/ColorParser.h"
#include "QuendrilCore/Theme.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

using Kind = ThemeError::Kind;

// The smallest valid theme file: the name, the twelve required colours and the italic flag.
QJsonObject minimalTheme()
{
    return QJsonObject{
        {"name", "Mine"},
        {"background", "#101010"},
        {"foreground", "#EEEEEE"},
        {"caret", "#FF8800"},
        {"selection", "hsla(210, 13%, 40%, 0.7)"},
        {"selection_border", "#444444"},
        {"find_highlight", "#FFDD00"},
        {"json_string", "#00AA00"},
        {"json_key", "#00AAAA"},
        {"json_number", "#AA00AA"},
        {"json_literal", "#AA0000"},
        {"json_literal_italic", true},
        {"json_punctuation", "#888888"},
        {"json_bracket", "#FFFFFF"},
    };
}

QByteArray bytesOf(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

Theme decodeOrFail(const QJsonObject& object)
{
    const Result<Theme, ThemeError> theme = Theme::decode(bytesOf(object));
    EXPECT_TRUE(theme.has_value()) << "error key " << theme.error().key.toStdString();
    return theme.has_value() ? *theme : Theme{};
}

Theme minimalWith(std::function<void(QJsonObject&)> change)
{
    QJsonObject object = minimalTheme();
    change(object);
    return decodeOrFail(object);
}

void expectColor(const RGBA& actual, QStringView expected)
{
    const std::optional<RGBA> colour = ColorParser::parse(expected);
    ASSERT_TRUE(colour.has_value()) << expected.toString().toStdString();
    EXPECT_EQ(actual, *colour) << "expected " << expected.toString().toStdString();
}

} // namespace

TEST(Theme, DecodesRequiredAndOptionalMembers)
{
    const Theme minimal = decodeOrFail(minimalTheme());
    EXPECT_EQ(minimal.name, u"Mine"_qs);
    EXPECT_EQ(minimal.selection, u"hsla(210, 13%, 40%, 0.7)"_qs);
    EXPECT_TRUE(minimal.jsonLiteralItalic);
    EXPECT_EQ(minimal.link, std::nullopt);
    EXPECT_EQ(minimal.margin, std::nullopt);
    EXPECT_FALSE(minimal.hasDarkVariant());

    // Null optional members are absent; unknown members are ignored.
    const Theme withNulls = minimalWith([](QJsonObject& o) {
        o["link"] = QJsonValue::Null;
        o["font"] = QJsonValue::Null;
        o["margin"] = QJsonValue::Null;
        o["dark"] = QJsonValue::Null;
        o["comment"] = "not a member";
    });
    EXPECT_EQ(withNulls, minimal);

    const Theme full = minimalWith([](QJsonObject& o) {
        o["link"] = "#0000FF";
        o["status_line"] = "#202020";
        o["font"] = "Fira Code";
        o["line_spacing"] = 1.25;
        o["margin"] = 12;
        o["dark"] = QJsonObject{{"background", "#000000"},
                                {"json_literal_italic", false},
                                {"code_comment", QJsonValue::Null}};
    });
    EXPECT_EQ(full.link, u"#0000FF"_qs);
    EXPECT_EQ(full.statusLine, u"#202020"_qs);
    EXPECT_EQ(full.font, u"Fira Code"_qs);
    EXPECT_EQ(full.lineSpacing, 1.25);
    EXPECT_EQ(full.margin, 12.0);
    ThemeColors dark;
    dark.background = u"#000000"_qs;
    dark.jsonLiteralItalic = false;
    EXPECT_EQ(full.dark, dark);
}

TEST(Theme, DecodeRefusesBadFiles)
{
    struct Row {
        const char* name;
        std::function<void(QJsonObject&)> change;
        ThemeError expected;
    };
    const Row rows[] = {
        {"no name", [](QJsonObject& o) { o.remove("name"); }, {Kind::missingMember, u"name"_qs}},
        {"no json_bracket",
         [](QJsonObject& o) { o.remove("json_bracket"); },
         {Kind::missingMember, u"json_bracket"_qs}},
        {"no italic flag",
         [](QJsonObject& o) { o.remove("json_literal_italic"); },
         {Kind::missingMember, u"json_literal_italic"_qs}},
        {"null required colour",
         [](QJsonObject& o) { o["caret"] = QJsonValue::Null; },
         {Kind::wrongType, u"caret"_qs}},
        {"italic flag as text",
         [](QJsonObject& o) { o["json_literal_italic"] = "true"; },
         {Kind::wrongType, u"json_literal_italic"_qs}},
        {"name as number", [](QJsonObject& o) { o["name"] = 3; }, {Kind::wrongType, u"name"_qs}},
        {"link as number", [](QJsonObject& o) { o["link"] = 255; }, {Kind::wrongType, u"link"_qs}},
        {"margin as text",
         [](QJsonObject& o) { o["margin"] = "56"; },
         {Kind::wrongType, u"margin"_qs}},
        {"dark as array",
         [](QJsonObject& o) { o["dark"] = QJsonArray{}; },
         {Kind::wrongType, u"dark"_qs}},
        {"dark background as number",
         [](QJsonObject& o) {
             o["dark"] = QJsonObject{{"background", 0}};
         },
         {Kind::wrongType, u"dark.background"_qs}},
        {"dark italic as text",
         [](QJsonObject& o) {
             o["dark"] = QJsonObject{{"json_literal_italic", "no"}};
         },
         {Kind::wrongType, u"dark.json_literal_italic"_qs}},
        {"link is a colour name",
         [](QJsonObject& o) { o["link"] = "blue"; },
         {Kind::badColor, u"link"_qs}},
        {"bad dark background",
         [](QJsonObject& o) {
             o["dark"] = QJsonObject{{"background", "#12345"}};
         },
         {Kind::badColor, u"dark.background"_qs}},
        {"first bad colour in order wins",
         [](QJsonObject& o) {
             o["dark"] = QJsonObject{{"background", "x"}};
             o["code_comment"] = "x";
             o["json_bracket"] = "x";
         },
         {Kind::badColor, u"json_bracket"_qs}},
        {"optional colours before dark ones",
         [](QJsonObject& o) {
             o["dark"] = QJsonObject{{"background", "x"}};
             o["status_line"] = "x";
         },
         {Kind::badColor, u"status_line"_qs}},
        {"a form error comes before a bad colour",
         [](QJsonObject& o) {
             o["background"] = "x";
             o["dark"] = QJsonObject{{"link", true}};
         },
         {Kind::wrongType, u"dark.link"_qs}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QJsonObject object = minimalTheme();
        row.change(object);
        const Result<Theme, ThemeError> theme = Theme::decode(bytesOf(object));
        ASSERT_FALSE(theme.has_value());
        EXPECT_EQ(theme.error(), row.expected) << "got key " << theme.error().key.toStdString();
        EXPECT_EQ(theme.error().isDecodingError(), row.expected.kind != Kind::badColor);
    }

    EXPECT_EQ(Theme::decode("{\"name\": ").error().kind, Kind::notJSON);
    EXPECT_EQ(Theme::decode("").error().kind, Kind::notJSON);
    EXPECT_EQ(Theme::decode("[1, 2]").error().kind, Kind::notAnObject);
}

TEST(Theme, ColorFieldsListRequiredThenOptionalThenDark)
{
    const Theme theme = minimalWith([](QJsonObject& o) {
        o["status_line"] = "#000001";
        o["link"] = "#000002";
        o["font"] = "Not a colour";
        o["dark"] = QJsonObject{
            {"code_command", "#000003"}, {"json_literal_italic", false}, {"foreground", "#000004"}};
    });
    QStringList keys;
    for (const auto& [key, colour] : theme.colorFields())
        keys << key;
    EXPECT_EQ(keys, (QStringList{"background", "foreground", "caret", "selection",
                                 "selection_border", "find_highlight", "json_string", "json_key",
                                 "json_number", "json_literal", "json_punctuation", "json_bracket",
                                 "link", "status_line", "dark.foreground", "dark.code_command"}));
    EXPECT_EQ(theme.colorFields().last().second, u"#000003"_qs);
    EXPECT_TRUE(theme.isValid());

    Theme broken = theme;
    broken.dark->foreground = u"#XYZXYZ"_qs;
    EXPECT_FALSE(broken.isValid());
}

TEST(Theme, DerivedTextValues)
{
    struct Row {
        const char* name;
        std::function<void(QJsonObject&)> change;
        QString font;
        double lineSpacing;
        double margin;
    };
    const Row rows[] = {
        {"defaults", [](QJsonObject&) {}, u"Menlo"_qs, 1.0, 6.0},
        {"in range",
         [](QJsonObject& o) {
             o["font"] = "  Fira Code\t";
             o["line_spacing"] = 1.6;
             o["margin"] = 56;
         },
         u"Fira Code"_qs, 1.6, 56.0},
        {"below the bounds",
         [](QJsonObject& o) {
             o["font"] = "   ";
             o["line_spacing"] = 0.5;
             o["margin"] = -5;
         },
         u"Menlo"_qs, 0.8, 0.0},
        {"above the bounds",
         [](QJsonObject& o) {
             o["line_spacing"] = 10;
             o["margin"] = 500;
         },
         u"Menlo"_qs, 3.0, 200.0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Theme theme = minimalWith(row.change);
        EXPECT_EQ(theme.textFont(), row.font);
        EXPECT_DOUBLE_EQ(theme.textLineSpacing(), row.lineSpacing);
        EXPECT_DOUBLE_EQ(theme.textMargin(), row.margin);
    }

    Theme notANumber = decodeOrFail(minimalTheme());
    notANumber.margin = std::numeric_limits<double>::quiet_NaN();
    notANumber.lineSpacing = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(notANumber.textMargin(), 0.0);
    EXPECT_EQ(notANumber.textLineSpacing(), 1.0);
}

TEST(Theme, EncodesPrettyAndDecodesBack)
{
    const Theme theme = minimalWith([](QJsonObject& o) {
        o["font"] = "Fonts/Mono";
        o["line_spacing"] = 1.3;
        o["margin"] = 0;
        o["code_variable"] = "#123456";
        o["dark"] = QJsonObject{};
    });
    const QByteArray bytes = theme.encodedPretty();
    EXPECT_TRUE(bytes.contains("\"Fonts/Mono\"")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\n    \"")) << "not indented";
    EXPECT_FALSE(bytes.contains("\"link\""));
    const Result<Theme, ThemeError> back = Theme::decode(bytes);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, theme);
    EXPECT_TRUE(back->hasDarkVariant());

    Theme infinite = theme;
    infinite.lineSpacing = std::numeric_limits<double>::infinity();
    EXPECT_EQ(infinite.encodedPretty(), QByteArray());
}

TEST(Theme, BadColourStringsAreMagenta)
{
    const RGBA magenta{1, 0, 1, 1};
    EXPECT_EQ(Theme::rgba(u"blue"), magenta);
    EXPECT_EQ(Theme::rgba(u""), magenta);
    EXPECT_EQ(Theme::rgba(u"#00FF0080"), (RGBA{0, 1, 0, 128 / 255.0}));
}

TEST(Theme, ResolvesForTheAppearance)
{
    const Theme& paper = BuiltInThemes::paper();
    const Theme night = paper.resolved(Theme::Appearance::dark);
    EXPECT_EQ(night.background, u"#23211E"_qs);
    EXPECT_EQ(night.tabBar, u"#1A1916"_qs);
    EXPECT_EQ(night.codeVariable, u"#F0A878"_qs);
    EXPECT_EQ(night.name, u"Paper"_qs);
    EXPECT_EQ(night.font, u"New York"_qs);
    EXPECT_EQ(night.lineSpacing, 1.6);
    EXPECT_EQ(night.margin, 56.0);
    EXPECT_FALSE(night.jsonLiteralItalic);
    EXPECT_FALSE(night.hasDarkVariant());

    Theme paperWithoutDark = paper;
    paperWithoutDark.dark.reset();
    EXPECT_EQ(paper.resolved(Theme::Appearance::light), paperWithoutDark);

    const Theme mariana = BuiltInThemes::mariana();
    EXPECT_EQ(mariana.resolved(Theme::Appearance::dark), mariana);

    // Only members present in the overrides change, the italic flag among them.
    const Theme partial = minimalWith([](QJsonObject& o) {
        o["dark"] = QJsonObject{{"json_literal_italic", false}, {"link", "#0000FF"}};
    });
    const Theme partialNight = partial.resolved(Theme::Appearance::dark);
    EXPECT_FALSE(partialNight.jsonLiteralItalic);
    EXPECT_EQ(partialNight.link, u"#0000FF"_qs);
    EXPECT_EQ(partialNight.background, partial.background);
    EXPECT_EQ(partialNight.link, u"#0000FF"_qs);
}

TEST(Theme, OptionalColoursFallBackInFourSteps)
{
    struct Row {
        const char* name;
        std::function<void(QJsonObject&)> change;
        std::optional<QString> Theme::*field;
        QString Theme::*fallback;
        QString expected;
    };
    const Row rows[] = {
        {"own colour", [](QJsonObject& o) { o["link"] = "#0000FF"; }, &Theme::link, &Theme::jsonKey,
         u"#0000FF"_qs},
        {"built-in namesake in another case", [](QJsonObject& o) { o["name"] = "paper"; },
         &Theme::link, &Theme::jsonKey, u"#1F5A8A"_qs},
        {"namesake beats brightness",
         [](QJsonObject& o) {
             o["name"] = "MARIANA";
             o["background"] = "#FFFFFF";
         },
         &Theme::codeKeyword, &Theme::jsonLiteral, u"hsl(300, 30%, 68%)"_qs},
        {"dark page takes Mariana's", [](QJsonObject&) {}, &Theme::codeComment,
         &Theme::jsonPunctuation, u"hsl(221, 12%, 69%)"_qs},
        {"light page takes Light's", [](QJsonObject& o) { o["background"] = "#F0F0F0"; },
         &Theme::codeComment, &Theme::jsonPunctuation, u"hsl(221, 10%, 50%)"_qs},
        {"unparsable page counts as dark", [](QJsonObject& o) { o["background"] = "hsl(1, 2, 3)"; },
         &Theme::codeVariable, &Theme::jsonNumber, u"hsl(13, 93%, 66%)"_qs},
        {"no base colour gives the fallback", [](QJsonObject&) {}, &Theme::tabBar, &Theme::jsonKey,
         u"#00AAAA"_qs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QJsonObject object = minimalTheme();
        row.change(object);
        // Decoding would refuse the unparsable page, so build the theme by hand there.
        Result<Theme, ThemeError> decoded = Theme::decode(bytesOf(object));
        Theme theme = decoded.has_value() ? *decoded : decodeOrFail(minimalTheme());
        if (!decoded.has_value())
            theme.background = object["background"].toString();
        expectColor(theme.optionalColor(row.field, row.fallback), row.expected);
    }

    Theme unparsable = decodeOrFail(minimalTheme());
    unparsable.link = u"blue"_qs;
    expectColor(unparsable.linkColor(), u"#00AAAA");
    unparsable.jsonKey = u"teal"_qs;
    EXPECT_EQ(unparsable.linkColor(), (RGBA{1, 0, 1, 1}));
}
