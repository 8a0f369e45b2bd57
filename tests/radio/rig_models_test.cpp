#include "radio/radio_connection.h"
#include "radio/rig_models.h"

#include <gtest/gtest.h>

namespace {

struct ModelRow
{
    int id;
    const char *displayName;
    bool stopsMidText;
};

class RigModelsTest : public ::testing::TestWithParam<ModelRow>
{
};

// Hamlib's own list, as offered: maker and model, and whether Hamlib can stop the keyer mid-text.
TEST_P(RigModelsTest, OffersTheModelsThatKeyText)
{
    const std::optional<RigModel> model = RigModels::find(GetParam().id);
    ASSERT_TRUE(model.has_value());
    EXPECT_EQ(model->displayName(), QString::fromUtf8(GetParam().displayName));
    EXPECT_EQ(model->stopsMidText, GetParam().stopsMidText);
    EXPECT_TRUE(model->setsSpeed);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Families, RigModelsTest, ::testing::Values(
    ModelRow{3073, "Icom IC-7300", true},        ModelRow{3085, "Icom IC-705", true},
    ModelRow{3063, "Icom IC-7600", false},       ModelRow{2031, "Kenwood TS-590S", false},
    ModelRow{2041, "Kenwood TS-890S", false},    ModelRow{2029, "Elecraft K3", false},
    ModelRow{2045, "Elecraft KX3", false},       ModelRow{1035, "Yaesu FT-991", false},
    ModelRow{1042, "Yaesu FTDX-10", false}));
// clang-format on

TEST(RigModelsListTest, LeavesOutRigctldAndModelsWithoutAKeyerAndKeepsMakersTogether)
{
    EXPECT_FALSE(RigModels::find(RadioConnection::rigctldModel));
    EXPECT_FALSE(RigModels::find(2030)); // the TRC-80 cannot take text
    const auto &models = RigModels::keyers();
    EXPECT_TRUE(std::is_sorted(models.begin(), models.end(), [](const RigModel &a, const RigModel &b) {
        return a.maker.compare(b.maker, Qt::CaseInsensitive) < 0;
    }));
}

} // namespace
