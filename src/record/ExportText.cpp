#include "record/ExportText.h"

#include <cstdint>

#include "record/ByteCharacters.h"

namespace corvel {

namespace {

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

}  // namespace

void AppendUtf8(std::string_view text, std::string& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = XmlUtf8Length(text, i);
        if (n > 0) {
            out.append(text.data() + i, n);
            i += n;
            continue;
        }
        const auto b = static_cast<unsigned char>(text[i++]);
        PutCodePoint(ByteCharacter(b), out);
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
