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
//   USB:   the 32 positions whole, position 1 "0" and position 2 the type
//          digit, each as a byte 0x30 | position, then CR LF: the second
//          row and the annunciators travel too. A Pine frame is read only
//          up to position 26, so annunciators beyond it (ft/min among
//          them) do not reach its decoder (see PineFrameCarries).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvel::sim {

// Segments a b c f g e d of a character, a in bit 6 (the order the decode
// tables are written in). '0'..'9', 'L' (the L of an over-load), ' ' for a
// blank digit; any other character is blank too.
std::uint8_t SegmentPattern(char c);

// The unit the main row is shown in; its annunciator lights with the
// velocity mark VEL.
enum class SpeedUnit { None, MetresPerSecond, FeetPerMinute };

// Everything the LCD shows at once. A meter changes its display as a whole
// at each refresh, so a frame never carries one refresh's digits with
// another's unit.
struct Display {
    // Digit 4 (leftmost) to digit 1.
    std::array<char, 4> main{' ', ' ', ' ', ' '};
    // Digits to the right of the main row's point: 0 (no point) to 3.
    int mainDecimals = 0;
    // Digit 8 (leftmost) to digit 5.
    std::array<char, 4> second{' ', ' ', ' ', ' '};
    int secondDecimals = 0;
    SpeedUnit unit = SpeedUnit::None;
    // The second row shows the air temperature: TEMP and its degree sign.
    bool temperature = false;

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

// Positions 1..32 of the display's segment frame (index 0 is position 1):
// digits, points and annunciators; positions 1 and 2 are 0.
std::array<std::uint8_t, 32> SegmentPositions(const Display& display);

std::vector<std::uint8_t> OakFrame(const Display& display);
std::vector<std::uint8_t> BirchFrame(const Display& display);
// The frame the USB cable's line carries, with its type digit (0 or 1 Oak,
// 3 Birch, 15 Pine) and the cable's usb annunciator lit.
std::vector<std::uint8_t> UsbFrame(const Display& display, int typeDigit);

constexpr int kOakFrameBytes = 14;
constexpr int kBirchFrameBytes = 11;
constexpr int kUsbFrameBytes = 34;
constexpr int kPineFramePositions = 26;

// True when a Pine frame of this display shows all of it: nothing it lights
// lies beyond the positions the Pine decoder reads.
bool PineFrameCarries(const Display& display);

// True when an Oak frame of this display decodes to the same second row
// (see above).
bool SecondRowSurvivesOak(const Display& display);

}  // namespace corvel::sim
