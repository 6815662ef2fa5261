#include "QuendrilCore/Result.h"

#include <QString>

#include <gtest/gtest.h>

namespace {
enum class Failure { tooLong, empty };

Result<QString, Failure> shortened(const QString& text)
{
    if (text.isEmpty())
        return unexpected(Failure::empty);
    if (text.size() > 3)
        return unexpected(Failure::tooLong);
    return text.toUpper();
}

Result<void, Failure> checked(bool ok)
{
    if (!ok)
        return unexpected(Failure::empty);
    return {};
}
} // namespace

TEST(Result, CarriesTheValueOrTheError)
{
    const auto good = shortened(QStringLiteral("abc"));
    ASSERT_TRUE(good);
    EXPECT_EQ(*good, QStringLiteral("ABC"));
    EXPECT_EQ(good->size(), 3);

    const auto bad = shortened(QStringLiteral("abcd"));
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error(), Failure::tooLong);
    EXPECT_EQ(bad.value_or(QStringLiteral("x")), QStringLiteral("x"));
    EXPECT_EQ(shortened(QString()).error(), Failure::empty);
}

TEST(Result, VoidResultsReportOnlyFailure)
{
    EXPECT_TRUE(checked(true).has_value());
    const auto failed = checked(false);
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.error(), Failure::empty);
    EXPECT_EQ(checked(true), checked(true));
    EXPECT_NE(checked(true), checked(false));
}
