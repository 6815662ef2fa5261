#include "QuendrilCore/AddOn.h"

#include <QString>

#include <gtest/gtest.h>

using Problem = AddOn::HeaderProblem;
using Parsed = Result<std::optional<AddOn>, Problem>;

namespace {
Parsed addOn(const QString& name, AddOn::Input input, std::optional<QString> showWhen = {})
{
    return std::optional<AddOn>(AddOn{name, input, std::move(showWhen)});
}
const Parsed none = std::optional<AddOn>();
} // namespace

TEST(AddOn, ParsesHeaders)
{
    const QString twentyLines = u"#\n"_qs.repeated(19);
    const struct {
        const char* name;
        QString header;
        Parsed expected;
    } rows[] = {
        {"all three keys",
         u"# name: Shout\n# input: selection\n# show-when: ^[a-z]+$\ntr a-z A-Z"_qs,
         addOn(u"Shout"_qs, AddOn::Input::selection, u"^[a-z]+$"_qs)},
        {"interpreter line skipped", u"#!/bin/sh\n# name: Linked\n# show-when: ^hello$\ncat\n"_qs,
         addOn(u"Linked"_qs, AddOn::Input::selection, u"^hello$"_qs)},
        {"link input, no pattern", u"# name: Echo Link\n# input: link\ncat"_qs,
         addOn(u"Echo Link"_qs, AddOn::Input::link)},
        {"slashes, key case and spaces", u"  //  Name : Two  Words \t\n// INPUT: Link\n"_qs,
         addOn(u"Two  Words"_qs, AddOn::Input::link)},
        {"CR LF lines", u"#!/bin/sh\r\n# name: Crlf\r\n# show-when: x\r\n"_qs,
         addOn(u"Crlf"_qs, AddOn::Input::selection, u"x"_qs)},
        {"no-break space trimmed", u"#\u00a0name:\u2003Wide\u00a0\n"_qs,
         addOn(u"Wide"_qs, AddOn::Input::selection)},
        {"value keeps its colons", u"# name: a: b\n"_qs,
         addOn(u"a: b"_qs, AddOn::Input::selection)},
        {"other lines do not end the header", u"echo hi\n\n# name: Late\n"_qs,
         addOn(u"Late"_qs, AddOn::Input::selection)},
        {"first name wins", u"# name: First\n# name: Second\n"_qs,
         addOn(u"First"_qs, AddOn::Input::selection)},
        {"first input wins", u"# name: N\n# input: link\n# input: text\n"_qs,
         addOn(u"N"_qs, AddOn::Input::link)},
        {"empty show-when is none", u"# name: N\n# show-when:   \n"_qs,
         addOn(u"N"_qs, AddOn::Input::selection)},
        {"unknown keys ignored", u"# author: me\n# name: N\n"_qs,
         addOn(u"N"_qs, AddOn::Input::selection)},
        {"name on line 20", twentyLines + u"# name: N"_qs, addOn(u"N"_qs, AddOn::Input::selection)},
        {"name on line 21", twentyLines + u"#\n# name: N"_qs, none},
        {"no name", u"# input: link\n"_qs, none},
        {"empty name", u"# name:  \n# input: nonsense\n# show-when: (\n"_qs, none},
        {"first name empty", u"# name:\n# name: Second\n"_qs, none},
        {"key without comment mark", u"name: Bare\n"_qs, none},
        {"unknown input", u"# name: N\n# input: Text\n"_qs,
         unexpected(Problem{Problem::Kind::unknownInput, u"Text"_qs})},
        {"input checked before pattern", u"# name: N\n# input: text\n# show-when: (\n"_qs,
         unexpected(Problem{Problem::Kind::unknownInput, u"text"_qs})},
        {"bad pattern", u"# name: N\n# show-when: (\n"_qs,
         unexpected(Problem{Problem::Kind::badPattern, u"("_qs})},
        {"bad ICU class", u"# name: N\n# show-when: [[:nope:]]\n"_qs,
         unexpected(Problem{Problem::Kind::badPattern, u"[[:nope:]]"_qs})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AddOn::parse(row.header), row.expected);
    }
}

TEST(AddOn, OffersOnlyForMatchingInput)
{
    const QString thousandA(1000, u'a');
    const struct {
        const char* name;
        std::optional<QString> pattern;
        QString input;
        bool expected;
    } rows[] = {
        {"lower-case word", u"^[a-z]+$"_qs, u"hello"_qs, true},
        {"digits refused", u"^[a-z]+$"_qs, u"123"_qs, false},
        {"searched anywhere", u"[0-9]"_qs, u"abc 7 def"_qs, true},
        {"anchors decide", u"^b"_qs, u"ab"_qs, false},
        {"ICU property", u"\\p{Greek}"_qs, u"x λ"_qs, true},
        {"no pattern", std::nullopt, u"anything"_qs, true},
        {"empty input", std::nullopt, QString(), false},
        {"longest input", std::nullopt, QString(AddOn::maxInput, u'a'), true},
        {"too long input", std::nullopt, QString(AddOn::maxInput + 1, u'a'), false},
        {"too long input with pattern", u"a"_qs, QString(AddOn::maxInput + 1, u'a'), false},
        {"thousand a", u"^a{1000}"_qs, thousandA + u"b"_qs, true},
        {"999 a", u"^a{1000}"_qs, thousandA.first(999) + u"b"_qs, false},
        {"not compiling", u"("_qs, u"("_qs, false},
        // Exponential backtracking gives up instead of hanging the menu.
        {"runaway pattern", u"^(a+)+$"_qs, QString(40, u'a') + u"!"_qs, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const AddOn addOn{u"N"_qs, AddOn::Input::selection, row.pattern};
        EXPECT_EQ(addOn.applies(row.input), row.expected);
    }
}

TEST(AddOn, InputHasItsStringValue)
{
    EXPECT_EQ(AddOn::inputValue(AddOn::Input::selection), u"selection"_qs);
    EXPECT_EQ(AddOn::inputValue(AddOn::Input::link), u"link"_qs);
}
