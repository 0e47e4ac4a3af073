// The journal reader takes whatever a crashed run, a full disk or a stranger
// left in the data folder: it must give the rows of whole, sound batches and
// nothing else, without crashing or growing past them.

#include <cstdint>
#include <cstdlib>

#include "record/JournalFormat.h"
#include "record/JournalReplay.h"

namespace {

// Counts what reaches the sink and checks it, then replays it into a log
// kept across inputs (a new log's first row costs a block of rows).
class CheckingSink final : public corvel::JournalSink {
public:
    explicit CheckingSink(corvel::JournalSink& next) : next_(next) {}
    std::uint64_t entries = 0;
    void Logged(const corvel::journal::Row& row, double value) override {
        Check(row);
        next_.Logged(row, value);
    }
    void Loaded(const corvel::journal::Row& row) override {
        Check(row);
        next_.Loaded(row);
    }
    void Emptied() override {
        ++entries;
        next_.Emptied();
    }
    void NewLog() override {
        ++entries;
        next_.NewLog();
    }
    void LimitChosen(int entry) override {
        ++entries;
        if (entry < 0 || entry > 255) std::abort();
        next_.LimitChosen(entry);
    }

private:
    void Check(const corvel::journal::Row& row) {
        ++entries;
        using corvel::journal::kMaxTextBytes;
        if (row.value.size() > kMaxTextBytes || row.unit.size() > kMaxTextBytes ||
            row.value2.size() > kMaxTextBytes || row.unit2.size() > kMaxTextBytes ||
            row.timeText.size() > kMaxTextBytes)
            std::abort();
        if (row.secondOfDay < -1 || row.secondOfDay >= 86400) std::abort();
    }
    corvel::JournalSink& next_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static corvel::RestoredLog log;
    static corvel::JournalReplay replay(log);
    if (log.rows.RowCount() > 1'000'000) log = corvel::RestoredLog();
    CheckingSink sink(replay);
    const corvel::JournalReadResult r = corvel::ReadJournalBytes(data, size, sink);
    if (r.goodLength > size) std::abort();
    if (!r.recognised && (sink.entries > 0 || r.goodLength > 0)) std::abort();
    // Every entry takes at least a byte of a sound batch.
    if (sink.entries > size) std::abort();
    return 0;
}
