#include "record/UnsavedRows.h"

#include <algorithm>

namespace corvel {

UnsavedRows::UnsavedRows(ReadingLog& log) : log_(log) {
    log_.AddObserver(this);
}

UnsavedRows::~UnsavedRows() {
    log_.RemoveObserver(this);
}

void UnsavedRows::RowLogged(int row, double) {
    NotSaved(row, row + 1);
}

void UnsavedRows::NotSaved(int first, int end) {
    if (first >= end) return;
    // Rows are added at the table's end, so a new run starts at or after
    // the last one's end.
    if (!runs_.empty() && runs_.back().second >= first) {
        runs_.back().second = std::max(runs_.back().second, end);
        return;
    }
    runs_.emplace_back(first, end);
}

void UnsavedRows::Saved(int count) {
    auto keep = std::find_if(runs_.begin(), runs_.end(), [&](const auto& run) { return run.second > count; });
    runs_.erase(runs_.begin(), keep);
    if (!runs_.empty()) runs_.front().first = std::max(runs_.front().first, count);
}

int UnsavedRows::CountBefore(int end) const {
    int n = 0;
    for (const auto& [first, last] : runs_) n += std::max(0, std::min(last, end) - first);
    return n;
}

ReadingLogStore UnsavedRows::RowsBefore(int end) const {
    const ReadingLogStore& from = log_.Rows();
    ReadingLogStore rows(from.TimeSeparator());
    for (const auto& [first, last] : runs_)
        for (int row = first; row < std::min(last, end); ++row) {
            using F = ReadingLogStore::Field;
            if (const auto second = from.SecondOfDay(row))
                rows.Append(from.RecordNo(row), *second, from.TextView(row, F::Value),
                            from.TextView(row, F::Unit), from.TextView(row, F::Value2),
                            from.TextView(row, F::Unit2));
            else
                rows.Append(from.RecordNo(row), from.Text(row, F::Time), from.TextView(row, F::Value),
                            from.TextView(row, F::Unit), from.TextView(row, F::Value2),
                            from.TextView(row, F::Unit2));
        }
    return rows;
}

}  // namespace corvel
