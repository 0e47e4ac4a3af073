#include "record/XmlPacket.h"

#include <cstdint>

#include "record/ByteCharacters.h"
#include "record/ReadingLog.h"

namespace corvel {

void XmlPacket::AppendHead(std::string& out) {
    out += "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<DATAPACKET Version=\"";
    out += kVersion;
    out += "\"><METADATA><FIELDS>";
    for (int field = 0; field < ReadingLogStore::kFieldCount; ++field) {
        out += "<FIELD attrname=\"";
        out += ReadingLog::FieldName(field);
        if (field == ReadingLogStore::No)
            out += "\" fieldtype=\"i4\"/>";
        else
            out += "\" fieldtype=\"string\" WIDTH=\"20\"/>";
    }
    out += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
}

void XmlPacket::AppendRows(const ReadingLogStore& rows, int first, int last, std::string& out) {
    std::string text;
    for (int row = first; row < last; ++row) {
        out += "<ROW No=\"";
        rows.AppendText(row, ReadingLogStore::No, out);
        out += '"';
        for (int field = ReadingLogStore::Time; field < ReadingLogStore::kFieldCount; ++field) {
            text.clear();
            rows.AppendText(row, field, text);
            if (text.empty()) continue;
            out += ' ';
            out += ReadingLog::FieldName(field);
            out += "=\"";
            AppendEscaped(text, out);
            out += '"';
        }
        out += "/>";
    }
}

void XmlPacket::AppendTail(std::string& out) {
    out += "</ROWDATA></DATAPACKET>\r\n";
}

void XmlPacket::AppendEscaped(std::string_view text, std::string& out) {
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '\'': out += "&apos;"; break;
            case '"': out += "&quot;"; break;
            case '\r': out += "&#013;"; break;
            case '\n': out += "&#010;"; break;
            case '\t': out += "&#009;"; break;
            case '\\': out += "&#092;"; break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                if (byte >= 0x20 && byte < 0x80) {
                    out += c;
                    break;
                }
                const std::size_t length = XmlUtf8Length(text, i);
                if (length > 0 && byte >= 0x80) {
                    out.append(text, i, length);
                    i += length;
                    continue;
                }
                out += "&#";
                out += std::to_string(static_cast<std::uint32_t>(ByteCharacter(byte)));
                out += ';';
            }
        }
        ++i;
    }
}

}  // namespace corvel
