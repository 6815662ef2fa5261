#include "QuendrilCore/ColorParser.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

void expectColor(const std::optional<RGBA>& actual, const RGBA& expected)
{
    ASSERT_TRUE(actual.has_value());
    EXPECT_NEAR(actual->r, expected.r, 1e-12);
    EXPECT_NEAR(actual->g, expected.g, 1e-12);
    EXPECT_NEAR(actual->b, expected.b, 1e-12);
    EXPECT_NEAR(actual->a, expected.a, 1e-12);
}

constexpr RGBA green{0, 1, 0, 1};

} // namespace

TEST(ColorParser, ParsesTheGrammar)
{
    struct Row {
        const char* name;
        QString text;
        RGBA expected;
    };
    const Row rows[] = {
        {"six hex digits", u"#FBF8F1"_qs, {251 / 255.0, 248 / 255.0, 241 / 255.0, 1}},
        {"lower case with blanks", u" \t#fbf8f1  "_qs, {251 / 255.0, 248 / 255.0, 241 / 255.0, 1}},
        {"eight hex digits", u"#FBF8F180"_qs, {251 / 255.0, 248 / 255.0, 241 / 255.0, 128 / 255.0}},
        {"white", u"hsl(0, 0%, 100%)"_qs, {1, 1, 1, 1}},
        {"green", u"hsl(120, 100%, 50%)"_qs, green},
        {"green in upper case", u"HSL(120, 100%, 50%)"_qs, green},
        {"hue -240 wraps", u"hsl(-240, 100%, 50%)"_qs, green},
        {"hue 480 wraps", u"hsl(480, 100%, 50%)"_qs, green},
        {"hue -30 is 330", u"hsl(-30, 100%, 50%)"_qs, {1, 0, 0.5, 1}},
        {"sector 0", u"hsl(30, 100%, 50%)"_qs, {1, 0.5, 0, 1}},
        {"sector 1", u"hsl(90, 100%, 50%)"_qs, {0.5, 1, 0, 1}},
        {"sector 2", u"hsl(150, 100%, 50%)"_qs, {0, 1, 0.5, 1}},
        {"sector 3", u"hsl(210, 100%, 50%)"_qs, {0, 0.5, 1, 1}},
        {"sector 4", u"hsl(270, 100%, 50%)"_qs, {0.5, 0, 1, 1}},
        {"sector 5", u"hsl(330, 100%, 50%)"_qs, {1, 0, 0.5, 1}},
        {"muted", u"hsl(210, 15%, 22%)"_qs, {0.187, 0.22, 0.253, 1}},
        {"saturation 150% is clamped", u"hsl(120, 150%, 50%)"_qs, green},
        {"negative saturation is clamped", u"hsl(120, -20%, 50%)"_qs, {0.5, 0.5, 0.5, 1}},
        {"lightness over 100% is white", u"hsl(120, 100%, 300%)"_qs, {1, 1, 1, 1}},
        {"opacity 0", u"hsla(120, 100%, 50%, 0)"_qs, {0, 1, 0, 0}},
        {"opacity 1", u"hsla(120, 100%, 50%, 1)"_qs, green},
        {"opacity with a leading point", u"hsla(120, 100%, 50%, .5)"_qs, {0, 1, 0, 0.5}},
        {"exponent in a percentage", u"hsl(120, 1e2%, 50%)"_qs, green},
        {"exponent in the hue", u"hsl(1.2E2, 100%, 50%)"_qs, green},
        {"signed hue", u"hsl(+120, 100%, 50%)"_qs, green},
        {"trailing point", u"hsl(120., 100.%, 50%)"_qs, green},
        {"blanks inside", u"hsl( 120 ,\t100% , 50% )"_qs, green},
        {"two commas count as one", u"hsl(120,, 100%,50%)"_qs, green},
        {"an empty piece at the end is skipped", u"hsl(120, 100%, 50%,)"_qs, green},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        expectColor(ColorParser::parse(row.text), row.expected);
    }
}

TEST(ColorParser, RefusesEverythingElse)
{
    struct Row {
        const char* name;
        QString text;
    };
    const Row rows[] = {
        {"empty", u""_qs},
        {"blanks only", u"  "_qs},
        {"three hex digits", u"#FFF"_qs},
        {"five hex digits", u"#FFFFF"_qs},
        {"seven hex digits", u"#FFFFFFF"_qs},
        {"nine hex digits", u"#FFFFFFFFF"_qs},
        {"not all hex digits", u"#FFGFFF"_qs},
        {"no hash", u"FBF8F1"_qs},
        {"blank after the hash", u"# FBF8F1"_qs},
        {"newline is not a blank", u"\n#FBF8F1"_qs},
        {"colour name", u"blue"_qs},
        {"rgb form", u"rgb(0, 255, 0)"_qs},
        {"saturation without %", u"hsl(120, 100, 50%)"_qs},
        {"lightness without %", u"hsl(120, 100%, 50)"_qs},
        {"blank before %", u"hsl(120, 50 %, 50%)"_qs},
        {"percent hue", u"hsl(120%, 100%, 50%)"_qs},
        {"parts separated by spaces", u"hsl(120 100% 50%)"_qs},
        {"hsla with three parts", u"hsla(120, 100%, 50%)"_qs},
        {"hsl with four parts", u"hsl(120, 100%, 50%, 1)"_qs},
        {"an empty part of blanks", u"hsl(120, , 100%, 50%)"_qs},
        {"no parts", u"hsl()"_qs},
        {"no closing parenthesis", u"hsl(120, 100%, 50%"_qs},
        {"blank before the parenthesis", u"hsl (120, 100%, 50%)"_qs},
        {"text after the parenthesis", u"hsl(120, 100%, 50%)x"_qs},
        {"extra parenthesis", u"hsl(120, 100%, 50%))"_qs},
        {"opacity 1.5", u"hsla(120, 100%, 50%, 1.5)"_qs},
        {"negative opacity", u"hsla(120, 100%, 50%, -0.1)"_qs},
        {"percentage opacity", u"hsla(120, 100%, 50%, 50%)"_qs},
        {"hex number", u"hsl(0x10, 100%, 50%)"_qs},
        {"infinite hue", u"hsl(inf, 100%, 50%)"_qs},
        {"NaN hue", u"hsl(nan, 100%, 50%)"_qs},
        {"hue too large for a double", u"hsl(1e999, 100%, 50%)"_qs},
        {"lone point", u"hsl(., 100%, 50%)"_qs},
        {"exponent without digits", u"hsl(1e, 100%, 50%)"_qs},
        {"two signs", u"hsl(--1, 100%, 50%)"_qs},
        {"decimal comma", u"hsla(120, 100%, 50%, 0;5)"_qs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ColorParser::parse(row.text), std::nullopt);
    }
}

TEST(RGBA, ContrastFollowsWCAG)
{
    const RGBA white{1, 1, 1, 1};
    const RGBA black{0, 0, 0, 1};
    const RGBA grey{0.5, 0.5, 0.5, 0.2};
    EXPECT_DOUBLE_EQ(white.contrast(black), 21.0);
    EXPECT_DOUBLE_EQ(black.contrast(white), 21.0);
    EXPECT_DOUBLE_EQ(grey.contrast(grey), 1.0);
    // Mid grey (0.5 linearises to 0.21404) against white, with the opacity ignored.
    EXPECT_NEAR(grey.contrast(white), 1.05 / (0.2140411 + 0.05), 1e-5);
}
