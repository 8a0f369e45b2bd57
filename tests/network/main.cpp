#include <QCoreApplication>

#include <gtest/gtest.h>

// The service's signals, timers and socket need an event loop; the tests run it with QTest::qWaitFor.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
