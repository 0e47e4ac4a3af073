#include "record/ExportText.h"

#include <array>
#include <cstdint>

namespace corvel {

namespace {

// Windows-1252's bytes 0x80 to 0x9F; the five it leaves undefined keep
// their own code points, as the web's decoders do.
constexpr std::array<std::uint16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void PutCodePoint(std::uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The length of the well-formed UTF-8 sequence at `i`, or 0 when the byte
// there starts none (overlong forms and surrogates included).
std::size_t Utf8SequenceAt(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b0 = byte(i);
    if (b0 < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    if (byte(i + 1) < low || byte(i + 1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

}  // namespace

void AppendUtf8(std::string_view text, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = Utf8SequenceAt(text, i);
        if (n > 0) {
            out.append(text.data() + i, n);
            i += n;
            continue;
        }
        const auto b = static_cast<unsigned char>(text[i++]);
        PutCodePoint(b < 0xA0 ? kHighControls[b - 0x80] : b, out);
    }
}

std::string ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(text, out);
    return out;
}

std::string ReadableUnit(std::string_view unit, int field) {
    // The mirror writes km/h with a capital K; people write it small.
    if (unit == "Km|h") return "km/h";
    const bool second = field == ReadingLogStore::Unit2;
    std::string out;
    out.reserve(unit.size() + 4);
    for (const char c : unit) {
        switch (c) {
            case '|': out += '/'; break;
            case '#': out += "\u00B0C"; break;
            case '?':
                if (second)
                    out += c;
                else
                    out += "\u00B0F";
                break;
            case '$':
                if (second)
                    out += "\u00B0F";
                else
                    out += c;
                break;
            case '^':
                if (second)
                    out += "DP";
                else
                    out += c;
                break;
            case '>':
                if (second)
                    out += "WB";
                else
                    out += c;
                break;
            default: out += c;
        }
    }
    return ToUtf8(out);
}

}  // namespace corvel
