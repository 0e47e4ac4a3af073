// The simulated meter: its frames read back through the program's own
// tables and frame handlers as the meter meant them, and its readings
// behave like a meter's in a draught.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "decode/DecoderHost.h"
#include "decode/FrameAssembly.h"
#include "decode/SegmentDecoders.h"
#include "decode/SegmentFormat.h"
#include "sim/MeterFrames.h"
#include "sim/ReadingModel.h"
#include "support/FrameCounter.h"
#include "support/SegmentRows.h"

namespace corvel {
namespace {

using sim::Display;
using sim::SpeedUnit;
using test::DecodedRow;
using test::LowerDigits;
using test::Trimmed;

// --- the segment table ----------------------------------------------------------

TEST(MeterFrames, EverySegmentPatternReadsBackThroughTheProgramsTable) {
    const std::pair<char, char> table[] = {{'0', '0'}, {'1', '1'}, {'2', '2'}, {'3', '3'},
                                           {'4', '4'}, {'5', '5'}, {'6', '6'}, {'7', '7'},
                                           {'8', '8'}, {'9', '9'}, {'L', '@'}, {' ', 0}};
    for (const auto& [shown, decoded] : table)
        EXPECT_EQ(SegmentCodeTable::Lookup(sim::SegmentPattern(shown)), decoded)
            << "character '" << shown << "'";
}

// --- Oak frames -----------------------------------------------------------------

struct OakCase {
    const char* name;
    double value;  // < 0: over-load
    int decimals;
    double celsius;
    const char* main;    // ValueText the decoder builds
    const char* second;  // Value2Text
};

class OakFrames : public ::testing::TestWithParam<OakCase> {};

TEST_P(OakFrames, DecodeToTheIntendedReading) {
    const auto& c = GetParam();
    Display d;
    ASSERT_TRUE(sim::FormatRow(c.celsius, 0, d.second));
    if (c.value < 0) {
        d = sim::Overload(d);
    } else {
        ASSERT_TRUE(sim::FormatRow(c.value, c.decimals, d.main));
        d.mainDecimals = c.decimals;
    }
    const auto frame = sim::OakFrame(d);
    ASSERT_EQ(frame.size(), 14u);
    std::string upper;
    const std::string lower = LowerDigits(frame, &upper);
    EXPECT_EQ(upper, "123456789ABCDE");

    test::AcceptedFrames accepted;
    accepted.assembly().HOakRData(frame.data(), static_cast<std::int32_t>(frame.size()));
    ASSERT_EQ(accepted.oak.size(), 1u);
    EXPECT_EQ(accepted.oak[0], lower);

    const SegmentBits bits(lower);
    EXPECT_EQ(DecodedRow(bits, 4), c.main);
    EXPECT_EQ(DecodedRow(bits, 8), c.second);
    EXPECT_TRUE(sim::SecondRowSurvivesOak(d));
}

INSTANTIATE_TEST_SUITE_P(Readings, OakFrames,
                         ::testing::Values(OakCase{"CalmAir", 3.20, 2, 17, "3.20", "17"},
                                           OakCase{"BelowOne", 0.05, 2, 15, "0.05", "15"},
                                           OakCase{"Gust", 12.34, 2, 19, "12.34", "19"},
                                           OakCase{"FeetPerMinuteLow", 329.9, 1, 10, "329.9", "10"},
                                           OakCase{"FeetPerMinute", 1614, 0, 18, "1614", "18"},
                                           OakCase{"ThreeDecimals", 1.234, 3, 16, "1.234", "16"},
                                           OakCase{"Zero", 0, 2, 17, "0.00", "17"},
                                           OakCase{"Overload", -1, 0, 17, "0L", "17"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MeterFrames, SecondRowSurvivalMatchesWhatTheDecoderReadsBack) {
    // Every whole second-row value up to 99: the simulator's own test of
    // which values an Oak frame carries must agree with the decoder.
    int surviving = 0;
    for (int v = 0; v <= 99; ++v) {
        Display d;
        d.main = {' ', '3', '2', '0'};
        d.mainDecimals = 2;
        ASSERT_TRUE(sim::FormatRow(v, 0, d.second));
        const SegmentBits bits(LowerDigits(sim::OakFrame(d)));
        const bool readsBack = DecodedRow(bits, 8) == Trimmed(d.SecondText());
        EXPECT_EQ(sim::SecondRowSurvivesOak(d), readsBack) << "second row " << v;
        surviving += readsBack;
    }
    EXPECT_EQ(surviving, 40);  // 0-9, 10-19, 40-49, 70-79
}

// --- Birch frames ---------------------------------------------------------------

TEST(MeterFrames, BirchFramesAreAcceptedAndCarryTheMainRow) {
    Display d;
    ASSERT_TRUE(sim::FormatRow(3.2, 2, d.main));
    d.mainDecimals = 2;
    const auto frame = sim::BirchFrame(d);
    ASSERT_EQ(frame.size(), 11u);
    EXPECT_EQ(frame.front() & 0xF, 0xA);
    EXPECT_EQ(frame.back(), 0x0D);
    EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x0D), 1) << "only the last byte may end the frame";

    test::AcceptedFrames accepted;
    accepted.assembly().HBirchRData(frame.data(), static_cast<std::int32_t>(frame.size()));
    ASSERT_EQ(accepted.birch.size(), 1u);
    EXPECT_EQ(DecodedRow(SegmentBits(accepted.birch[0]), 4), "3.20");
}

// --- the readings ---------------------------------------------------------------

class ReadingRuns : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(ReadingRuns, WanderGustRangeAndOverloadLikeAMeter) {
    sim::ReadingModel model(GetParam());
    std::set<int> decimals;
    int overloads = 0;
    int refreshes = 0;
    std::vector<double> calm;
    for (int i = 0; i < 20 * 60 * 2; ++i) {  // twenty minutes of refreshes
        model.Advance(sim::ReadingModel::kRefreshSeconds);
        const Display& d = model.display();
        ++refreshes;
        const SegmentBits bits(LowerDigits(sim::OakFrame(d)));
        const std::string main = DecodedRow(bits, 4);
        const std::string second = DecodedRow(bits, 8);
        ASSERT_FALSE(second.empty()) << "a blank second row would keep the reading out of the log";
        ASSERT_FALSE(main.empty());
        if (main == "0L") {
            ++overloads;
            continue;
        }
        EXPECT_EQ(main, Trimmed(d.MainText()));
        decimals.insert(d.mainDecimals);
        if (d.unit == SpeedUnit::MetresPerSecond) calm.push_back(std::stod(main));
    }
    EXPECT_GE(decimals.size(), 2u) << "the point moves now and then";
    EXPECT_GT(overloads, 0);
    EXPECT_LT(overloads, refreshes / 10) << "over-load is the exception";
    ASSERT_FALSE(calm.empty());
    std::sort(calm.begin(), calm.end());
    const double median = calm[calm.size() / 2];
    EXPECT_GT(median, 2.0);
    EXPECT_LT(median, 5.0);
    EXPECT_GT(calm.back() - calm.front(), 1.0) << "the air moves";
}

INSTANTIATE_TEST_SUITE_P(Seeds, ReadingRuns, ::testing::Values(1u, 2u, 3u, 4242u));

TEST(ReadingModel, TheSameSeedReplaysTheSameDisplays) {
    sim::ReadingModel a(7), b(7);
    for (int i = 0; i < 500; ++i) {
        a.Advance(0.3);
        b.Advance(0.3);
        ASSERT_EQ(a.display().MainText(), b.display().MainText());
    }
}

// --- USB frames -----------------------------------------------------------------

// The program's HID frame handler and decoders, with the reading each
// decoder run hands on.
class UsbPath : public FrameSink, public DecoderHost {
public:
    UsbPath() { decoders_.SetDecimalSeparator("."); }

