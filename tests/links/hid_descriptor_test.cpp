#include <gtest/gtest.h>

#include <vector>

#include "links/HidReportDescriptor.h"

namespace corvel {
namespace {

struct DescriptorCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int inputLength;  // InputReportByteLength()
    int featureLongest;
    bool numbered;
    bool wellFormed;
};

// Collection wrappers are left out where they change nothing: the parser,
// like the kernel, counts bits per report number whatever the nesting.
const DescriptorCase kDescriptors[] = {
    {"SerialBridgeWithoutReportNumbers",
     {0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // vendor page, application collection
      0x75, 0x08, 0x95, 0x08, 0x09, 0x01, 0x81, 0x02,  // 8 input bytes
      0x95, 0x09, 0x09, 0x02, 0xB1, 0x02,              // 9 feature bytes
      0xC0},
     9,
     9,
     false,
     true},
    {"NumberedReportsTakeTheLongest",
     {0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02,  // report 1: 4 bytes
      0x85, 0x02, 0x95, 0x10, 0x81, 0x02,              // report 2: 16 bytes
      0x85, 0x03, 0x95, 0x02, 0xB1, 0x02},             // report 3: feature, 2 bytes
     17,
     2,
     true,
     true},
    {"FieldsOfOneReportAddUp",
     {0x85, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02,  // report 1: 3 bytes ...
      0x85, 0x02, 0x95, 0x05, 0x81, 0x02,              // report 2: 5 bytes
      0x85, 0x01, 0x95, 0x04, 0x81, 0x02},             // ... and 4 more: 7
     8,
     0,
     true,
     true},
    {"MouseBitsRoundUpToBytes",
     {0x75, 0x01, 0x95, 0x03, 0x81, 0x02,  // three buttons
      0x75, 0x05, 0x95, 0x01, 0x81, 0x03,  // padding
      0x75, 0x08, 0x95, 0x02, 0x81, 0x06},
     4,
     0,
     false,
     true},
    {"OddBitCountRoundsUp", {0x75, 0x01, 0x95, 0x09, 0x81, 0x02}, 3, 0, false, true},
    {"PushAndPopRestoreSizeAndCount",
     {0x75, 0x08, 0x95, 0x04, 0xA4,        // push 8 x 4
      0x75, 0x10, 0x95, 0x08, 0x81, 0x02,  // 16 bytes
      0xB4, 0x81, 0x02},                   // pop: 4 bytes more
     21,
     0,
     false,
     true},
    {"PopRestoresTheReportNumberToo",
     {0x75, 0x08, 0x95, 0x02, 0xA4, 0x85, 0x05, 0x81, 0x02, 0xB4, 0x81, 0x02},
     3,
     0,
     true,
     true},
    {"OutputReportsDoNotCount",
     {0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0x95, 0x02, 0x81, 0x02},
     3,
     0,
     false,
     true},
    {"FeatureOnlyHasNoInputLength", {0x75, 0x08, 0x95, 0x09, 0xB1, 0x02}, 0, 9, false, true},
    {"EmptyDescriptor", {}, 0, 0, false, true},
    {"FourByteItemData", {0x75, 0x08, 0x97, 0x20, 0x00, 0x00, 0x00, 0x81, 0x02}, 33, 0, false, true},
    {"LongItemIsSkipped",
     {0xFE, 0x02, 0x10, 0x95, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02},
     3,
     0,
     false,
     true},
    {"HugeSizeAndCountStopAtTheKernelLimit",
     {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02, 0x81, 0x02},
     16385,
     0,
     false,
     true},
    {"TruncatedItemKeepsWhatCameBefore", {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x95}, 3, 0, false, false},
    {"TruncatedLongItem", {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xFE, 0x05, 0x10, 0x01}, 3, 0, false, false},
    {"ReportNumberZeroIsRefused",
     {0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0x85, 0x00, 0x81, 0x02},
     3,
     0,
     false,
     false},
    {"PopWithoutPush", {0xB4, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02}, 0, 0, false, false},
    {"PushTooDeep", {0xA4, 0xA4, 0xA4, 0xA4, 0xA4, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02}, 0, 0, false, false},
};

void PrintTo(const DescriptorCase& c, std::ostream* os) {
    *os << c.name;
}

class ReportDescriptor : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(ReportDescriptor, GivesTheLongestReportsAndNumbering) {
    const auto& c = GetParam();
    const HidReportSummary s = SummariseReportDescriptor(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(s.InputReportByteLength(), c.inputLength);
    EXPECT_EQ(s.longestFeatureReport, c.featureLongest);
    EXPECT_EQ(s.numberedInput, c.numbered);
    EXPECT_EQ(s.wellFormed, c.wellFormed);
}

INSTANTIATE_TEST_SUITE_P(Hid, ReportDescriptor, ::testing::ValuesIn(kDescriptors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReportDescriptor, EveryPrefixOfADescriptorIsReadWithoutOverrun) {
    // Cut a real descriptor at every length: the parser must stay inside the
    // bytes it is given (the sanitizer builds catch a read past the end).
    const auto& full = kDescriptors[1].bytes;
    for (std::size_t n = 0; n <= full.size(); ++n) {
        std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const HidReportSummary s = SummariseReportDescriptor(cut.data(), cut.size());
        EXPECT_LE(s.InputReportByteLength(), 17) << n;
    }
}

}  // namespace
}  // namespace corvel
