#include "record/XmlPacketReader.h"

#include <cstring>

#include "record/ByteCharacters.h"
#include "record/NumberText.h"
#include "record/ReadingLog.h"

namespace corvel {

namespace {

bool Space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Ends a name: white space or a character that belongs to markup.
bool NameEnd(char c) {
    return Space(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\'';
}

bool ReadReference(std::string_view ref, std::string& out) {
    if (ref == "lt") return out += '<', true;
    if (ref == "gt") return out += '>', true;
    if (ref == "amp") return out += '&', true;
    if (ref == "apos") return out += '\'', true;
    if (ref == "quot") return out += '"', true;
    if (ref.size() < 2 || ref[0] != '#') return false;
    const bool hex = ref[1] == 'x';
    std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    std::uint32_t code = 0;
    for (const char c : digits) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            return false;
        code = code * (hex ? 16 : 10) + digit;
        if (code > 0x10FFFF) return false;
    }
    if (code >= 0xD800 && code <= 0xDFFF) return false;
    // A reference to a character that is one byte of a log text (as the
    // writer makes for bytes that are not UTF-8) is that byte; characters
    // written as they are stay UTF-8.
    if (const auto byte = CharacterByte(code))
        out += static_cast<char>(*byte);
    else
        AppendUtf8Character(code, out);
    return true;
}

}  // namespace

bool XmlPacketReader::DecodeValue(std::string_view raw, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        switch (c) {
            case '<': return false;
            case '&': {
                const std::size_t semicolon = raw.find(';', i + 1);
                if (semicolon == std::string_view::npos ||
                    !ReadReference(raw.substr(i + 1, semicolon - i - 1), out))
                    return false;
                i = semicolon;
                break;
            }
            case '\r':
                if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
                out += ' ';
                break;
            case '\n':
            case '\t': out += ' '; break;
            default: out += c;
        }
    }
    return true;
}

bool XmlPacketReader::Feed(const char* data, std::size_t size) {
    if (failed_) return false;
    // What was read is dropped before more comes, so the buffer holds at
    // most one piece of markup and the newest data.
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    buffer_.append(data, size);
    Scan();
    if (!failed_ && buffer_.size() - pos_ > kMaxMarkup) Fail();
    return !failed_;
}

bool XmlPacketReader::Finish() {
    if (failed_) return false;
    Scan();
    // Anything left is markup that never ended.
    if (pos_ < buffer_.size() || !sawRoot_ || !open_.empty()) Fail();
    return !failed_;
}

void XmlPacketReader::Scan() {
    if (!startPassed_) {
        // A byte-order mark may open the file.
        const std::string_view mark = "\xEF\xBB\xBF";
        if (buffer_.size() < mark.size() && mark.starts_with(buffer_)) return;
        startPassed_ = true;
        if (std::string_view(buffer_).starts_with(mark)) pos_ = mark.size();
    }
    while (!failed_ && pos_ < buffer_.size()) {
        if (buffer_[pos_] != '<') {
            // Text between elements carries nothing for the table. Before
            // and after the root only white space may stand.
            const std::size_t next = buffer_.find('<', pos_);
            const std::size_t end = next == std::string::npos ? buffer_.size() : next;
            if (open_.empty() && !OutsideRootText(end)) return;
            pos_ = end;
            continue;
        }
        const Step step = ScanMarkup();
        if (step == Step::Failed) Fail();
        if (step != Step::Done) return;
    }
}

bool XmlPacketReader::OutsideRootText(std::size_t end) {
    for (std::size_t i = pos_; i < end; ++i)
        if (!Space(buffer_[i])) {
            Fail();
            return false;
        }
    return true;
}

XmlPacketReader::Step XmlPacketReader::Skip(std::string_view opener, std::string_view closer) {
    const std::size_t end = buffer_.find(closer, pos_ + opener.size());
    if (end == std::string::npos) return Step::NeedMore;
    pos_ = end + closer.size();
    return Step::Done;
}

XmlPacketReader::Step XmlPacketReader::ScanMarkup() {
    const std::string_view rest = std::string_view(buffer_).substr(pos_);
    // Whether the rest opens with `text`; a rest too short to tell needs more.
    const auto opens = [&](std::string_view text) {
        return rest.substr(0, text.size()) == text.substr(0, rest.size());
    };
    if (rest.size() < 2) return Step::NeedMore;
    if (rest[1] == '?') return Skip("<?", "?>");
    if (rest[1] == '!') {
        if (opens("<!--")) return rest.size() < 4 ? Step::NeedMore : Skip("<!--", "-->");
        if (opens("<![CDATA[")) {
            if (open_.empty()) return Step::Failed;
            return rest.size() < 9 ? Step::NeedMore : Skip("<![CDATA[", "]]>");
        }
        // A document type declaration, or any other: refused unread.
        return Step::Failed;
    }
    if (rest[1] == '/') return ScanEndTag();
    return ScanStartTag();
}

