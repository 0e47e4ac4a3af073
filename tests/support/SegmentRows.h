#pragma once

// Reads a segment frame's rows back the way the program's decoders do, so
// tests of the simulated meter judge its frames by the program's tables.

#include <cstdint>
#include <string>
#include <vector>

#include "decode/SegmentFormat.h"

namespace corvel::test {

// A row as the program's Oak decoder writes it: digits left to right with
// the point where its bit is set, "@" as "L", blank digits left out.
inline std::string DecodedRow(const SegmentBits& bits, int leftDigit) {
    std::string text;
    for (int k = leftDigit; k > leftDigit - 4; --k) {
        char c = SegmentCodeTable::Lookup(bits.pattern(k));
        if (c == '@') c = 'L';
        if (c) text += c;
        // A digit's point bit lights the point to its right.
        if (k != leftDigit - 3 && bits.point(k)) text += '.';
    }
    return text;
}

inline std::string Trimmed(const std::string& s) {
    std::string out;
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

// The frame bytes' lower hex digits (the frame as a decoder sees it), and
// their upper digits in `upper` if given.
inline std::string LowerDigits(const std::vector<std::uint8_t>& frame, std::string* upper = nullptr) {
    static const char* hex = "0123456789ABCDEF";
    std::string lower;
    for (auto b : frame) {
        lower += hex[b & 0xF];
        if (upper) *upper += hex[b >> 4];
    }
    return lower;
}

}  // namespace corvel::test
