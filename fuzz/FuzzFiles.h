#pragma once

// The data-file readers as the fuzz targets drive them: the input is the
// file, handed over in pieces whose sizes the input's first byte chooses,
// into a store as the log keeps its rows.

#include <cstdint>
#include <cstdlib>

#include "record/LogFileJobs.h"
#include "record/ReadingLogStore.h"

namespace corvel::fuzz {

template <typename Reader>
void ReadFile(const std::uint8_t* data, std::size_t size) {
    ReadingLogStore rows;
    StoreSink sink(rows);
    Reader reader(sink);
    const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 97;
    bool ok = true;
    for (std::size_t i = 0; i < size && ok; i += piece)
        ok = reader.Feed(reinterpret_cast<const char*>(data) + i, std::min(piece, size - i));
    if (ok) reader.Finish();
    // Every text kept is cut to the table's width.
    for (int r = 0; r < rows.RowCount(); ++r)
        for (int f = ReadingLogStore::Time; f < ReadingLogStore::kFieldCount; ++f)
            if (rows.Text(r, f).size() > 4 * ReadingLogStore::kTextWidth) std::abort();
}

}  // namespace corvel::fuzz
