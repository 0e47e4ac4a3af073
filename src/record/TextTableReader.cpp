#include "record/TextTableReader.h"

#include "record/NumberText.h"

namespace corvel {

namespace {
bool Separator(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}
}  // namespace

void TextTableReader::StartToken() {
    if (tokens_ == kMaxTokens) {
        Fail();
        return;
    }
    token_[tokens_].clear();
    overlong_[tokens_] = false;
    ++tokens_;
}

void TextTableReader::Put(char c) {
    std::string& token = token_[tokens_ - 1];
    if (token.size() < kTokenBytes)
        token += c;
    else
        overlong_[tokens_ - 1] = true;
}

bool TextTableReader::Feed(const char* data, std::size_t size) {
    if (failed_) return false;
    if (size > 0) anyByte_ = true;
    const char* const end = data + size;
    for (const char* p = data; p < end; ++p) {
        const char c = *p;
        if (c == '\r' || c == '\n') {
            const bool secondHalf = c == '\n' && afterCR_;
            afterCR_ = c == '\r';
            if (secondHalf) continue;
            EndLine();
            if (failed_) return false;
            continue;
        }
        afterCR_ = false;
        lineOpen_ = true;
        switch (state_) {
            case State::FirstLine: break;
            case State::Plain:
                if (Separator(c)) {
                    state_ = State::Between;
                } else {
                    // The rest of a plain run goes in at once.
                    const char* q = p;
                    while (q < end && !Separator(*q) && *q != '\r' && *q != '\n') ++q;
                    std::string& token = token_[tokens_ - 1];
                    const std::size_t room = kTokenBytes - token.size();
                    const std::size_t run = static_cast<std::size_t>(q - p);
                    token.append(p, run < room ? run : room);
                    if (run > room) overlong_[tokens_ - 1] = true;
                    p = q - 1;
                }
                break;
            case State::Quoted:
                if (c == '"')
                    state_ = State::QuoteInQuoted;
                else
                    Put(c);
                break;
            case State::QuoteInQuoted:
                if (c == '"') {
                    Put('"');
                    state_ = State::Quoted;
                    break;
                }
                state_ = State::Between;
                [[fallthrough]];
            case State::Between:
                if (Separator(c)) break;
                StartToken();
                if (failed_) return false;
                if (c == '"') {
                    state_ = State::Quoted;
                } else {
                    Put(c);
                    state_ = State::Plain;
                }
                break;
        }
    }
    return true;
}

void TextTableReader::EndLine() {
    lineOpen_ = false;
    if (state_ == State::FirstLine) {
        state_ = State::Between;
        return;
    }
    state_ = State::Between;
    const int tokens = tokens_;
    tokens_ = 0;
    if (tokens == 0) return;
    const std::optional<int> no = overlong_[0] ? std::nullopt : ReadInt32(token_[0]);
    if (!no) {
        Fail();
        return;
    }
    LoadedRow row;
    row.no = *no;
    for (int i = 1; i < tokens; ++i) row.texts[i - 1] = token_[i];
    sink_.Row(row);
}

bool TextTableReader::Finish() {
    if (failed_) return false;
    if (!anyByte_) {
        Fail();
        return false;
    }
    if (lineOpen_) EndLine();
    return !failed_;
}

}  // namespace corvel
