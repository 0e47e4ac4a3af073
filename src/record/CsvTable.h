#pragma once

#include <string>
#include <string_view>

#include "record/ReadingLogStore.h"

namespace corvel {

// The log as comma-separated values the way most programs read them: a
// comma between fields, CR LF after every line, a field holding a comma, a
// double quote or a line break put in double quotes with its quotes
// doubled. UTF-8 with a byte-order mark, without which Excel takes the
// bytes for the system's code page and "°C" comes out garbled. The same
// header as the text table, units as people read them, numbers as the log
// holds them.
class CsvTable {
public:
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    static constexpr std::string_view kHeader = "No,Time,Value,Unit,Value2,Unit2";
    static constexpr std::string_view kLineEnd = "\r\n";

    // The byte-order mark and the header line.
    static void AppendHeader(std::string& out);
    // One field, quoted when it has to be.
    static void AppendField(std::string_view text, std::string& out);
    // Rows [first, last) as lines. Reuse one CsvTable for a whole file:
    // it remembers the units it has made readable.
    void AppendLines(const ReadingLogStore& rows, int first, int last, std::string& out);

private:
    // Readings repeat their units, so the last one of each column is kept
    // made readable.
    struct UnitCache {
        std::string code;
        std::string readable;
        bool valid = false;
    };
    const std::string& Readable(std::string_view code, int field);

    UnitCache units_[2];
    std::string scratch_;
};

}  // namespace corvel
