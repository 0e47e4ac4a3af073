#include "record/TextTable.h"

#include <algorithm>
#include <ostream>

#include "record/LogFileJobs.h"

namespace corvel {

namespace {
bool Blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}
}  // namespace

std::string_view TextTable::Field(std::string_view text) {
    while (!text.empty() && Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Blank(text.back())) text.remove_suffix(1);
    return text.empty() ? kEmpty : text;
}

void TextTable::AppendField(std::string_view text, std::string& out) {
    text = Field(text);
    bool quote = false;
    for (const char c : text)
        if ((c != 0 && Blank(c)) || c == '"') {
            quote = true;
            break;
        }
    if (!quote) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"')
            out += "\"\"";
        else if (c == '\r' || c == '\n')
            out += ' ';
        else
            out += c;
    }
    out += '"';
}

void TextTable::AppendLine(const ReadingLogStore& rows, int row, std::string& out) {
    rows.AppendText(row, ReadingLogStore::No, out);
    std::string text;
    for (int field = ReadingLogStore::Time; field < ReadingLogStore::kFieldCount; ++field) {
        text.clear();
        rows.AppendText(row, field, text);
        out += '\t';
        AppendField(text, out);
    }
}

void TextTable::AppendHeader(std::string& out) {
    out += kHeader;
    out += kLineEnd;
}

void TextTable::AppendLines(const ReadingLogStore& rows, int first, int last, std::string& out) {
    std::string text;
    for (int row = first; row < last; ++row) {
        rows.AppendText(row, ReadingLogStore::No, out);
        for (int field = ReadingLogStore::Time; field < ReadingLogStore::kFieldCount; ++field) {
            text.clear();
            rows.AppendText(row, field, text);
            out += '\t';
            AppendField(text, out);
        }
        out += kLineEnd;
    }
}

void TextTable::Write(const ReadingLogStore& rows, std::ostream& out) {
    std::string buffer;
    AppendHeader(buffer);
    constexpr int kRowsAtOnce = 4096;
    for (int row = 0; row < rows.RowCount(); row += kRowsAtOnce) {
        AppendLines(rows, row, std::min(rows.RowCount(), row + kRowsAtOnce), buffer);
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.clear();
    }
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
}

bool TextTable::Save(const ReadingLogStore& rows, const std::string& fileName) {
    return SaveLogFile(rows, fileName, LogFileFormat::TextTable);
}

}  // namespace corvel
