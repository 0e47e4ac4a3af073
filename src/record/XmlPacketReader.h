#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "record/LoadedRow.h"

namespace corvel {

// Reads an XML data packet: the ROW elements under DATAPACKET/ROWDATA
// become rows, each attribute named after a field (whatever its case)
// giving that field's text. Everything else the toolkit or other programs
// put in a packet is taken and passed over: METADATA, PARAMS and its
// attributes (CHANGE_LOG among them), RowState and other attributes of a
// row, comments, processing instructions, white space. A field missing
// from a row is empty (the record number 0).
//
// It reads XML itself, for speed and so that it can never reach outside
// the file: a document type declaration is refused before anything in it
// is read, so no entity can be declared, and a reference to any entity but
// the five predefined ones fails. Character references are taken for
// every code point, control characters included; a reference to a
// character that stands for one byte of a log text (see ByteCharacters.h)
// gives that byte, any other its UTF-8. Characters written as they are
// give their bytes as they are, so UTF-8 stays UTF-8.
//
// The packet fails when it is not well-formed as far as this reader looks
// (tags, attributes, nesting, one root, nothing but white space, comments
// and processing instructions around the root), when the root is not DATAPACKET,
// when a record number is no 32-bit integer, or when one tag, comment or
// other markup is longer than kMaxMarkup bytes.
class XmlPacketReader final : public LogFileParser {
public:
    explicit XmlPacketReader(RowSink& sink) : sink_(sink) {}

    bool Feed(const char* data, std::size_t size) override;
    bool Finish() override;

    static constexpr std::size_t kMaxMarkup = 1 << 20;
    static constexpr std::size_t kMaxDepth = 64;

    // An attribute value with its references replaced and its line breaks
    // and tabs made blanks, as XML reads it; false when it cannot be read.
    static bool DecodeValue(std::string_view raw, std::string& out);

private:
    enum class Step { Done, NeedMore, Failed };
    // Reads the buffer as far as it holds whole pieces of markup.
    void Scan();
    Step ScanMarkup();
    Step ScanStartTag();
    Step ScanEndTag();
    Step Skip(std::string_view opener, std::string_view closer);
    // Text before or after the root up to `end`: white space only.
    bool OutsideRootText(std::size_t end);
    bool StartElement(std::string_view name, bool empty);
    void Fail() { failed_ = true; }

    struct Attribute {
        std::string_view name;
        std::string_view raw;
    };

    RowSink& sink_;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    bool sawRoot_ = false;
    bool startPassed_ = false;       // past a byte-order mark, if any
    std::vector<std::string> open_;  // names of the elements open
    std::vector<Attribute> attributes_;
    std::string texts_[6];
};

}  // namespace corvel
