// The report descriptor comes from whatever device is plugged in: the reader
// must end on any bytes, keep its sizes within what a report can carry, and
// never take back bytes it already counted.

#include <cstdint>
#include <cstdlib>

#include "links/HidReportDescriptor.h"

namespace {

// The kernel's largest report buffer, in bytes.
constexpr int kMaxReportBytes = 16384;

bool InRange(const corvel::HidReportSummary& s) {
    return s.longestInputReport >= 0 && s.longestInputReport <= kMaxReportBytes &&
           s.longestFeatureReport >= 0 && s.longestFeatureReport <= kMaxReportBytes &&
           s.InputReportByteLength() == (s.longestInputReport > 0 ? s.longestInputReport + 1 : 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const corvel::HidReportSummary whole = corvel::SummariseReportDescriptor(data, size);
    if (!InRange(whole)) std::abort();
    // Reports only grow as items are read, so a descriptor cut short can
    // never declare a longer report than the whole one.
    if (size > 1) {
        const corvel::HidReportSummary part = corvel::SummariseReportDescriptor(data, size / 2);
        if (!InRange(part) || part.longestInputReport > whole.longestInputReport ||
            part.longestFeatureReport > whole.longestFeatureReport ||
            (part.numberedInput && !whole.numberedInput))
            std::abort();
    }
    return 0;
}
