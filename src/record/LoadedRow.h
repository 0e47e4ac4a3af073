#pragma once

#include <cstddef>
#include <string_view>

namespace corvel {

// A row as a data file gives it: the record number and the five texts in
// field order (time, Value, Unit, Value2, Unit2), uncut. The texts are
// valid only during the call that hands the row over.
struct LoadedRow {
    int no = 0;
    std::string_view texts[5];
};

// Where a reader puts the rows it reads.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void Row(const LoadedRow& row) = 0;
};

// A reader of one data-file format. The file's bytes are handed over in
// pieces of any size; a reader keeps no more than a small bounded buffer
// of them, so a file of any size costs only the rows it holds. Once it has
// failed it takes nothing more.
class LogFileParser {
public:
    virtual ~LogFileParser() = default;
    // False once the file has failed.
    virtual bool Feed(const char* data, std::size_t size) = 0;
    // The file has ended: false when it failed, now or before.
    virtual bool Finish() = 0;
};

}  // namespace corvel
