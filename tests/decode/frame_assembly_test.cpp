#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "decode/FrameAssembly.h"
#include "support/FrameBuilder.h"

using namespace corvel;
using test::Bytes;

namespace {

struct Call {
    std::string decoder;
    std::string frame;
    bool operator==(const Call&) const = default;
};
[[maybe_unused]] void PrintTo(const Call& c, std::ostream* os) { *os << c.decoder << "(" << c.frame << ")"; }

struct Sink : FrameSink {
    FrameAssembly* frames = nullptr;
    std::vector<Call> calls;
    void LcdDisplayOak() override { calls.push_back({"oak", frames->CurrentFrame()}); }
    void LcdDisplayBirch() override { calls.push_back({"birch", frames->CurrentFrame()}); }
    void LcdDisplayPine() override { calls.push_back({"pine", frames->CurrentFrame()}); }
};

struct Assembly {
    Sink sink;
    FrameAssembly frames{sink};
    Assembly() { sink.frames = &frames; }
    void oak(const std::vector<std::uint8_t>& b) { frames.HOakRData(b.data(), static_cast<int>(b.size())); }
    void birch(const std::vector<std::uint8_t>& b) { frames.HBirchRData(b.data(), static_cast<int>(b.size())); }
    void pine(const std::vector<std::uint8_t>& b) {
        frames.CComm1ReceiveData(b.data(), static_cast<std::uint32_t>(b.size()));
    }
    void hid(const std::vector<std::uint8_t>& b) {
        frames.HidDataToFrame(b.data(), static_cast<std::uint16_t>(b.size()));
    }
    void hid(std::string_view hex) { hid(Bytes(hex)); }
};

// A valid Oak frame whose lower digits are 0..9, A..D.
std::vector<std::uint8_t> oakFrame() {
    std::vector<std::uint8_t> b;
    for (int i = 1; i <= 14; ++i) b.push_back(static_cast<std::uint8_t>(i << 4 | (i - 1)));
    return b;
}
const std::string kOakDigits = "0123456789ABCD";

}  // namespace

TEST(OakFrames, AnySplitOfTheChunksDecodesOnce) {
    const auto frame = oakFrame();
    for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{13}, std::size_t{14}}) {
        Assembly a;
        for (std::size_t i = 0; i < frame.size(); i += chunk)
            a.frames.HOakRData(frame.data() + i, static_cast<int>(std::min(chunk, frame.size() - i)));
        EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", kOakDigits}})) << chunk;
        EXPECT_EQ(a.frames.FrameNibbles(), "");
        EXPECT_EQ(a.frames.FramePositions(), "");
    }
}

TEST(OakFrames, BrokenFramesAreDroppedAndTheNextOneDecodes) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> bad;
    } cases[] = {
        {"missing 0x5n", Bytes("10 21 32 43 65 76 87 98 A9 BA CB DC ED")},
        {"a 0x0n byte inside", Bytes("10 21 32 43 54 05 65 76 87 98 A9 BA CB DC ED")},
        {"a 0xFn byte inside", Bytes("10 21 32 43 54 F5 65 76 87 98 A9 BA CB DC ED")},
        {"garbage before the frame", Bytes("99 99 10 21 32 43 54 65 76 87 98 A9 BA CB DC ED")},
        {"lone end byte", Bytes("E7")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Assembly a;
        a.oak(c.bad);
        EXPECT_TRUE(a.sink.calls.empty());
        EXPECT_EQ(a.frames.FrameNibbles(), "");
        EXPECT_EQ(a.frames.FramePositions(), "");
        a.oak(oakFrame());
        EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", kOakDigits}}));
    }
}

TEST(BirchFrames, OnlyFirstAndEleventhDigitsAreChecked) {
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<Call> calls;
    } cases[] = {
        {"eleven bytes", Bytes("3A 01 02 03 04 05 06 07 08 09 0D"), {{"birch", "A123456789D"}}},
        {"twelve, eleventh digit D", Bytes("3A 01 02 03 04 05 06 07 08 09 1D 0D"), {{"birch", "A123456789DD"}}},
        {"twelve, eleventh digit not D", Bytes("3A 01 02 03 04 05 06 07 08 09 10 0D"), {}},
        {"ten bytes", Bytes("3A 01 02 03 04 05 06 07 08 0D"), {}},
        {"first digit not A", Bytes("3B 01 02 03 04 05 06 07 08 09 0D"), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Assembly a;
        a.birch(c.bytes);
        EXPECT_EQ(a.sink.calls, c.calls);
        EXPECT_EQ(a.frames.FrameNibbles(), "");
    }
}

TEST(PineFrames, SplitFramesAndLeftovers) {
    Assembly a;
    const auto frame = Bytes("30 3F 11 22 33 0D 0A");
    a.pine({frame.begin(), frame.begin() + 3});
    EXPECT_TRUE(a.sink.calls.empty());
    EXPECT_EQ(a.frames.CurrentFrame(), "303F11");
    // The rest of the frame and half of the next.
    std::vector<std::uint8_t> chunk(frame.begin() + 3, frame.end());
    for (auto b : Bytes("30 3F 44")) chunk.push_back(b);
    a.pine(chunk);
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"pine", "0F123DA"}}));
    EXPECT_EQ(a.frames.CurrentFrame(), "303F44");
    a.pine(Bytes("0D 0A"));
    EXPECT_EQ(a.sink.calls.back(), (Call{"pine", "0F4DA"}));
    EXPECT_EQ(a.frames.CurrentFrame(), "");
}

