#pragma once

#include <cstdint>
#include <string>

#include "record/LoadedRow.h"

namespace corvel {

// Reads a text table. A line ends at CR LF, CR or LF; the first line is
// dropped whatever it holds. Each other line is split into tokens: runs of
// characters with codes 1 to 32 separate them, and a token that opens with
// a double quote runs to the matching closing quote, two quotes in a row
// inside it standing for one. A line with tokens is a row: the first token
// is the record number, the next ones the texts in field order. A line
// without tokens is skipped.
//
// The file fails on: no bytes at all, a record number that is no 32-bit
// integer, a line with more than six tokens. The rows of the lines before
// it have been handed over by then; the failing line gives none.
class TextTableReader final : public LogFileParser {
public:
    explicit TextTableReader(RowSink& sink) : sink_(sink) {}

    bool Feed(const char* data, std::size_t size) override;
    bool Finish() override;

    // A token keeps at most this many bytes: a text is cut to 20
    // characters anyway, and a record number this long is no integer.
    static constexpr std::size_t kTokenBytes = 256;
    static constexpr int kMaxTokens = 6;

private:
    enum class State : std::uint8_t { FirstLine, Between, Plain, Quoted, QuoteInQuoted };
    void StartToken();
    void Put(char c);
    void EndLine();
    void Fail() { failed_ = true; }

    RowSink& sink_;
    State state_ = State::FirstLine;
    bool failed_ = false;
    bool anyByte_ = false;
    bool lineOpen_ = false;  // bytes since the last line end
    bool afterCR_ = false;   // an LF right after a CR ends no second line
    int tokens_ = 0;
    std::string token_[kMaxTokens];
    bool overlong_[kMaxTokens] = {};
};

}  // namespace corvel
