#include "decode/SegmentFormat.h"

namespace corvel {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

struct CodeTable {
    std::array<char, 128> chars{};
    constexpr CodeTable() {
        chars[PatternBits("1111011")] = '0';
        chars[PatternBits("0110000")] = '1';
        chars[PatternBits("1100111")] = '2';
        chars[PatternBits("1110101")] = '3';
        chars[PatternBits("0111100")] = '4';
        chars[PatternBits("1011101")] = '5';
        chars[PatternBits("1011111")] = '6';
        chars[PatternBits("1110000")] = '7';
        chars[PatternBits("1111111")] = '8';
        chars[PatternBits("1111101")] = '9';
        chars[PatternBits("0001011")] = '@';  // the L of an over-load
    }
};

constexpr CodeTable kTable;

}  // namespace

SegmentBits::SegmentBits(std::string_view frame, int positions) {
    const int present = static_cast<int>(frame.size() < 32 ? frame.size() : 32);
    std::uint8_t last = 0;
    for (int i = 0; i < positions; ++i) {
        if (i < present) last = static_cast<std::uint8_t>(hexValue(frame[i]));
        nibbles_[i] = last;
    }
}

std::uint8_t SegmentBits::pattern(int digit) const {
    // The digit's byte holds a b c (point) f g e d; the pattern leaves the
    // point out.
    const int base = 8 * digit;
    std::uint8_t v = 0;
    for (int b : {1, 2, 3, 5, 6, 7, 8}) v = static_cast<std::uint8_t>((v << 1) | (bit(base + b) ? 1 : 0));
    return v;
}

char SegmentCodeTable::Lookup(std::uint8_t pattern) { return kTable.chars[pattern & 0x7F]; }

char BirchLookup(int digit, std::uint8_t pattern) {
    switch (digit) {
        case 2:
            if (pattern == PatternBits("0011111")) return 'b';
            break;
        case 3:
            if (pattern == PatternBits("1011101")) return 's';
            break;
        case 4:
            if (pattern == PatternBits("0111011")) return 'u';
            break;
        default:
            break;
    }
    return SegmentCodeTable::Lookup(pattern);
}

}  // namespace corvel
