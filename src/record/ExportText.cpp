#include "record/ExportText.h"

#include "record/ByteCharacters.h"

namespace corvel {

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
        AppendUtf8Character(ByteCharacter(b), out);
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
