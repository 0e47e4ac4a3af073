#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "record/JournalFormat.h"
#include "record/ReadingLogStore.h"

namespace corvel {

// What a log held when its journal ended: rows, counters, the chart's points
// since the last new log. The log takes it over whole (ReadingLog::Restore).
struct RestoredLog {
    explicit RestoredLog(std::string timeSeparator = ":") : rows(std::move(timeSeparator)) {}
    ReadingLogStore rows;
    std::vector<double> points;
    int nextRecordNo = 1;
    int recordCount = 0;
    std::string lastRowKey;
    // The Record menu's limit entry last chosen, if one was.
    std::optional<int> limitEntry;
};

// Replays a journal into a RestoredLog, by the same rules the log follows
// when it changes.
class JournalReplay final : public JournalSink {
public:
    explicit JournalReplay(RestoredLog& out) : out_(out) {}
    void Logged(const journal::Row& row, double measuredValue) override;
    void Loaded(const journal::Row& row) override;
    void Emptied() override;
    void NewLog() override;
    void LimitChosen(int entry) override;

private:
    void Append(const journal::Row& row);
    RestoredLog& out_;
};

// Reads a journal file into `out`. False when the file is no journal this
// program reads (`error` says why); a damaged tail is cut off and reported
// through `result`.
bool ReadJournalInto(const std::string& path, RestoredLog& out, std::string* error = nullptr,
                     JournalReadResult* result = nullptr,
                     const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});

}  // namespace corvel
