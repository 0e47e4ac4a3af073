#include "record/TextTable.h"

#include <fstream>
#include <ostream>

namespace corvel {

std::string_view TextTable::Field(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text.empty() ? kEmpty : text;
}

void TextTable::AppendLine(const ReadingLogStore& rows, int row, std::string& out) {
    rows.AppendText(row, ReadingLogStore::No, out);
    std::string text;
    for (int field = ReadingLogStore::Time; field < ReadingLogStore::kFieldCount; ++field) {
        text.clear();
        rows.AppendText(row, field, text);
        out += '\t';
        out += Field(text);
    }
}

void TextTable::Write(const ReadingLogStore& rows, std::ostream& out) {
    out << kHeader << kLineEnd;
    std::string line;
    for (int row = 0; row < rows.RowCount(); ++row) {
        line.clear();
        AppendLine(rows, row, line);
        line += kLineEnd;
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

bool TextTable::Save(const ReadingLogStore& rows, const std::string& fileName) {
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    Write(rows, file);
    file.flush();
    return static_cast<bool>(file);
}

}  // namespace corvel
