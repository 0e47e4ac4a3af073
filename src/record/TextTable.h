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

    // A text field cut of blanks and control characters (codes 0 to 32) at
    // both ends, "NULL" when nothing is left.
    static std::string_view Field(std::string_view text);
    // The field as written into a line: Field(), and quoted with its double
    // quotes doubled when a blank, a control character or a double quote
    // is left inside it. The reader splits a line at every blank, so such
    // a field would otherwise come back as several and shift the columns
    // after it. A line break inside a text cannot be carried by a line, so
    // it is written as a blank.
    static void AppendField(std::string_view text, std::string& out);
    // One data line without its line end.
    static void AppendLine(const ReadingLogStore& rows, int row, std::string& out);
    // The header line with its line end.
    static void AppendHeader(std::string& out);
    // Rows [first, last) as lines, each with its line end.
    static void AppendLines(const ReadingLogStore& rows, int first, int last, std::string& out);

    static void Write(const ReadingLogStore& rows, std::ostream& out);
    // Writes the file (created or replaced whole); false when it cannot,
    // and then a file that was there is left as it was.
    static bool Save(const ReadingLogStore& rows, const std::string& fileName);
};

}  // namespace corvel
