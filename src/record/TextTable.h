#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "record/ReadingLogStore.h"

namespace corvel {

// The log as a tab-separated text table: a header line, then one line a
// row, every line ending in CR LF. A spreadsheet opens it as a table and
// the program reads it back.
class TextTable {
public:
    static constexpr std::string_view kHeader = "No\tTime\tValue\tUnit\tValue2\tUnit2";
    static constexpr std::string_view kLineEnd = "\r\n";
    // What an empty text is written as, so that the reader, which joins
    // runs of blanks, keeps the columns in place.
    static constexpr std::string_view kEmpty = "NULL";

    // A text field as written: blanks and control characters (codes 0 to
    // 32) cut from both ends, "NULL" when nothing is left.
    static std::string_view Field(std::string_view text);
    // One data line without its line end.
    static void AppendLine(const ReadingLogStore& rows, int row, std::string& out);

    static void Write(const ReadingLogStore& rows, std::ostream& out);
    // Writes the file (created or overwritten); false when it cannot.
    static bool Save(const ReadingLogStore& rows, const std::string& fileName);
};

}  // namespace corvel
