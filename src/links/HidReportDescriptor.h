#pragma once

// What the HID layer needs from a report descriptor, read the way the kernel
// reads it: how long the longest input report is and whether reports carry a
// report number in front.

#include <cstddef>
#include <cstdint>

namespace corvel {

struct HidReportSummary {
    // Longest input report, in bytes, without the report number byte; 0 when
    // the descriptor declares no input report.
    int longestInputReport = 0;
    // Longest feature report, in bytes, without the report number byte.
    int longestFeatureReport = 0;
    // True when some input report carries a non-zero report number, so that
    // the kernel hands input reports over with that number in front.
    bool numberedInput = false;
    // False when the descriptor ended inside an item or broke a rule the
    // kernel refuses (a report number of 0, a pop without a push, too deep a
    // push); what was read up to that point is kept.
    bool wellFormed = true;

    // The input report length as the controller sizes its read buffer: the
    // longest input report plus the leading report number byte (0 for a
    // device without numbered reports), or 0 without input reports.
    int InputReportByteLength() const { return longestInputReport > 0 ? longestInputReport + 1 : 0; }
};

HidReportSummary SummariseReportDescriptor(const std::uint8_t* bytes, std::size_t length);

}  // namespace corvel
