// The journal reader takes whatever a crashed run, a full disk or a stranger
// left in the data folder: it must give the rows of whole, sound batches and
// nothing else, without crashing or growing past them.

#include <cstdint>
#include <cstdlib>

#include "record/JournalFormat.h"
#include "record/JournalReplay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvel::RestoredLog out;
    corvel::JournalReplay replay(out);
    const corvel::JournalReadResult r = corvel::ReadJournalBytes(data, size, replay);
    if (r.goodLength > size) std::abort();
    // A row takes at least one byte of a batch, and every logged row one
    // point.
    if (static_cast<std::uint64_t>(out.rows.RowCount()) > size) std::abort();
    if (out.points.size() > size) std::abort();
    return 0;
}
