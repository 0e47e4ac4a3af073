#include "sim/MeterFrames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace corvel::sim {

namespace {

constexpr std::uint8_t bits(const char* pattern) {
    std::uint8_t v = 0;
    for (const char* p = pattern; *p; ++p) v = static_cast<std::uint8_t>((v << 1) | (*p == '1' ? 1 : 0));
    return v;
}

std::string rowText(const std::array<char, 4>& digits, int decimals) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += digits[static_cast<std::size_t>(i)];
        if (decimals > 0 && i == 3 - decimals) text += '.';
    }
    return text;
}

// Frame bits of the annunciators the simulated meter lights.
constexpr int kBitUsb = 80;
constexpr int kBitVel = 82;
constexpr int kBitDegrees = 93;  // the second row's degree sign
constexpr int kBitTemp = 97;
constexpr int kBitMetresPerSecond = 104;
constexpr int kBitFeetPerMinute = 106;

// Frame bit n (1-based) of the positions, most significant bit first.
void setBit(std::array<std::uint8_t, 32>& pos, int n) {
    pos[static_cast<std::size_t>((n - 1) / 4)] |= static_cast<std::uint8_t>(1U << (3 - (n - 1) % 4));
}

// The point to the right of digit k lights with bit 8k+4, the last bit of
// position 2k+1.
int pointDigit(int decimals, int firstDigit) {
    return decimals >= 1 && decimals <= 3 ? firstDigit + decimals : 0;
}

}  // namespace

std::uint8_t SegmentPattern(char c) {
    switch (c) {
        case '0': return bits("1111011");
        case '1': return bits("0110000");
        case '2': return bits("1100111");
        case '3': return bits("1110101");
        case '4': return bits("0111100");
        case '5': return bits("1011101");
        case '6': return bits("1011111");
        case '7': return bits("1110000");
        case '8': return bits("1111111");
        case '9': return bits("1111101");
        case 'L': return bits("0001011");
        default: return 0;
    }
}

std::string Display::MainText() const {
    return rowText(main, mainDecimals);
}
std::string Display::SecondText() const {
    return rowText(second, secondDecimals);
}

bool FormatRow(double value, int decimals, std::array<char, 4>& row) {
    if (!(value >= 0.0) || decimals < 0 || decimals > 3) return false;
    const double scaled = std::round(value * std::pow(10.0, decimals));
    if (scaled > 9999.0) return false;
    char text[8];
    std::snprintf(text, sizeof text, "%4d", static_cast<int>(scaled));
    // Keep one digit before the point: 0.25 is " 025" with the point after
    // the second digit, not "  25".
    for (int i = 0; i < 4; ++i)
        if (text[i] == ' ' && i >= 3 - decimals) text[i] = '0';
    for (int i = 0; i < 4; ++i) row[static_cast<std::size_t>(i)] = text[i];
    return true;
}

Display Overload(const Display& base) {
    Display d = base;
    d.main = {' ', '0', 'L', ' '};
    d.mainDecimals = 0;
    return d;
}

std::array<std::uint8_t, 32> SegmentPositions(const Display& display) {
    std::array<std::uint8_t, 32> pos{};
    const int mainPoint = pointDigit(display.mainDecimals, 1);
    const int secondPoint = pointDigit(display.secondDecimals, 5);
    for (int k = 1; k <= 8; ++k) {
        const char c = k <= 4 ? display.main[static_cast<std::size_t>(4 - k)]
                              : display.second[static_cast<std::size_t>(8 - k)];
        const std::uint8_t p = SegmentPattern(c);
        const bool point = k == mainPoint || k == secondPoint;
        // a b c sit in the pattern's bits 6..4, f g e d in bits 3..0.
        pos[static_cast<std::size_t>(2 * k)] =
            static_cast<std::uint8_t>(((p >> 4) & 0x7) << 1 | (point ? 1 : 0));
        pos[static_cast<std::size_t>(2 * k + 1)] = static_cast<std::uint8_t>(p & 0xF);
    }
    switch (display.unit) {
        case SpeedUnit::None: break;
        case SpeedUnit::MetresPerSecond:
            setBit(pos, kBitVel);
            setBit(pos, kBitMetresPerSecond);
            break;
        case SpeedUnit::FeetPerMinute:
            setBit(pos, kBitVel);
            setBit(pos, kBitFeetPerMinute);
            break;
    }
    if (display.temperature) {
        setBit(pos, kBitTemp);
        setBit(pos, kBitDegrees);
    }
    return pos;
}

std::vector<std::uint8_t> OakFrame(const Display& display) {
    const auto pos = SegmentPositions(display);
    std::vector<std::uint8_t> frame(kOakFrameBytes);
    for (int i = 1; i <= kOakFrameBytes; ++i)
        frame[static_cast<std::size_t>(i - 1)] =
            static_cast<std::uint8_t>(i << 4 | pos[static_cast<std::size_t>(i - 1)]);
    return frame;
}

std::vector<std::uint8_t> BirchFrame(const Display& display) {
    const auto pos = SegmentPositions(display);
    std::vector<std::uint8_t> frame(kBirchFrameBytes);
    frame[0] = 0x1A;
    for (int i = 2; i <= 10; ++i)
        frame[static_cast<std::size_t>(i - 1)] =
            static_cast<std::uint8_t>(i << 4 | pos[static_cast<std::size_t>(i - 1)]);
    frame[10] = 0x0D;
    return frame;
}

std::vector<std::uint8_t> UsbFrame(const Display& display, int typeDigit) {
    std::array<std::uint8_t, 32> pos = SegmentPositions(display);
    pos[1] = static_cast<std::uint8_t>(typeDigit & 0xF);
    setBit(pos, kBitUsb);
    std::vector<std::uint8_t> frame;
    frame.reserve(kUsbFrameBytes);
    // Upper digit 3 on every byte: the frame starts with 0x30 and no byte
    // inside it looks like CR or LF.
    for (std::uint8_t p : pos) frame.push_back(static_cast<std::uint8_t>(0x30 | p));
    frame.push_back(0x0D);
    frame.push_back(0x0A);
    return frame;
}

bool PineFrameCarries(const Display& display) {
    const auto pos = SegmentPositions(display);
    return std::all_of(pos.begin() + kPineFramePositions, pos.end(), [](std::uint8_t p) { return p == 0; });
}

bool SecondRowSurvivesOak(const Display& display) {
    if (display.second[0] != ' ' || display.second[1] != ' ') return false;
    if (display.secondDecimals > 1) return false;
    // Digits 7 and 8 and their points are rebuilt from digit 6's f g e d;
    // they come out blank, and unpointed, only when bit d is off and the
    // nibble is not one of a digit's.
    const std::uint8_t fged = SegmentPattern(display.second[2]) & 0xF;
    if (fged & 1) return false;
    const std::uint8_t rebuilt = static_cast<std::uint8_t>((fged >> 1) << 4 | fged);
    for (char c : std::string("0123456789L"))
        if (SegmentPattern(c) == rebuilt) return false;
    return true;
}

}  // namespace corvel::sim
