#include "record/XmlPacket.h"

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
    for (const char c : text) {
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
            default:
                if (static_cast<unsigned char>(c) < 32) {
                    const int code = static_cast<unsigned char>(c);
                    out += "&#0";
                    out += static_cast<char>('0' + code / 10);
                    out += static_cast<char>('0' + code % 10);
                    out += ';';
                } else {
                    out += c;
                }
        }
    }
}

}  // namespace corvel
