#pragma once

// What a meter puts on its serial line: its LCD as segment frames.
//
// A frame is a run of hex positions, one per byte. Digit k (1..8) sits in
// positions 2k+1 and 2k+2 as the bits a b c (point) and f g e d; digit 4 is
// the main row's leftmost, digit 1 its rightmost, digits 8..5 the second
// row. A point bit lights the point to the right of its digit.
//
//   Oak:   14 bytes; byte i has the upper hex digit i (1..E) and position i
//          as its lower digit. The decoders give positions 15 and up the
//          value of position 14, so on the wire the second row's digits 7
//          and 8 and all annunciators follow position 14 (digit 6's
//          f g e d). Second-row values that read back as sent are therefore
//          the blank, "1x", "4x" and "7x" ones, without a point beyond
//          digit 6 (see SecondRowSurvivesOak).
//   Birch: 11 bytes; byte 1 is 0x1A (lower digit A), bytes 2..10 carry
//          positions 2..10 with the position as upper digit, byte 11 is
//          0x0D. Only the main row travels.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvel::sim {

// Segments a b c f g e d of a character, a in bit 6 (the order the decode
// tables are written in). '0'..'9', 'L' (the L of an over-load), ' ' for a
// blank digit; any other character is blank too.
std::uint8_t SegmentPattern(char c);

struct Display {
    // Digit 4 (leftmost) to digit 1.
    std::array<char, 4> main{' ', ' ', ' ', ' '};
    // Digits to the right of the main row's point: 0 (no point) to 3.
    int mainDecimals = 0;
    // Digit 8 (leftmost) to digit 5.
    std::array<char, 4> second{' ', ' ', ' ', ' '};
    int secondDecimals = 0;

    // The row as the meter shows it, e.g. " 3.20", "  0L ".
    std::string MainText() const;
    std::string SecondText() const;
};

// A row for `value` with `decimals` digits after the point, right-aligned,
// with leading blanks (but a 0 before the point); false when it needs more
// than four digits or is negative.
bool FormatRow(double value, int decimals, std::array<char, 4>& row);
// The over-load display of the main row: digit 3 "0", digit 2 "L".
Display Overload(const Display& base);

// Positions 1..32 of the display's segment frame (index 0 is position 1).
std::array<std::uint8_t, 32> SegmentPositions(const Display& display);

std::vector<std::uint8_t> OakFrame(const Display& display);
std::vector<std::uint8_t> BirchFrame(const Display& display);

constexpr int kOakFrameBytes = 14;
constexpr int kBirchFrameBytes = 11;

// True when an Oak frame of this display decodes to the same second row
// (see above).
bool SecondRowSurvivesOak(const Display& display);

}  // namespace corvel::sim
