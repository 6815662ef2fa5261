#include "QuendrilCore/AddOnOutcome.h"
#include "QuendrilCore/AddOnRun.h"

#include <QString>

#include <gtest/gtest.h>

TEST(AddOnRun, OutcomeGivesTextOrOneMessage)
{
    const std::optional<QString> none;
    const struct {
        const char* name;
        AddOnRun run;
        AddOnOutcome expected;
    } rows[] = {
        {"could not start",
         AddOnRun::couldNotStart(u"Permission denied"_qs),
         {none, u"Name could not start: Permission denied"_qs}},
        {"too much output",
         AddOnRun::tooMuchOutput(),
         {none, u"Name printed more than 10 MB and was stopped"_qs}},
        {"timed out",
         AddOnRun::timedOut(5),
         {none, u"Name took more than 5 seconds and was stopped"_qs}},
        {"timed out, fraction",
         AddOnRun::timedOut(0.25),
         {none, u"Name took more than 0.25 seconds and was stopped"_qs}},
        {"exit 3 with an error line",
         AddOnRun::finished(3, "partial", "bad thing\n"),
         {none, u"Name: bad thing"_qs}},
        {"exit 3 silently", AddOnRun::finished(3, "partial"), {none, u"Name failed (exit 3)"_qs}},
        {"exit 3, blank error output",
         AddOnRun::finished(3, {}, " \t\n\r\n"),
         {none, u"Name failed (exit 3)"_qs}},
        {"signal", AddOnRun::finished(139, {}), {none, u"Name failed (exit 139)"_qs}},
        {"first non-blank error line, trimmed",
         AddOnRun::finished(1, {}, "\r\n \t first  \nsecond"),
         {none, u"Name: first"_qs}},
        {"invalid UTF-8 in errors replaced",
         AddOnRun::finished(1, {}, "bad \xff"),
         {none, u"Name: bad \uFFFD"_qs}},
        {"clean output", AddOnRun::finished(0, "hello\r\n\n\n"), {u"hello"_qs, none}},
        {"no output", AddOnRun::finished(0, {}), {QString(), none}},
        {"output with a warning",
         AddOnRun::finished(0, "x", "warning: y\nmore"),
         {u"x"_qs, u"Name: warning: y"_qs}},
        {"JSON output", AddOnRun::finished(0, "{\"a\":1}"), {u"{\n    \"a\": 1\n}"_qs, none}},
        {"control characters",
         AddOnRun::finished(0, "a\x1b"),
         {none, u"Name: the output has control characters, so nothing was added"_qs}},
        {"not text",
         AddOnRun::finished(0, "a\xff", "ignored"),
         {none, u"Name: the output is not text, so nothing was added"_qs}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.run.outcome(u"Name"_qs), row.expected);
    }
}

TEST(AddOnRun, ErrorLineEndsAtAnyLineBreak)
{
    for (const char* separator :
         {"\n", "\v", "\f", "\r", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9"}) {
        SCOPED_TRACE(separator);
        EXPECT_EQ(AddOnRun::finished(1, {}, QByteArray("one") + separator + "two").outcome(u"N"_qs),
                  (AddOnOutcome{std::nullopt, u"N: one"_qs}));
    }
}

TEST(AddOnRun, ErrorLineIsCutTo200Characters)
{
    const QString accented = u"e\u0301"_qs.repeated(250);
    const struct {
        const char* name;
        QString line;
        QString expected;
    } rows[] = {
        {"ASCII", QString(300, u'e'), QString(200, u'e')},
        {"exactly 200", QString(200, u'e'), QString(200, u'e')},
        {"combining marks stay with their letter", accented, accented.first(400)},
        {"no pair split", u"𝄞"_qs.repeated(201), u"𝄞"_qs.repeated(200)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AddOnRun::finished(1, {}, row.line.toUtf8()).outcome(u"N"_qs).message,
                  QString(u"N: "_qs + row.expected));
    }
}

TEST(AddOnOutcome, TextChangedMessage)
{
    EXPECT_EQ(AddOnOutcome::textChanged(u"Late"_qs),
              u"Late: the text changed, so nothing was added"_qs);
}
