#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace corvel {

// The reading log's journal on disk: a header that names the format and its
// version, then batches of entries, each batch framed by its length and a
// CRC-32 over length and payload. A batch is written whole or not at all as
// far as a reader is concerned: a torn or damaged batch ends the journal.
//
// Entries carry what changes the log: a row the log recorded (with the value
// its chart point got), a row a file load appended, the log emptied, a new
// log (counters and chart back to their start), a record limit chosen. Rows
// are written against the row before them (numbers counting up, times a
// second apart, units that repeat cost a bit each), so a usual row takes
// about twenty bytes.
namespace journal {

inline constexpr char kMagic[8] = {'C', 'R', 'V', 'L', 'J', 'R', 'N', 'L'};
inline constexpr std::uint32_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 16;      // magic, version, CRC of both
inline constexpr std::size_t kBatchHeaderSize = 8;  // payload length, CRC
// Writers split larger batches, so a reader never needs a bigger buffer.
inline constexpr std::size_t kMaxBatchPayload = 64 * 1024;
// A text is cut to 20 characters by the log; 20 four-byte characters at most.
inline constexpr std::size_t kMaxTextBytes = 80;

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

// The header bytes of a journal of this version.
std::string Header();

// One row as the journal carries it. A time the log keeps as a second of the
// day is that number; any other time text (rows read from a file keep what
// they had) is the text, with secondOfDay -1.
struct Row {
    std::int32_t no = 0;
    std::int32_t secondOfDay = 0;
    std::string_view timeText;
    std::string_view value, unit, value2, unit2;
    // For a writer that knows without comparing which texts repeat the row
    // it wrote before: bit 0 value, 1 unit, 2 value2, 3 unit2. Such a text's
    // view may be left empty.
    unsigned repeated = 0;
};

// A text of the row before, kept in place: texts are short, and one or two
// of them change on most rows.
class StateText {
public:
    void assign(std::string_view text) {
        size_ = static_cast<std::uint8_t>(std::min(text.size(), kMaxTextBytes));
        if (size_ > 0) std::memcpy(bytes_, text.data(), size_);
    }
    std::string_view view() const { return {bytes_, size_}; }
    const char* data() const { return bytes_; }
    bool Is(std::string_view text) const {
        return text.size() == size_ && (size_ == 0 || std::memcmp(text.data(), bytes_, size_) == 0);
    }

private:
    std::uint8_t size_ = 0;
    char bytes_[kMaxTextBytes] = {};
};

// What the row before was: both ends keep it so that a row is written as
// what changed. A reader that goes on writing after the last batch takes the
// writer's state over from the reader.
struct CodecState {
    std::int32_t no = 0;
    std::int32_t secondOfDay = 0;
    StateText texts[4];
};

// Appends entries to a growing payload.
class Encoder {
public:
    explicit Encoder(CodecState state = {}) : state_(std::move(state)) {}
    void Logged(const Row& row, double measuredValue, std::string& out) {
        PutRow(0, row, &measuredValue, out);
    }
    void Loaded(const Row& row, std::string& out) { PutRow(1, row, nullptr, out); }
    void Emptied(std::string& out);
    void NewLog(std::string& out);
    void LimitChosen(int entry, std::string& out);
    const CodecState& State() const { return state_; }

private:
    void PutRow(int kind, const Row& row, const double* value, std::string& out);
    CodecState state_;
};

// Frames a payload as one batch.
void AppendBatch(std::string_view payload, std::string& out);
// The eight bytes that go before a payload.
std::string BatchHeader(std::string_view payload);

}  // namespace journal

// Whoever a journal is read into.
class JournalSink {
public:
    virtual ~JournalSink() = default;
    virtual void Logged(const journal::Row& row, double measuredValue) = 0;
    virtual void Loaded(const journal::Row& row) = 0;
    virtual void Emptied() = 0;
    virtual void NewLog() = 0;
    virtual void LimitChosen(int entry) = 0;
};

struct JournalReadResult {
    // The header is this program's journal of a version it reads.
    bool recognised = false;
    // Bytes of header and whole, sound batches: where a writer goes on.
    std::uint64_t goodLength = 0;
    // Something after goodLength was cut off.
    bool damaged = false;
    std::uint64_t batches = 0;
    journal::CodecState state;
    std::string error;
};

// Reads bytes the way a file gives them: at most `size` bytes into `out`,
// returning how many (0 at the end or on an error).
using JournalByteSource = std::function<std::size_t(char* out, std::size_t size)>;

// Reads a journal batch by batch; a batch reaches the sink only once it is
// whole and sound. `progress` hears the bytes read so far after each batch.
JournalReadResult ReadJournal(const JournalByteSource& source, JournalSink& sink,
                              const std::function<void(std::uint64_t)>& progress = {});
JournalReadResult ReadJournalBytes(const void* data, std::size_t size, JournalSink& sink);
// A journal file; `error` says why it could not be read at all.
JournalReadResult ReadJournalFile(
    const std::string& path, JournalSink& sink,
    const std::function<void(std::uint64_t done, std::uint64_t total)>& progress = {});

}  // namespace corvel