XmlPacketReader::Step XmlPacketReader::ScanEndTag() {
    const std::size_t close = buffer_.find('>', pos_);
    if (close == std::string::npos) return Step::NeedMore;
    std::string_view inside = std::string_view(buffer_).substr(pos_ + 2, close - pos_ - 2);
    while (!inside.empty() && Space(inside.back())) inside.remove_suffix(1);
    if (open_.empty() || inside != open_.back()) return Step::Failed;
    open_.pop_back();
    pos_ = close + 1;
    return Step::Done;
}

XmlPacketReader::Step XmlPacketReader::ScanStartTag() {
    const std::string_view text(buffer_);
    std::size_t i = pos_ + 1;
    const std::size_t nameStart = i;
    while (i < text.size() && !NameEnd(text[i])) ++i;
    if (i == text.size()) return Step::NeedMore;
    const std::string_view name = text.substr(nameStart, i - nameStart);
    if (name.empty()) return Step::Failed;
    attributes_.clear();
    for (;;) {
        const std::size_t before = i;
        while (i < text.size() && Space(text[i])) ++i;
        if (i == text.size()) return Step::NeedMore;
        if (text[i] == '>' || text[i] == '/') {
            const bool empty = text[i] == '/';
            if (empty) {
                if (i + 1 == text.size()) return Step::NeedMore;
                if (text[i + 1] != '>') return Step::Failed;
                ++i;
            }
            pos_ = i + 1;
            return StartElement(name, empty) ? Step::Done : Step::Failed;
        }
        // Attributes stand apart from the name and from each other.
        if (i == before) return Step::Failed;
        const std::size_t attrStart = i;
        while (i < text.size() && !NameEnd(text[i])) ++i;
        if (i == text.size()) return Step::NeedMore;
        const std::string_view attrName = text.substr(attrStart, i - attrStart);
        if (attrName.empty()) return Step::Failed;
        while (i < text.size() && Space(text[i])) ++i;
        if (i == text.size()) return Step::NeedMore;
        if (text[i] != '=') return Step::Failed;
        ++i;
        while (i < text.size() && Space(text[i])) ++i;
        if (i == text.size()) return Step::NeedMore;
        const char quote = text[i];
        if (quote != '"' && quote != '\'') return Step::Failed;
        const std::size_t valueEnd = text.find(quote, i + 1);
        if (valueEnd == std::string_view::npos) return Step::NeedMore;
        attributes_.push_back({attrName, text.substr(i + 1, valueEnd - i - 1)});
        i = valueEnd + 1;
    }
}

bool XmlPacketReader::StartElement(std::string_view name, bool empty) {
    for (std::size_t a = 0; a < attributes_.size(); ++a)
        for (std::size_t b = 0; b < a; ++b)
            if (attributes_[a].name == attributes_[b].name) return false;
    if (open_.empty()) {
        if (sawRoot_ || name != "DATAPACKET") return false;
        sawRoot_ = true;
    }
    if (open_.size() == 2 && name == "ROW" && open_[1] == "ROWDATA") {
        LoadedRow row;
        bool seen[ReadingLog::kFieldCount] = {};
        for (const Attribute& attribute : attributes_) {
            const int field = ReadingLog::FieldIndex(attribute.name);
            if (field < 0) continue;
            // Two attributes for one field (names differing in case).
            if (seen[field]) return false;
            seen[field] = true;
            if (!DecodeValue(attribute.raw, texts_[field])) return false;
        }
        if (seen[ReadingLogStore::No]) {
            const std::optional<int> no = ReadInt32(texts_[ReadingLogStore::No]);
            if (!no) return false;
            row.no = *no;
        }
        for (int field = ReadingLogStore::Time; field < ReadingLog::kFieldCount; ++field)
            if (seen[field]) row.texts[field - 1] = texts_[field];
        sink_.Row(row);
    } else {
        // Every other attribute value must still read as XML.
        for (const Attribute& attribute : attributes_)
            if (!DecodeValue(attribute.raw, texts_[0])) return false;
    }
    if (!empty) {
        if (open_.size() == kMaxDepth) return false;
        open_.emplace_back(name);
    }
    return true;
}

}  // namespace corvel
