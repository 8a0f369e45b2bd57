#include "keying/shared_flags.h"
#include "keying/transmission_echo.h"
#include "keying_doubles.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

// The paddles' sending makes lines and passes of its own, marked as the paddle's: what the paddles key
// while Keylark's pass keys follows that pass on a line of its own, and a break-in stops the transmission
// and tells the console.
TEST(PaddleEchoTest, PaddleLinesStandApartFromKeylarksOwn)
{
    keying::G_transmitCount = 0;
    RecordingConsole console;
    RecordingListener listener;
    int stops = 0;
    TransmissionEcho echo([&]() -> ConsoleLog * { return &console; }, [&] { ++stops; });
    echo.setListener(&listener);
    PaddleEcho &paddles = echo.paddles();

    paddles.paddleKeyed('C');
    paddles.paddleKeyed('q');
    echo.beginPass();
    echo.characterKeyed('T');
    paddles.paddleKeyed('R');
    echo.characterKeyed('U');
    paddles.paddlesIdle();
    echo.endPass(false, false);
    paddles.paddleKeyed('7');
    paddles.paddlesIdle();
    paddles.brokenIn();

    EXPECT_EQ(console.log(), QStringLiteral("<T>CQ\n<T>TU\n<T>R\n<T>7"));
    EXPECT_EQ(console.calls().filter(QRegularExpression(QStringLiteral("^prompt:.*  paddle  $"))).size(), 3);
    EXPECT_EQ(console.calls().last(), QStringLiteral("brokenIn"));
    QStringList passes; // a paddle's marked *
    for (const KeyedPass &pass : listener.passes())
        passes << pass.text + (pass.paddle ? QStringLiteral("*") : QString());
    EXPECT_EQ(passes, QStringList({"CQ*", "TU", "R*", "7*"}));
    EXPECT_EQ(stops, 1);
    keying::G_transmitCount = 0;
}

} // namespace
