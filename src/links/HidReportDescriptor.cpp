#include "links/HidReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

namespace corvel {

namespace {

// Item types and tags of the short items that matter for report sizes;
// output reports change nothing that is read or sent here.
constexpr int kMain = 0;
constexpr int kGlobal = 1;
constexpr int kTagInput = 0x8;
constexpr int kTagFeature = 0xB;
constexpr int kTagReportSize = 0x7;
constexpr int kTagReportId = 0x8;
constexpr int kTagReportCount = 0x9;
constexpr int kTagPush = 0xA;
constexpr int kTagPop = 0xB;
constexpr std::uint8_t kLongItemPrefix = 0xFE;
// The kernel keeps four pushed global states at most.
constexpr std::size_t kPushDepth = 4;
// Bits beyond which a report cannot be transferred anyway (the kernel's own
// buffer limit, 16 KiB); keeps absurd sizes and counts from overflowing.
constexpr std::uint64_t kMaxReportBits = 16384ull * 8;

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

std::uint32_t Unsigned(const std::uint8_t* data, int size) {
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) value |= std::uint32_t{data[i]} << (8 * i);
    return value;
}

int Bytes(std::uint64_t bits) {
    return static_cast<int>((std::min(bits, kMaxReportBits) + 7) / 8);
}

}  // namespace

HidReportSummary SummariseReportDescriptor(const std::uint8_t* bytes, std::size_t length) {
    HidReportSummary summary;
    Globals globals;
    std::array<Globals, kPushDepth> stack{};
    std::size_t depth = 0;
    // Bits declared so far for each report number, input and feature apart.
    std::map<std::uint32_t, std::uint64_t> inputBits;
    std::map<std::uint32_t, std::uint64_t> featureBits;

    std::size_t at = 0;
    while (at < length) {
        const std::uint8_t prefix = bytes[at];
        if (prefix == kLongItemPrefix) {
            // A long item: its data size follows, then its tag; nothing in it
            // concerns report sizes.
            if (at + 2 >= length) {
                summary.wellFormed = false;
                break;
            }
            const std::size_t size = bytes[at + 1];
            if (at + 3 + size > length) {
                summary.wellFormed = false;
                break;
            }
            at += 3 + size;
            continue;
        }
        const int sizeCode = prefix & 0x3;
        const int size = sizeCode == 3 ? 4 : sizeCode;
        const int type = (prefix >> 2) & 0x3;
        const int tag = prefix >> 4;
        if (at + 1 + static_cast<std::size_t>(size) > length) {
            summary.wellFormed = false;
            break;
        }
        const std::uint32_t value = Unsigned(bytes + at + 1, size);
        at += 1 + static_cast<std::size_t>(size);

        if (type == kGlobal) {
            switch (tag) {
                case kTagReportSize: globals.reportSize = value; break;
                case kTagReportCount: globals.reportCount = value; break;
                case kTagReportId:
                    if (value == 0 || value > 0xFF)
                        summary.wellFormed = false;
                    else
                        globals.reportId = value;
                    break;
                case kTagPush:
                    if (depth == kPushDepth)
                        summary.wellFormed = false;
                    else
                        stack[depth++] = globals;
                    break;
                case kTagPop:
                    if (depth == 0)
                        summary.wellFormed = false;
                    else
                        globals = stack[--depth];
                    break;
                default: break;
            }
            // The kernel refuses such a descriptor; reading ends here.
            if (!summary.wellFormed) break;
        } else if (type == kMain && (tag == kTagInput || tag == kTagFeature)) {
            auto& bits = tag == kTagInput ? inputBits : featureBits;
            const std::uint64_t added = std::uint64_t{globals.reportSize} * globals.reportCount;
            auto& total = bits[globals.reportId];
            total = std::min(total + added, kMaxReportBits);
            if (tag == kTagInput && globals.reportId != 0) summary.numberedInput = true;
        }
    }

    for (const auto& [id, bits] : inputBits)
        summary.longestInputReport = std::max(summary.longestInputReport, Bytes(bits));
    for (const auto& [id, bits] : featureBits)
        summary.longestFeatureReport = std::max(summary.longestFeatureReport, Bytes(bits));
    return summary;
}

}  // namespace corvel
