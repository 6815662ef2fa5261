#include "QuendrilCore/LinkFinder.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

QStringList linkTexts(const QString& text)
{
    QStringList out;
    for (const FoundLink& link : LinkFinder::links(text, {0, text.size()}))
        out << text.sliced(link.range.location, link.range.length);
    return out;
}

} // namespace

TEST(LinkFinder, EndsLinksWhereProseResumes)
{
    struct Row {
        const char* name;
        QString text;
        QStringList links;
    } rows[] = {
        {"final slash kept",
         u"Pay at https://shop.example/pay/ today"_qs,
         {u"https://shop.example/pay/"_qs}},
        {"full stop dropped", u"See http://a.example/x."_qs, {u"http://a.example/x"_qs}},
        {"bracket and comma dropped",
         u"(see http://a.example/x), then"_qs,
         {u"http://a.example/x"_qs}},
        {"balanced bracket kept",
         u"http://w.example/Page_(film) and"_qs,
         {u"http://w.example/Page_(film)"_qs}},
        {"trailing punctuation after a balanced bracket",
         u"http://w.example/a_(b)!?"_qs,
         {u"http://w.example/a_(b)"_qs}},
        {"unbalanced square and curly closers",
         u"[http://a.example/x]} x"_qs,
         {u"http://a.example/x"_qs}},
        {"capital and mixed-case schemes",
         u"HTTPS://A.EXAMPLE and Http://b.example"_qs,
         {u"HTTPS://A.EXAMPLE"_qs, u"Http://b.example"_qs}},
        {"scheme glued to a letter", u"xhttp://a.example"_qs, {}},
        {"glued to a digit or a mark", u"1http://a.example e\u0301http://b.example"_qs, {}},
        {"after punctuation is fine", u"<http://a.example>"_qs, {u"http://a.example"_qs}},
        {"one slash only", u"http:/a.example"_qs, {}},
        {"nothing after the scheme", u"http:// x"_qs, {}},
        {"only punctuation after the scheme", u"https://... x"_qs, {}},
        {"no host", u"http:///path"_qs, {}},
        {"other schemes", u"ftp://a.example httpx://b.example"_qs, {}},
        {"stops",
         u"http://a.example/1 http://b.example/2\nhttp://c.example/3\thttp://d.example/4\"x"
         u" http://e.example/5<x http://f.example/6`x"_qs,
         {u"http://a.example/1"_qs, u"http://b.example/2"_qs, u"http://c.example/3"_qs,
          u"http://d.example/4"_qs, u"http://e.example/5"_qs, u"http://f.example/6"_qs}},
        {"unicode space and format characters stop",
         u"http://a.example/1\u00a0x http://b.example/2\u200bx http://c.example/3\u2028"_qs,
         {u"http://a.example/1"_qs, u"http://b.example/2"_qs, u"http://c.example/3"_qs}},
        {"emoji in the path",
         u"http://a.example/\U0001F600/x ok"_qs,
         {u"http://a.example/\U0001F600/x"_qs}},
        {"trimming stops at an emoji",
         u"http://a.example/\U0001F600.)"_qs,
         {u"http://a.example/\U0001F600"_qs}},
        {"search continues after a link",
         u"http://a.example/http://b.example"_qs,
         {u"http://a.example/http://b.example"_qs}},
        {"apostrophe dropped", u"'http://a.example/x'"_qs, {u"http://a.example/x"_qs}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(linkTexts(row.text), row.links);
    }
}

TEST(LinkFinder, ParsesTheURLAndCutsAtTheRangeEnd)
{
    const QString text = u"go http://a.example/long/path now"_qs;
    const QList<FoundLink> found = LinkFinder::links(text, {0, text.size()});
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].range, (TextSpan{3, 26}));
    EXPECT_EQ(found[0].url.host(), u"a.example"_qs);
    EXPECT_EQ(found[0].url.path(), u"/long/path"_qs);

    const QList<FoundLink> cut = LinkFinder::links(text, {3, 16});
    ASSERT_EQ(cut.size(), 1);
    EXPECT_EQ(cut[0].range, (TextSpan{3, 16}));
    EXPECT_TRUE(LinkFinder::links(text, {4, 20}).isEmpty()) << "starts before the range";
}

TEST(LinkFinder, ClicksAndCaretsFindTheirLink)
{
    const QString text = u"Pay at https://shop.example/ today\nhttp://b.example"_qs;
    const TextSpan first{7, 21};
    EXPECT_FALSE(LinkFinder::linkAt(1, text)) << "the word Pay";
    EXPECT_EQ(LinkFinder::linkAt(7, text)->range, first);
    EXPECT_EQ(LinkFinder::linkAt(27, text)->range, first);
    EXPECT_FALSE(LinkFinder::linkAt(28, text));
    EXPECT_EQ(LinkFinder::linkAt(40, text)->range, (TextSpan{35, 16}));
    EXPECT_FALSE(LinkFinder::linkAt(text.size(), text));
    EXPECT_FALSE(LinkFinder::linkAt(-1, text));

    EXPECT_EQ(LinkFinder::linkTouching({28, 28}, text)->range, first) << "caret just after";
    EXPECT_EQ(LinkFinder::linkTouching({7, 7}, text)->range, first);
    EXPECT_FALSE(LinkFinder::linkTouching({28, 30}, text)) << "selection bordering the end";
    EXPECT_FALSE(LinkFinder::linkTouching({3, 7}, text)) << "selection bordering the start";
    EXPECT_EQ(LinkFinder::linkTouching({3, 8}, text)->range, first);
    EXPECT_EQ(LinkFinder::linkTouching({30, 40}, text)->range, (TextSpan{35, 16}));
    EXPECT_FALSE(LinkFinder::linkTouching({0, text.size() + 1}, text));
    const QString huge = u"http://a.example"_qs + QString(1'000'000, u' ');
    EXPECT_TRUE(LinkFinder::linkTouching({0, 1'000'000}, huge));
    EXPECT_FALSE(LinkFinder::linkTouching({0, 1'000'001}, huge)) << "longer than the limit";
}

TEST(LinkFinder, ToolPrintsHalfOpenRanges)
{
    QProcess tool;
    tool.start(QStringLiteral(QUENDRIL_TOOL_EXE), {QStringLiteral("links")});
    ASSERT_TRUE(tool.waitForStarted());
    tool.write(u"\U0001F600 http://a.example, and https://b.example/\u00e9.\n"_qs.toUtf8());
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished());
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(tool.readAllStandardOutput(), QByteArray("3 19\n25 44\n"));
}
