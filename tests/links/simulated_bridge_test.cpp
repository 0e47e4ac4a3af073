// The USB demo's simulated bridge: what it sends must be what the real
// cable sends, or the demo shows a path the program never takes.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "decode/DecoderHost.h"
#include "decode/FrameAssembly.h"
#include "decode/SegmentDecoders.h"
#include "decode/SegmentFormat.h"
#include "links/SimulatedUsbBridge.h"

using namespace corvel;

namespace {

struct Runs : FrameSink {
    FrameAssembly* frames = nullptr;
    std::vector<std::pair<char, std::string>> runs;
    void LcdDisplayOak() override { runs.push_back({'O', frames->CurrentFrame()}); }
    void LcdDisplayBirch() override { runs.push_back({'B', frames->CurrentFrame()}); }
    void LcdDisplayPine() override { runs.push_back({'P', frames->CurrentFrame()}); }
};

// The readings the decoders hand to the log, from the frames the HID frame
// handler takes out of the bridge's reports.
struct LoggedReadings : FrameSink, DecoderHost {
    LoggedReadings() { decoders.SetDecimalSeparator("."); }
    void LcdDisplayOak() override { decoders.LcdDisplayOak(frames.CurrentFrame()); }
    void LcdDisplayBirch() override { decoders.LcdDisplayBirch(frames.CurrentFrame()); }
    void LcdDisplayPine() override {
        ++pine;
        decoders.LcdDisplayPine(frames.CurrentFrame());
    }
    void OverLimitAlarm(double) override {}
    void JudgeReading() override {}
    void INDataToTable() override { rows.push_back(reading); }
    void ShowSeries(int) override {}
    bool BtFillChecked() const override { return false; }

    LcdMirror mirror;
    Reading reading;
    FrameAssembly frames{*this};
    SegmentDecoders decoders{mirror, reading, *this};
    std::vector<Reading> rows;
    int pine = 0;
};

// Digits after the point of a row text.
int Decimals(const std::string& value) {
    const auto dot = value.find('.');
    return dot == std::string::npos ? 0 : static_cast<int>(value.size() - dot - 1);
}

}  // namespace

TEST(SimulatedBridge, IdentifiesAsTheCable) {
    SimulatedUsbBridge bridge;
    ASSERT_TRUE(bridge.Available());
    const auto list = bridge.Enumerate();
    ASSERT_EQ(list.size(), 1u);
    int error = 0;
    EXPECT_EQ(bridge.Open("/dev/hidraw0", HidPlatform::Access::ReadWrite, error), nullptr);
    EXPECT_NE(error, 0);
    auto h = bridge.Open(list[0].path, HidPlatform::Access::ReadWrite, error);
    ASSERT_NE(h, nullptr);
    std::u16string product, serial;
    EXPECT_TRUE(h->GetProductString(product));
    EXPECT_EQ(product, u"USB to Serial");
    EXPECT_FALSE(h->GetSerialNumberString(serial));
    HidAttributes a;
    ASSERT_TRUE(h->GetAttributes(a));
    EXPECT_EQ(a.vendorId, SimulatedUsbBridge::kVendorId);
    EXPECT_EQ(h->InputReportByteLength(), 64);
    const std::uint8_t feature[] = {0x00, 0x80, 0x25, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(h->SetFeature(feature, sizeof feature));
    EXPECT_EQ(bridge.LastFeatureReport(), std::vector<std::uint8_t>(feature, feature + 10));
    h->Cancel();
    std::uint8_t buf[64];
    EXPECT_EQ(h->Read(buf, sizeof buf, 100, error), -1);
    EXPECT_EQ(error, ECANCELED);
}

TEST(SimulatedBridge, StreamsFullFramesOfEveryTypeOneByteAReport) {
    SimulatedUsbBridge::Options options;
    options.realTime = false;
    SimulatedUsbBridge bridge(options);
    int error = 0;
    auto h = bridge.Open(SimulatedUsbBridge::kPath, HidPlatform::Access::Read, error);
    ASSERT_NE(h, nullptr);
    Runs sink;
    FrameAssembly frames(sink);
    sink.frames = &frames;
    int dataReports = 0;
    // 4.1 seconds of the line: a report every millisecond.
    for (int i = 0; i < 4100; ++i) {
        std::uint8_t report[64];
        ASSERT_EQ(h->Read(report, sizeof report, 10, error), 64);
        ASSERT_EQ(report[0], 0);       // no report numbers
        ASSERT_LE(report[1], 1) << i;  // at most the one byte 9600 baud brings
        dataReports += report[1];
        frames.HidDataToFrame(report + 1, 63);
    }
    std::map<char, int> byDecoder;
    for (const auto& [decoder, text] : sink.runs) {
        ++byDecoder[decoder];
        ASSERT_EQ(text.size(), 34u) << text;  // 32 positions, CR LF
        EXPECT_EQ(text.substr(32), "DA");
        const SegmentBits bits(text, 32);
        EXPECT_TRUE(bits.bit(104) || bits.bit(106)) << "a speed unit: " << text;
        EXPECT_TRUE(bits.bit(93)) << "the second row's degrees: " << text;
    }
    // Four frames a second, every one taken out and decoded.
    EXPECT_EQ(sink.runs.size(), 17u);
    EXPECT_EQ(dataReports, 17 * 34);
    EXPECT_EQ(byDecoder['B'], 1);
    EXPECT_EQ(byDecoder['P'], 1);
    EXPECT_EQ(byDecoder['O'], 15);
    EXPECT_EQ(bridge.ReportsRead(), 4100u);
}

// Over minutes in which the meter switches between m/s and ft/min, every
// reading the log receives has a unit, and the unit its digits are shown in
// (m/s with two decimals, ft/min with one or none).
TEST(SimulatedBridge, EveryLoggedReadingCarriesTheUnitOfItsDigits) {
    for (const std::uint32_t seed : {7u, 2u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SimulatedUsbBridge::Options options;
        options.realTime = false;
        options.seed = seed;
        SimulatedUsbBridge bridge(options);
        int error = 0;
        auto h = bridge.Open(SimulatedUsbBridge::kPath, HidPlatform::Access::Read, error);
        ASSERT_NE(h, nullptr);
        LoggedReadings log;
        for (int i = 0; i < 10 * 60 * 1000; ++i) {  // ten minutes of reports
            std::uint8_t report[64];
            ASSERT_EQ(h->Read(report, sizeof report, 10, error), 64);
            log.frames.HidDataToFrame(report + 1, 63);
        }
        std::map<std::string, int> byUnit;
        int mismatched = 0;
        for (const Reading& r : log.rows) {
            ++byUnit[r.UnitText];
            if (r.ValueText == "0L") continue;
            const bool fits = r.UnitText == "m|s" ? Decimals(r.ValueText) == 2 : Decimals(r.ValueText) <= 1;
            if (!fits) {
                ++mismatched;
                ADD_FAILURE() << r.ValueText << " logged as " << r.UnitText;
            }
        }
        EXPECT_EQ(byUnit.count(""), 0u)
            << byUnit[""] << " of " << log.rows.size() << " readings without a unit";
        EXPECT_EQ(mismatched, 0);
        // The run covered what could go wrong: both units, and Pine frames.
        EXPECT_GT(byUnit["m|s"], 100);
        EXPECT_GT(byUnit["ft|min"], 100);
        EXPECT_GT(log.pine, 50);
    }
}
