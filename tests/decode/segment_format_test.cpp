#include <gtest/gtest.h>

#include "decode/SegmentFormat.h"
#include "support/FrameBuilder.h"

using namespace corvel;

TEST(SegmentCodeTable, EveryRowAndSomeThatAreNot) {
    const struct {
        const char* pattern;
        char shown;
    } cases[] = {
        {"1111011", '0'}, {"0110000", '1'}, {"1100111", '2'}, {"1110101", '3'}, {"0111100", '4'},
        {"1011101", '5'}, {"1011111", '6'}, {"1110000", '7'}, {"1111111", '8'}, {"1111101", '9'},
        {"0001011", '@'}, {"0000000", 0},   {"1100011", 0},   {"0011111", 0},   {"0111011", 0},
        {"1111110", 0},   {"0000001", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(SegmentCodeTable::Lookup(c.pattern), c.shown) << c.pattern;
}

TEST(SegmentBits, DigitsGiveFourBitsMostSignificantFirst) {
    const SegmentBits bits("00A0");
    EXPECT_TRUE(bits.bit(9));
    EXPECT_FALSE(bits.bit(10));
    EXPECT_TRUE(bits.bit(11));
    EXPECT_FALSE(bits.bit(12));
}

TEST(SegmentBits, PositionsPastTheEndRepeatTheLastOne) {
    const SegmentBits bits("000000000000005");  // 15 positions, last one 0101
    for (int pos = 15; pos <= 32; ++pos) {
        const int first = 4 * (pos - 1) + 1;
        EXPECT_FALSE(bits.bit(first)) << pos;
        EXPECT_TRUE(bits.bit(first + 1)) << pos;
        EXPECT_FALSE(bits.bit(first + 2)) << pos;
        EXPECT_TRUE(bits.bit(first + 3)) << pos;
    }
}

TEST(SegmentBits, ShortPineFrameStopsRepeatingAtPosition26) {
    const SegmentBits bits("FFFFFFFFFFFFFFFFFFFF", 26);
    EXPECT_TRUE(bits.bit(104));
    for (int n = 105; n <= 128; ++n) EXPECT_FALSE(bits.bit(n)) << n;
}

TEST(SegmentBits, PatternSkipsThePointBit) {
    const std::string frame = test::FrameBuilder().digit(1, '2').bit(12).text();
    const SegmentBits bits(frame);
    EXPECT_EQ(bits.pattern(1), PatternBits("1100111"));
    EXPECT_TRUE(bits.point(1));
}

TEST(BirchLookup, LettersOnlyInTheirOwnPlaces) {
    const struct {
        int digit;
        const char* pattern;
        char shown;
    } cases[] = {
        {3, "1011101", 's'}, {1, "1011101", '5'}, {2, "1011101", '5'}, {4, "1011101", '5'},
        {2, "0011111", 'b'}, {1, "0011111", 0},   {3, "0011111", 0},   {4, "0111011", 'u'},
        {5, "0111011", 0},   {8, "0111011", 0},   {2, "1111011", '0'}, {4, "0001011", '@'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BirchLookup(c.digit, PatternBits(c.pattern)), c.shown) << c.digit << " " << c.pattern;
}
