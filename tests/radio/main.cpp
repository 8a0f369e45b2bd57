#include <QCoreApplication>

#include <gtest/gtest.h>

// The keyer's signals reach the tests through the event loop, which they run with QTest::qWaitFor.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