TEST(PineFrames, OneFrameAChunkAndOnlyTheFirst32BytesReachTheDecoder) {
    Assembly a;
    std::vector<std::uint8_t> longFrame = {0x30, 0x3F};
    for (int i = 0; i < 36; ++i) longFrame.push_back(static_cast<std::uint8_t>(i % 16));
    longFrame.push_back(0x0D);
    longFrame.push_back(0x0A);
    ASSERT_EQ(longFrame.size(), 40U);
    auto two = longFrame;
    two.insert(two.end(), longFrame.begin(), longFrame.end());
    a.pine(two);
    ASSERT_EQ(a.sink.calls.size(), 1U);
    EXPECT_EQ(a.sink.calls[0].frame.size(), 32U);
    EXPECT_EQ(a.sink.calls[0].frame.substr(0, 4), "0F01");
    a.pine({});  // the second frame waits for the next chunk, even an empty one
    EXPECT_EQ(a.sink.calls.size(), 2U);
}

TEST(PineFrames, TerminatorOnlyAtByteBoundaries) {
    Assembly a;
    a.pine(Bytes("30 3F 30 D0 A5 11"));  // hex text 303F30D0A511
    EXPECT_TRUE(a.sink.calls.empty());
    a.pine(Bytes("0D 0A"));
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"pine", "0F0051DA"}}));
}

TEST(PineFrames, SecondByteMustEndInF) {
    Assembly a;
    a.pine(Bytes("30 3E 11 0D 0A 30 3F 22 0D 0A"));
    a.pine({});
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"pine", "0F2DA"}}));
}

TEST(HidFrames, ReportsCollectAndEmptyReportsTakeFramesOut) {
    Assembly a;
    a.hid("F3 30 31 12");  // count 3: three payload bytes
    EXPECT_EQ(a.frames.HidFrameText(), "303112");
    EXPECT_TRUE(a.frames.HidFramePending());
    a.hid("F2 0D 0A 99");  // count 2, the extra byte is not payload
    EXPECT_EQ(a.frames.HidFrameText(), "3031120D0A");
    a.hid("F0");
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", "012DA"}}));
    EXPECT_EQ(a.frames.CurrentFrame(), "");
    EXPECT_EQ(a.frames.HidFrameText(), "");
    EXPECT_FALSE(a.frames.HidFramePending());
}

