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

    // An attribute value with the toolkit's escapes; other control
    // characters, which XML cannot carry as they are, become character
    // references too.
    static void AppendEscaped(std::string_view text, std::string& out);
};

}  // namespace corvel
