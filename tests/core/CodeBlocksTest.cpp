#include "QuendrilCore/CodeMarking.h"
#include "QuendrilCore/FencedBlocks.h"

#include <gtest/gtest.h>

namespace {

// The fenced blocks as "language|open|body|close" strings of their texts.
QStringList shown(QStringView text)
{
    QStringList out;
    for (const FencedBlock& b : FencedBlocks::find(text)) {
        const auto part = [&](TextSpan s) { return text.sliced(s.location, s.length); };
        out << QString((b.language ? codeLanguageValue(*b.language) : u"none") + u'|' +
                       part(b.openFence) + u'|' + part(b.body) + u'|' +
                       (b.closeFence ? part(*b.closeFence) : u"-"));
    }
    return out;
}

} // namespace

TEST(FencedBlocks, FindsBlocksAndTheirLanguage)
{
    struct Row {
        const char* name;
        QString text;
        QStringList blocks;
    } rows[] = {
        {"bash block", u"a\n```bash\nls\n```\nb"_qs, {u"bash|```bash|ls\n|```"_qs}},
        {"fence trimmed of blanks and CR LF",
         u"  ```sql  \r\nx\r\n\t```\t\r\n"_qs,
         {u"sql|```sql|x\r\n|```"_qs}},
        {"unknown word opens a block without language",
         u"```python\nx\n```"_qs,
         {u"none|```python|x\n|```"_qs}},
        {"no word", u"```\nx\n```"_qs, {u"none|```|x\n|```"_qs}},
        {"four backticks close, a fence with a word does not",
         u"```sh\na\n```sql\nb\n````\nc"_qs,
         {u"bash|```sh|a\n```sql\nb\n|````"_qs}},
        {"unclosed block runs to the end", u"```zsh\nx\ny"_qs, {u"bash|```zsh|x\ny|-"_qs}},
        {"two blocks", u"```\n```\n```sql\n"_qs, {u"none|```||```"_qs, u"sql|```sql||-"_qs}},
        {"two backticks are text", u"``bash\nx"_qs, {}},
        {"empty text", QString(), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(shown(row.text), row.blocks);
    }

    struct Word {
        QString after;
        std::optional<CodeLanguage> language;
    } words[] = {
        {u"BASH"_qs, CodeLanguage::bash},    {u"bash -x"_qs, CodeLanguage::bash},
        {u"  shell"_qs, CodeLanguage::bash}, {u"Sql"_qs, CodeLanguage::sql},
        {u"sqlite"_qs, std::nullopt},        {QString(), std::nullopt},
    };
    for (const Word& word : words) {
        SCOPED_TRACE(word.after.toStdString());
        EXPECT_EQ(FencedBlocks::language(word.after), word.language);
    }
}

TEST(CodeMarking, MarkAndRemoveRoundTrip)
{
    const QString text = u"notes\ncd /tmp\nls -la\nend"_qs;

    const EditResult bash = CodeMarking::mark(text, {6, 19}, CodeLanguage::bash);
    const QString marked = bash.edit.applied(text);
    EXPECT_EQ(marked, u"notes\n```bash\ncd /tmp\nls -la\n```\nend"_qs);
    EXPECT_EQ(marked.sliced(bash.selection.lower, bash.selection.length()),
              u"cd /tmp\nls -la\n"_qs);

    const EditResult sql = CodeMarking::mark(text, {0, text.size()}, CodeLanguage::sql);
    const QString all = sql.edit.applied(text);
    EXPECT_EQ(all, u"```sql\nnotes\ncd /tmp\nls -la\nend\n```"_qs);
    const auto removed = CodeMarking::removeMarkers(all, {10, 10});
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->edit.applied(all), text);
    EXPECT_EQ(removed->selection, (TextRange{0, text.size()}));

    const auto unmarked = CodeMarking::removeMarkers(marked, {20, 20});
    ASSERT_TRUE(unmarked);
    EXPECT_EQ(unmarked->edit.applied(marked), text);
    EXPECT_FALSE(CodeMarking::removeMarkers(marked, {2, 2})) << "outside every block";
}

TEST(CodeMarking, MarkingInsideABlockRewritesOnlyTheFence)
{
    const QString text = u"x\n```bash -x\necho\n```\n"_qs;
    const EditResult result = CodeMarking::mark(text, {14, 14}, CodeLanguage::sql);
    const QString after = result.edit.applied(text);
    EXPECT_EQ(after, u"x\n```sql\necho\n```\n"_qs);
    EXPECT_EQ(after.sliced(result.selection.lower, result.selection.length()), u"echo\n"_qs);

    // The caret on the closing fence's end still belongs to the block.
    EXPECT_TRUE(CodeMarking::block({21, 21}, text));
    EXPECT_FALSE(CodeMarking::block({22, 22}, text));
    EXPECT_FALSE(CodeMarking::block({0, 0}, text));
}

TEST(CodeMarking, RemovingAnUnclosedBlockKeepsItsBody)
{
    const QString text = u"a\n```sql\nselect\n"_qs;
    const auto removed = CodeMarking::removeMarkers(text, {5, 5});
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->edit.applied(text), u"a\nselect\n"_qs);
    // A closing fence followed by more text keeps its line break.
    const QString closed = u"```\nx\n```\ny"_qs;
    EXPECT_EQ(CodeMarking::removeMarkers(closed, {0, 0})->edit.applied(closed), u"x\ny"_qs);
}