TEST(HidFrames, TypeDigitPicksTheDecoder) {
    const struct {
        const char* report;
        const char* decoder;
    } cases[] = {
        {"F5 30 30 55 0D 0A", "oak"}, {"F5 30 31 55 0D 0A", "oak"},   {"F5 30 33 55 0D 0A", "birch"},
        {"F5 30 3F 55 0D 0A", "pine"}, {"F5 30 32 55 0D 0A", nullptr}, {"F5 31 30 55 0D 0A", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        Assembly a;
        a.hid(c.report);
        a.hid("00");
        if (c.decoder) {
            ASSERT_EQ(a.sink.calls.size(), 1U);
            EXPECT_EQ(a.sink.calls[0].decoder, c.decoder);
        } else {
            EXPECT_TRUE(a.sink.calls.empty());
        }
        EXPECT_EQ(a.frames.CurrentFrame(), "");
        EXPECT_EQ(a.frames.HidFrameText(), "");
    }
}

TEST(HidFrames, CountDigitIsDecimal) {
    Assembly a;
    a.hid("FA 30 31");  // A is no decimal digit: an empty report
    EXPECT_EQ(a.frames.HidFrameText(), "");
    EXPECT_EQ(a.frames.EmptyReportCount(), 1);
    a.hid(std::vector<std::uint8_t>{});  // no data at all counts as empty too
    EXPECT_EQ(a.frames.EmptyReportCount(), 2);
    a.hid("01 30");  // a payload report resets the count
    EXPECT_EQ(a.frames.EmptyReportCount(), 0);
}

TEST(HidFrames, OneFrameAnEmptyReport) {
    Assembly a;
    a.hid("F8 30 30 11 0D 0A 30 33 22");
    a.hid("F2 0D 0A");
    a.hid("F0");
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", "001DA"}}));
    EXPECT_TRUE(a.frames.HidFramePending());
    a.hid("F0");
    EXPECT_EQ(a.sink.calls.back(), (Call{"birch", "032DA"}));
    EXPECT_FALSE(a.frames.HidFramePending());
    a.hid("F0");
    EXPECT_EQ(a.frames.EmptyReportCount(), 1);
}

TEST(HidFrames, FrameNotStartingWith30IsConsumedWithoutDecoding) {
    Assembly a;
    a.hid("F6 31 30 0D 0A 30 30");
    a.hid("F3 44 0D 0A");
    a.hid("F0");
    EXPECT_TRUE(a.sink.calls.empty());
    EXPECT_EQ(a.frames.HidFrameText(), "3030440D0A");
    a.hid("F0");
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", "004DA"}}));
}

TEST(HidFrames, TypeDigitComesFromTheHidFrameNotFromASerialLeftover) {
    Assembly a;
    // A serial Oak frame whose second digit is 3 stays in CurrentFrame.
    a.oak(Bytes("10 23 32 43 54 65 76 87 98 A9 BA CB DC ED"));
    ASSERT_EQ(a.sink.calls.size(), 1U);
    a.hid("F5 30 30 55 0D 0A");
    a.hid("F0");
    EXPECT_EQ(a.sink.calls.back(), (Call{"oak", "005DA"}));
}

TEST(HidFrames, PrintPreviewDropsFrames) {
    Assembly a;
    a.frames.SetPrintPreviewOpen(true);
    a.hid("F5 30 30 55 0D 0A");
    a.hid("F0");
    EXPECT_TRUE(a.sink.calls.empty());
    EXPECT_EQ(a.frames.HidFrameText(), "");
}

TEST(HidFrames, EmptyReportsCountUpWhileNothingIsPending) {
    Assembly a;
    for (int i = 0; i < 1000; ++i) a.hid("00");
    EXPECT_EQ(a.frames.EmptyReportCount(), 1000);
    a.frames.ResetEmptyReportCount();
    EXPECT_EQ(a.frames.EmptyReportCount(), 0);
}

TEST(Bounds, CollectionsWithoutAFrameEndStayBounded) {
    Assembly a;
    std::vector<std::uint8_t> noEnd(100000, 0x31);
    a.oak(noEnd);
    a.birch(noEnd);
    EXPECT_LE(a.frames.FrameNibbles().size(), FrameAssembly::kMaxNibbles);
    EXPECT_LE(a.frames.FramePositions().size(), FrameAssembly::kMaxNibbles);
    for (int i = 0; i < 100; ++i) a.pine(noEnd);
    EXPECT_LE(a.frames.CurrentFrame().size(), FrameAssembly::kMaxHexText);
    for (int i = 0; i < 100000; ++i) a.hid("F9 31 31 31 31 31 31 31 31 31");
    EXPECT_LE(a.frames.HidFrameText().size(), FrameAssembly::kMaxHexText);
}

TEST(Bounds, ATrimmedCollectionStillDecodesItsFirst32Bytes) {
    // A Pine frame far longer than the bound: the decoder sees what it
    // would have seen unbounded, the lower digits of its first 32 bytes.
    Assembly a;
    std::vector<std::uint8_t> head = {0x30, 0x3F};
    for (int i = 0; i < 30; ++i) head.push_back(static_cast<std::uint8_t>(0x40 | (i % 16)));
    a.pine(head);
    for (int i = 0; i < 50; ++i) a.pine(std::vector<std::uint8_t>(1000, 0x77));
    a.pine(Bytes("0D 0A 30 3F"));
    ASSERT_EQ(a.sink.calls.size(), 1U);
    std::string expected = "0F";
    for (int i = 0; i < 30; ++i) expected.push_back("0123456789ABCDEF"[i % 16]);
    EXPECT_EQ(a.sink.calls[0].frame, expected);
    EXPECT_EQ(a.frames.CurrentFrame(), "303F");
}

TEST(Bounds, AOakFrameAfterALongRunStillDecodes) {
    Assembly a;
    a.oak(std::vector<std::uint8_t>(5000, 0x12));
    a.oak(Bytes("E0"));
    a.oak(oakFrame());
    EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", kOakDigits}}));
}

TEST(RandomStreams, NoHandlerCrashesOrGrowsAndGoodFramesStillDecode) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 200; ++round) {
        Assembly a;
        std::vector<std::uint8_t> stream(4096);
        for (auto& b : stream) b = static_cast<std::uint8_t>(rng());
        // Random chunking into every handler.
        for (std::size_t i = 0; i < stream.size();) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 300, stream.size() - i);
            std::vector<std::uint8_t> chunk(stream.begin() + i, stream.begin() + i + n);
            switch (rng() % 4) {
                case 0: a.oak(chunk); break;
                case 1: a.birch(chunk); break;
                case 2: a.pine(chunk); break;
                default:
                    if (chunk.size() > 64) chunk.resize(64);
                    a.hid(chunk);
                    break;
            }
            i += n;
        }
        EXPECT_LE(a.frames.FrameNibbles().size(), FrameAssembly::kMaxNibbles);
        EXPECT_LE(a.frames.CurrentFrame().size(), FrameAssembly::kMaxHexText);
        EXPECT_LE(a.frames.HidFrameText().size(), FrameAssembly::kMaxHexText);
        for (const Call& c : a.sink.calls) EXPECT_LE(c.frame.size(), 64U);
        // After garbage, an end byte resynchronises the Oak handler.
        a.sink.calls.clear();
        a.oak(Bytes("E0"));
        a.sink.calls.clear();
        a.oak(oakFrame());
        EXPECT_EQ(a.sink.calls, (std::vector<Call>{{"oak", kOakDigits}}));
    }
}
