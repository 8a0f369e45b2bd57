#include "network/allowed_senders.h"

#include <gtest/gtest.h>

namespace {

struct WhoCase
{
    bool everywhere;
    QString list;
    QString said;
};

class WhoMayKeyTest : public ::testing::TestWithParam<WhoCase>
{
};

// The pane says who may key, in the operator's words, and which entries it left out.
TEST_P(WhoMayKeyTest, PaneSaysWhoMayKey)
{
    EXPECT_EQ(AllowedSenders::whoMayKey(GetParam().everywhere, GetParam().list), GetParam().said);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lists, WhoMayKeyTest, ::testing::Values(
    WhoCase{false, "192.0.2.9",
            "Only programs on this computer may key."},
    WhoCase{true,  "",
            "Only programs on this computer may key: list the other computers that may."},
    WhoCase{true,  "192.0.2.9, 192.0.2.0/24\nFE80::/10 ::ffff:192.0.2.10",
            "Programs on this computer and on 192.0.2.9, 192.0.2.0/24, fe80::/10, 192.0.2.10 may key."},
    WhoCase{true,  "nonsense\n192.0.2.9\n10.0.0.0/40",
            "Programs on this computer and on 192.0.2.9 may key. Not an address, left out: nonsense, 10.0.0.0/40."}));
// clang-format on

} // namespace
