#pragma once

// Builds segment frames the way a meter lays its display out, so tests can
// say "main row 12.34 in m/s" instead of writing hex by hand.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvel::test {

class FrameBuilder {
public:
    // Digit k (1..8; 1 is the main row's rightmost, 4 its leftmost, 5..8
    // the second row from the right) showing a character of the code table
    // (' ' for blank, '@' for the over-load L).
    FrameBuilder& digit(int k, char ch) { return pattern(k, PatternFor(ch)); }
    // Digit k with an explicit a b c f g e d pattern such as "1100111".
    FrameBuilder& pattern(int k, std::string_view abcfged) {
        static constexpr int kOffsets[7] = {1, 2, 3, 5, 6, 7, 8};
        for (int i = 0; i < 7; ++i) bits_[8 * k + kOffsets[i]] = abcfged[i] == '1';
        return *this;
    }
    // The main row from left to right, e.g. "1234" (digits 4, 3, 2, 1).
    FrameBuilder& main(std::string_view four) {
        for (int i = 0; i < 4; ++i) digit(4 - i, four[i]);
        return *this;
    }
    FrameBuilder& second(std::string_view four) {
        for (int i = 0; i < 4; ++i) digit(8 - i, four[i]);
        return *this;
    }
    FrameBuilder& bit(int n, bool on = true) {
        bits_[n] = on;
        return *this;
    }
    // The frame as hex digit text, positions 1..count.
    std::string text(int count = 32) const {
        std::string t;
        for (int pos = 1; pos <= count; ++pos) t.push_back(kHex[nibble(pos)]);
        return t;
    }
    // The 14 bytes of a serial Oak frame: upper digit 1..E, lower digit the
    // frame position.
    std::vector<std::uint8_t> oakBytes() const {
        std::vector<std::uint8_t> b;
        for (int pos = 1; pos <= 14; ++pos) b.push_back(static_cast<std::uint8_t>((pos << 4) | nibble(pos)));
        return b;
    }
    int nibble(int pos) const {
        int v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 1) | (bits_[4 * (pos - 1) + 1 + i] ? 1 : 0);
        return v;
    }

    static std::string PatternFor(char ch) {
        switch (ch) {
            case '0': return "1111011";
            case '1': return "0110000";
            case '2': return "1100111";
            case '3': return "1110101";
            case '4': return "0111100";
            case '5': return "1011101";
            case '6': return "1011111";
            case '7': return "1110000";
            case '8': return "1111111";
            case '9': return "1111101";
            case '@': return "0001011";
            default: return "0000000";
        }
    }

private:
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::array<bool, 129> bits_{};
};

// Bytes of a hex string such as "30 F1 0D 0A" or "30F10D0A".
inline std::vector<std::uint8_t> Bytes(std::string_view hex) {
    std::vector<std::uint8_t> out;
    int hi = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else continue;
        if (hi < 0) {
            hi = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(hi << 4 | v));
            hi = -1;
        }
    }
    return out;
}

// The frame text as bytes whose lower digits carry it (upper digit 0).
inline std::vector<std::uint8_t> LowerDigitBytes(std::string_view text, std::uint8_t upper = 0) {
    std::vector<std::uint8_t> out;
    for (char c : text) {
        const int v = (c <= '9') ? c - '0' : c - 'A' + 10;
        out.push_back(static_cast<std::uint8_t>(upper << 4 | v));
    }
    return out;
}

}  // namespace corvel::test
