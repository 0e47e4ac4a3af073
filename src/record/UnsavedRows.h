#pragma once

#include <utility>
#include <vector>

#include "record/ReadingLog.h"

namespace corvel {

// Which rows of the log exist nowhere but in it: rows the meter logged that
// no save has written since. Rows read from a file are in that file, and a
// save covers the rows the log held when it began.
//
// Logged rows come in runs between the rows files add, so it keeps the
// runs, not a mark a row: a few pairs of numbers for a log of millions.
class UnsavedRows final : private ReadingLog::Observer {
public:
    explicit UnsavedRows(ReadingLog& log);
    ~UnsavedRows() override;
    UnsavedRows(const UnsavedRows&) = delete;
    UnsavedRows& operator=(const UnsavedRows&) = delete;

    // A save wrote the table's rows 0 to count - 1.
    void Saved(int count);
    // Rows first to end - 1 exist only in the log (rows that came back
    // from the journal, or that a replacement carried over).
    void NotSaved(int first, int end);

    // How many of the rows before `end` are unsaved.
    int CountBefore(int end) const;
    // Those rows, in table order, as a table of their own.
    ReadingLogStore RowsBefore(int end) const;

private:
    void RowLogged(int row, double measuredValue) override;
    void Emptied() override { runs_.clear(); }

    ReadingLog& log_;
    std::vector<std::pair<int, int>> runs_;  // [first, end), ascending
};

}  // namespace corvel
