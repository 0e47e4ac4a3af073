#pragma once

#include <string>
#include <string_view>

#include "record/ReadingLogStore.h"

namespace corvel {

// The log as the data-set toolkit's XML data packet: the field list under
// METADATA, then one ROW element a row with one attribute a field. Written
// in pieces so that a packet of any size streams through a small buffer.
class XmlPacket {
public:
    static constexpr std::string_view kVersion = "2.0";

    // The declaration, DATAPACKET's start, METADATA and ROWDATA's start.
    static void AppendHead(std::string& out);
    // Rows [first, last), one ROW element each. An empty text is left out
    // of its row, as the toolkit leaves out a field without a value.
    static void AppendRows(const ReadingLogStore& rows, int first, int last, std::string& out);
    // ROWDATA's and DATAPACKET's ends.
    static void AppendTail(std::string& out);

    // An attribute value with the toolkit's escapes. The log's texts are
    // bytes, mostly ASCII; what is valid UTF-8 among them is copied as it
    // is, so that the packet stays UTF-8 throughout. A byte that is no part
    // of a UTF-8 character (a text table is read one byte a character)
    // becomes a character reference to the character it is in
    // Windows-1252, or in Latin-1 for the five codes Windows-1252 leaves
    // unused; a control character XML cannot hold becomes a reference to
    // its picture (U+2400 and on). The reader takes each such reference
    // back to its one byte, and so a text reads back byte for byte.
    static void AppendEscaped(std::string_view text, std::string& out);
};

}  // namespace corvel
