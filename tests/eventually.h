#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Waits up to five seconds, processing events, for a condition, then checks it as GoogleTest. Qt's own
// QTRY_ macros report to QTest, which a GoogleTest program never reads: a failed one only ended the test
// early, and the test passed.
#define EXPECT_EVENTUALLY(condition)                                                                         \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&] { return bool(condition); });                                              \
        EXPECT_TRUE(condition) << #condition;                                                                \
    } while (false)

#define EXPECT_EVENTUALLY_EQ(actual, expected)                                                               \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); });                                       \
        EXPECT_EQ(actual, expected);                                                                         \
    } while (false)