    void Feed(const std::vector<std::uint8_t>& frame) {
        // One byte a report, then the empty report that takes the frame out.
        for (std::uint8_t b : frame) {
            const std::uint8_t report[] = {0x01, b};
            frames_.HidDataToFrame(report, 2);
        }
        const std::uint8_t empty[] = {0x00};
        frames_.HidDataToFrame(empty, 1);
    }

    std::string decoder;
    std::vector<Reading> logged;
    Reading reading;

private:
    void LcdDisplayOak() override { run("oak", &SegmentDecoders::LcdDisplayOak); }
    void LcdDisplayBirch() override { run("birch", &SegmentDecoders::LcdDisplayBirch); }
    void LcdDisplayPine() override { run("pine", &SegmentDecoders::LcdDisplayPine); }
    void run(const char* name, void (SegmentDecoders::*decode)(std::string_view)) {
        decoder = name;
        (decoders_.*decode)(frames_.CurrentFrame());
    }
    void OverLimitAlarm(double) override {}
    void JudgeReading() override {}
    void INDataToTable() override { logged.push_back(reading); }
    void ShowSeries(int) override {}
    bool BtFillChecked() const override { return false; }

    LcdMirror mirror_;
    FrameAssembly frames_{*this};
    SegmentDecoders decoders_{mirror_, reading, *this};
};

Display Shown(double value, int decimals, SpeedUnit unit) {
    Display d;
    d.unit = unit;
    d.temperature = true;
    EXPECT_TRUE(sim::FormatRow(17.3, 1, d.second));
    d.secondDecimals = 1;
    if (value < 0) return sim::Overload(d);
    EXPECT_TRUE(sim::FormatRow(value, decimals, d.main));
    d.mainDecimals = decimals;
    return d;
}

TEST(UsbFrames, ReadBackAsTheDisplayShowedThem) {
    struct Case {
        const char* name;
        Display display;
        int type;
        const char* decoder;
        const char* value;
        const char* unit;  // what the decoder makes of the unit
        bool pineCarries;
    };
    const Case cases[] = {
        {"MetresPerSecondOak", Shown(3.2, 2, SpeedUnit::MetresPerSecond), 0, "oak", "3.20", "m|s", true},
        {"FeetPerMinuteOak", Shown(329.9, 1, SpeedUnit::FeetPerMinute), 1, "oak", "329.9", "ft|min", false},
        {"FeetPerMinuteWhole", Shown(1614, 0, SpeedUnit::FeetPerMinute), 0, "oak", "1614", "ft|min", false},
        {"OverloadKeepsItsUnit", Shown(-1, 0, SpeedUnit::FeetPerMinute), 1, "oak", "0L", "ft|min", false},
        {"MetresPerSecondPine", Shown(0.05, 2, SpeedUnit::MetresPerSecond), 15, "pine", "0.05", "m|s", true},
        // Why a Pine frame may only carry m/s: the ft/min mark lies beyond
        // the positions the Pine decoder reads, and the reading has no unit.
        {"FeetPerMinutePineLosesItsUnit", Shown(629, 0, SpeedUnit::FeetPerMinute), 15, "pine", "629", "",
         false},
        {"NoUnit", Shown(12.34, 2, SpeedUnit::None), 0, "oak", "12.34", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto frame = sim::UsbFrame(c.display, c.type);
        ASSERT_EQ(frame.size(), static_cast<std::size_t>(sim::kUsbFrameBytes));
        EXPECT_EQ(std::count(frame.begin(), frame.end(), 0x0D), 1) << "only the end may look like CR";
        UsbPath path;
        path.Feed(frame);
        EXPECT_EQ(path.decoder, c.decoder);
        ASSERT_EQ(path.logged.size(), 1u);
        EXPECT_EQ(path.logged[0].ValueText, c.value);
        EXPECT_EQ(path.logged[0].UnitText, c.unit);
        EXPECT_EQ(path.logged[0].Value2Text, "17.3");
        EXPECT_EQ(path.logged[0].Unit2Text, "#");
        EXPECT_EQ(sim::PineFrameCarries(c.display), c.pineCarries);
    }
}

TEST(UsbFrames, ABirchFrameShowsTheMainRow) {
    UsbPath path;
    path.Feed(sim::UsbFrame(Shown(3.2, 2, SpeedUnit::MetresPerSecond), 3));
    EXPECT_EQ(path.decoder, "birch");
    EXPECT_TRUE(path.logged.empty()) << "Birch readings are shown, not logged";
}

// The unit a display shows always belongs to its digits: m/s with two
// decimals, ft/min with one or none, over many unit changes and at the
// pace the USB line asks for displays.
TEST_P(ReadingRuns, TheUnitChangesWithTheDigitsInOneRefresh) {
    sim::ReadingModel model(GetParam(), 1);
    std::set<SpeedUnit> units;
    int changes = 0;
    SpeedUnit last = model.display().unit;
    for (int i = 0; i < 4 * 60 * 30; ++i) {  // half an hour, four frames a second
        model.Advance(0.25);
        const Display& d = model.display();
        units.insert(d.unit);
        changes += d.unit != last;
        last = d.unit;
        ASSERT_TRUE(d.temperature);
        ASSERT_EQ(d.secondDecimals, 1);
        if (Trimmed(d.MainText()) == "0L") continue;
        if (d.unit == SpeedUnit::MetresPerSecond)
            ASSERT_EQ(d.mainDecimals, 2) << d.MainText() << " at " << i;
        else
            ASSERT_LE(d.mainDecimals, 1) << d.MainText() << " at " << i;
    }
    EXPECT_EQ(units, (std::set<SpeedUnit>{SpeedUnit::MetresPerSecond, SpeedUnit::FeetPerMinute}));
    EXPECT_GE(changes, 4);
}

}  // namespace
}  // namespace corvel
