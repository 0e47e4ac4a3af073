#pragma once

// The data-file readers as the fuzz targets drive them: the input is the
// file, handed over in pieces whose sizes the input's first byte chooses.

#include <cstdint>
#include <cstdlib>

#include "record/LogFileJobs.h"
#include "record/ReadingLogStore.h"

namespace corvel::fuzz {

// Takes each row as the log would, without keeping it: a store's blocks
// are large, and allocating one a run would slow the fuzzing down.
class CheckingSink final : public RowSink {
public:
    void Row(const LoadedRow& row) override {
        // Every text the table keeps is cut to its width.
        for (const std::string_view text : row.texts)
            if (ReadingLogStore::Cut(text).size() > 4 * ReadingLogStore::kTextWidth) std::abort();
        ++rows;
    }
    int rows = 0;
};

template <typename Reader>
void ReadFile(const std::uint8_t* data, std::size_t size) {
    CheckingSink sink;
    Reader reader(sink);
    const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 97;
    bool ok = true;
    for (std::size_t i = 0; i < size && ok; i += piece)
        ok = reader.Feed(reinterpret_cast<const char*>(data) + i, std::min(piece, size - i));
    if (ok) reader.Finish();
}

}  // namespace corvel::fuzz
