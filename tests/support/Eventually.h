#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Runs the event loop until a condition holds, for at most five seconds (or `timeout` ms), and
// fails the test otherwise. Qt Test's QTRY_ macros report to Qt Test, which GoogleTest never
// hears of: a failed QTRY_ only ends the test early, as a pass.
#define EXPECT_EVENTUALLY(condition)                                                               \
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(condition); })) << "never: " #condition
#define ASSERT_EVENTUALLY(condition)                                                               \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(condition); })) << "never: " #condition
#define ASSERT_EVENTUALLY_WITHIN(condition, timeout)                                               \
    ASSERT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, timeout)) << "never: " #condition
#define EXPECT_EVENTUALLY_EQ(actual, expected)                                                     \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); });                             \
        EXPECT_EQ(actual, expected);                                                               \
    } while (false)
