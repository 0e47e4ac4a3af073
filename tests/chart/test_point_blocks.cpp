// The headless chart's point store: points stay where they were put while
// the store grows, read back in order across block boundaries, and a
// cleared store starts over.

#include <gtest/gtest.h>

#include "chart/HeadlessChart.h"
#include "chart/PointBlocks.h"

namespace corvel {
namespace {

// Blocks of four points, so a handful of appends crosses several blocks.
using SmallBlocks = PointBlocks<int, 2>;

struct GrowCase {
    const char* name;
    int count;
};

class PointBlocksGrow : public ::testing::TestWithParam<GrowCase> {};

TEST_P(PointBlocksGrow, ReadsBackEveryPointWhereItWasPut) {
    SmallBlocks blocks;
    std::vector<const int*> places;
    for (int i = 0; i < GetParam().count; ++i) {
        blocks.push_back(i * 10);
        places.push_back(&blocks[static_cast<std::size_t>(i)]);
    }
    ASSERT_EQ(blocks.size(), static_cast<std::size_t>(GetParam().count));
    EXPECT_EQ(blocks.empty(), GetParam().count == 0);
    for (int i = 0; i < GetParam().count; ++i) {
        EXPECT_EQ(blocks[static_cast<std::size_t>(i)], i * 10) << i;
        // Growing never moved a point: a copy would have meant two of them.
        EXPECT_EQ(&blocks[static_cast<std::size_t>(i)], places[static_cast<std::size_t>(i)]) << i;
    }
    if (GetParam().count > 0) {
        EXPECT_EQ(blocks.front(), 0);
        EXPECT_EQ(blocks.back(), (GetParam().count - 1) * 10);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, PointBlocksGrow,
                         ::testing::Values(GrowCase{"None", 0}, GrowCase{"One", 1}, GrowCase{"ABlockFull", 4},
                                           GrowCase{"OneIntoTheSecondBlock", 5}, GrowCase{"ManyBlocks", 37}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PointBlocks, ClearedStoreStartsOver) {
    SmallBlocks blocks;
    for (int i = 0; i < 9; ++i) blocks.push_back(i);
    blocks.clear();
    EXPECT_TRUE(blocks.empty());
    blocks.push_back(42);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks.front(), 42);
    EXPECT_EQ(blocks.back(), 42);
}

// The headless chart keeps what the window's chart keeps: the placeholder
// at X 0, then one point a logged value with its position as X.
TEST(HeadlessChart, PointsFollowThePlaceholderAndStartOverOnNew) {
    HeadlessChart chart;
    ASSERT_EQ(chart.Points().size(), 1u);
    EXPECT_EQ(chart.Points().front().key, 0.0);
    for (int i = 1; i <= 150; ++i) chart.AddValue(i * 0.5);
    ASSERT_EQ(chart.Points().size(), 151u);
    EXPECT_EQ(chart.Points()[1].key, 1.0);
    EXPECT_EQ(chart.Points()[1].value, 0.5);
    EXPECT_EQ(chart.Points().back().key, 150.0);
    EXPECT_EQ(chart.Points().back().value, 75.0);
    EXPECT_EQ(chart.Page(), 2) << "the window moved on past the first page";

    chart.ClearView();
    chart.BtNewClick();
    ASSERT_EQ(chart.Points().size(), 1u);
    EXPECT_EQ(chart.Page(), 1);
    chart.AddValue(3.0);
    EXPECT_EQ(chart.Points().back().key, 1.0);
}

}  // namespace
}  // namespace corvel
