#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvel {

// The 128 frame bits of a segment frame. Each hex digit of the frame text
// gives four bits, most significant first; positions past the end of the
// text repeat the last digit that is there.
class SegmentBits {
public:
    // Reads positions 1..positions of the frame (32 for Oak and Birch, 26
    // for Pine, whose bits beyond 104 stay 0).
    SegmentBits(std::string_view frame, int positions = 32);

    // Frame bit n, 1-based.
    bool bit(int n) const { return (nibbles_[(n - 1) >> 2] >> (3 - ((n - 1) & 3))) & 1U; }
    // Digit k (1..8): its seven segments a b c f g e d as a 7-bit number,
    // segment a in the highest bit, as the code tables are written.
    std::uint8_t pattern(int digit) const;
    // The point bit of digit k (bit 8k + 4).
    bool point(int digit) const { return bit(8 * digit + 4); }

private:
    std::array<std::uint8_t, 32> nibbles_{};
};

// A seven-character "0"/"1" pattern as a number, for tables and tests.
constexpr std::uint8_t PatternBits(std::string_view pattern) {
    std::uint8_t v = 0;
    for (char c : pattern) v = static_cast<std::uint8_t>((v << 1) | (c == '1' ? 1 : 0));
    return v;
}

// Segment patterns to the characters the mirror shows. 0 means blank.
class SegmentCodeTable {
public:
    static char Lookup(std::uint8_t pattern);
    static char Lookup(std::string_view pattern) { return Lookup(PatternBits(pattern)); }
};

// The Birch meters put a few letters in fixed places: digit 2 may show "b",
// digit 3 "s" where the others show "5", digit 4 "u".
char BirchLookup(int digit, std::uint8_t pattern);

}  // namespace corvel
