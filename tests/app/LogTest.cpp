#include "QuendrilPad/Log.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(Log, LinesReachTheSinkWithTheirCategory)
{
    std::vector<std::pair<LogCategory, QString>> lines;
    Log::setSink([&](LogCategory category, const QString& line) { lines.emplace_back(category, line); });
    Log::write(LogCategory::app, QStringLiteral("launched: notes folder /tmp/x"));
    Log::write(LogCategory::update, QStringLiteral("update: up to date"));
    Log::setSink({});
    Log::write(LogCategory::perf, QStringLiteral("after the sink is gone"));

    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, LogCategory::app);
    EXPECT_EQ(lines[0].second, QStringLiteral("launched: notes folder /tmp/x"));
    EXPECT_EQ(lines[1].first, LogCategory::update);
    EXPECT_STREQ(Log::categoryName(LogCategory::perf), "perf");
}
