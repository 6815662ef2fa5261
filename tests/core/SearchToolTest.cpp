#include "TempDir.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int status = -1;
    QByteArray output;
};

ToolRun tool(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(QStringLiteral(QUENDRIL_TOOL_EXE), arguments);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(20000));
    return {process.exitCode(), process.readAllStandardOutput()};
}

} // namespace

TEST(SearchTool, FoldsStandardInput)
{
    const ToolRun run = tool({u"fold"_qs}, "Caf\xc3\xa9 STRASSE stra\xc3\x9f"
                                           "e Z\xc3\xbcrich \xef\xac\x81le\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, "cafe strasse strasse zurich file\n");
}

TEST(SearchTool, PrintsMatchingSheetsNewestFirst)
{
    TempDir folder;
    folder.write(u"2024-01-01 10.00.00.txt"_qs, "tea time");
    folder.write(u"2024-01-02 10.00.00.txt"_qs, "Caf\xc3\xa9 au lait");
    folder.write(u"2024-01-03 10.00.00.txt"_qs, "CAFE noir, au lait");
    folder.write(u"2024-01-04 10.00.00.txt"_qs, QByteArray(11 * 1024 * 1024, 'c') + " cafe");
    folder.write(u".hidden.txt"_qs, "cafe");
    const QByteArray prefix = folder.path().toUtf8() + '/';

    const struct {
        const char* name;
        QStringList query;
        QByteArray output;
    } rows[] = {
        {"one word",
         {u"café"_qs},
         prefix + "2024-01-03 10.00.00.txt\n" + prefix + "2024-01-02 10.00.00.txt\n"},
        {"arguments joined into one query",
         {u"\"noir,"_qs, u"au\""_qs},
         prefix + "2024-01-03 10.00.00.txt\n"},
        {"no match", {u"coffee"_qs}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ToolRun run = tool(QStringList{u"search"_qs, folder.path()} << row.query);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.output, row.output);
    }
    EXPECT_EQ(tool({u"search"_qs, folder.path()}).status, 2);
    EXPECT_EQ(tool({u"search"_qs, folder.filePath(u"missing"_qs), u"x"_qs}).status, 2);
}
