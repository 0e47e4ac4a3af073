#include "record/JournalReplay.h"

#include <algorithm>
#include <filesystem>

namespace corvel {

void JournalReplay::Append(const journal::Row& row) {
    if (row.secondOfDay >= 0)
        out_.rows.Append(row.no, row.secondOfDay, row.value, row.unit, row.value2, row.unit2);
    else
        out_.rows.Append(row.no, row.timeText, row.value, row.unit, row.value2, row.unit2);
}

void JournalReplay::Logged(const journal::Row& row, double measuredValue) {
    Append(row);
    out_.points.push_back(measuredValue);
    // As the log counts: the row took NextRecordNo and moved it on.
    out_.nextRecordNo = static_cast<int>(static_cast<std::uint32_t>(row.no) + 1u);
    ++out_.recordCount;
    out_.lastRowKey.assign(row.value);
    out_.lastRowKey.append(row.unit);
}

void JournalReplay::Loaded(const journal::Row& row) {
    Append(row);
}

void JournalReplay::Emptied() {
    out_.rows.Clear();
}

void JournalReplay::NewLog() {
    out_.rows.Clear();
    out_.points.clear();
    out_.nextRecordNo = 1;
    out_.recordCount = 0;
}

void JournalReplay::LimitChosen(int entry) {
    out_.limitEntry = entry;
}

bool ReadJournalInto(const std::string& path, RestoredLog& out, std::string* error, JournalReadResult* result,
                     const std::function<void(std::uint64_t, std::uint64_t)>& progress) {
    JournalReplay replay(out);
    // A logged row takes at least nine bytes: room for every point at
    // once, so ten million of them are not copied as the vector grows.
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    // Capped: a log holds ten million logged rows at the most.
    constexpr std::uintmax_t kMostPoints = 20'000'000;
    if (!ec)
        out.points.reserve(out.points.size() + static_cast<std::size_t>(std::min(size / 9, kMostPoints)));
    JournalReadResult r = ReadJournalFile(path, replay, progress);
    const bool ok = r.recognised;
    if (!ok && error) *error = r.error;
    if (result) *result = std::move(r);
    return ok;
}

}  // namespace corvel
