#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "decode/SegmentDecoders.h"
#include "support/FrameBuilder.h"
#include "support/RecordingHost.h"

using namespace corvel;
using test::FrameBuilder;

namespace {

using Captions = std::array<std::string, 8>;  // LcdDa..LcdDd, LcdDa2..LcdDd2
const Captions kLayoutCaptions{"3", "0", "0", "0", "9", "9", "9", "9"};

struct Decoded {
    LcdMirror mirror;
    Reading reading;
    test::RecordingHost host;
    SegmentDecoders decoders{mirror, reading, host};
    explicit Decoded(const std::string& separator = ".", const char* rangeClass = "4") {
        decoders.SetRange(RangeValuesFor(rangeClass));
        decoders.SetDecimalSeparator(separator);
    }
    std::set<std::string> shownPoints() const {
        std::set<std::string> s;
        for (int i = 0; i < kPointCount; ++i)
            if (mirror.points[i]) s.insert(std::string(PointName(static_cast<Point>(i))));
        return s;
    }
    std::set<std::string> shownAnnunciators() const {
        std::set<std::string> s;
        for (int i = 0; i < kAnnunciatorCount; ++i)
            if (mirror.annunciators[i]) s.insert(std::string(AnnunciatorName(static_cast<Annunciator>(i))));
        return s;
    }
};

const std::vector<std::string> kOakFullRun{"alarm", "series0", "judge", "log"};

struct OakCase {
    const char* name;
    FrameBuilder frame;
    const char* separator;
    Captions captions;
    const char* value;
    const char* unit;
    const char* value2;
    std::set<std::string> points;
    double count;
    int bar;
    std::vector<std::string> calls;
};

}  // namespace

TEST(OakDecoder, FramesGiveMirrorAndReading) {
    const std::vector<OakCase> cases = {
        {"point between the middle digits", FrameBuilder().main("1234").bit(28).second("0567").bit(104), ".",
         {"1", "2", "3", "4", "0", "5", "6", "7"}, "12.34", "m|s", "0567", {"LcdP2"}, 1234, 12, kOakFullRun},
        {"comma as decimal separator", FrameBuilder().main("1234").bit(28).second("0001"), ",",
         {"1", "2", "3", "4", "0", "0", "0", "1"}, "12,34", "", "0001", {"LcdP2"}, 1234, 12, kOakFullRun},
        {"over-load reads 0L at full scale", FrameBuilder().main(" 0@ ").second("0020").bit(52), ".",
         {"", "0", "@", "", "0", "0", "2", "0"}, "0L", "", "002.0", {"LcdP32"}, 4000, 40, kOakFullRun},
        {"L second from the left stays @", FrameBuilder().main(" @00").second("1111"), ".",
         {"", "@", "0", "0", "1", "1", "1", "1"}, "@00", "", "1111", {}, 0, 1, kOakFullRun},
        {"bar of 0001 is 1", FrameBuilder().main("0001").second("0001"), ".",
         {"0", "0", "0", "1", "0", "0", "0", "1"}, "0001", "", "0001", {}, 1, 1, kOakFullRun},
        {"bar of 0500 is 5", FrameBuilder().main("0500").second("0001"), ".",
         {"0", "5", "0", "0", "0", "0", "0", "1"}, "0500", "", "0001", {}, 500, 5, kOakFullRun},
        {"bar clamps at its range", FrameBuilder().main("9999").second("0001"), ".",
         {"9", "9", "9", "9", "0", "0", "0", "1"}, "9999", "", "0001", {}, 9999, 60, kOakFullRun},
        {"points of both rows", FrameBuilder().main("1234").bit(36).bit(20).second("5678").bit(68).bit(60), ".",
         {"1", "2", "3", "4", "5", "6", "7", "8"}, "1.23.4", "", "5.6.78", {"LcdP1", "LcdP3", "LcdP12", "LcdP22"},
         1234, 12, kOakFullRun},
        {"right digit's point bit is ignored", FrameBuilder().main("1234").bit(12).second("0001"), ".",
         {"1", "2", "3", "4", "0", "0", "0", "1"}, "1234", "", "0001", {}, 1234, 12, kOakFullRun},
        {"multiplier x1 replaces m/s", FrameBuilder().main("0012").second("0001").bit(104).bit(108), ".",
         {"0", "0", "1", "2", "0", "0", "0", "1"}, "0012", "x1", "0001", {}, 12, 1, kOakFullRun},
        {"highest multiplier wins", FrameBuilder().main("0012").second("0001").bit(104).bit(108).bit(110).bit(112),
         ".", {"0", "0", "1", "2", "0", "0", "0", "1"}, "0012", "X100", "0001", {}, 12, 1, kOakFullRun},
        {"m/s with X10", FrameBuilder().main("0012").second("0001").bit(104).bit(110), ".",
         {"0", "0", "1", "2", "0", "0", "0", "1"}, "0012", "X10", "0001", {}, 12, 1, kOakFullRun},
        {"blank second row stops before the numbers", FrameBuilder().main("1234").second("    ").bit(102), ".",
         kLayoutCaptions, "1234", "CMM", "", {}, 0, 30, {}},
        {"blank main row stops too", FrameBuilder().main("    ").second("1234"), ".", kLayoutCaptions, "", "",
         "1234", {}, 0, 30, {}},
        {"unknown pattern is a blank digit", FrameBuilder().main("123 ").pattern(1, "1100011").second("0001"), ".",
         {"1", "2", "3", "", "0", "0", "0", "1"}, "123", "", "0001", {}, 123, 12, kOakFullRun},
    };
    for (const OakCase& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d(c.separator);
        d.decoders.LcdDisplayOak(c.frame.text());
        Captions captions;
        for (int i = 0; i < 8; ++i) captions[i] = d.mirror.digits[i];
        EXPECT_EQ(captions, c.captions);
        EXPECT_EQ(d.reading.ValueText, c.value);
        EXPECT_EQ(d.reading.UnitText, c.unit);
        EXPECT_EQ(d.reading.Value2Text, c.value2);
        EXPECT_EQ(d.shownPoints(), c.points);
        EXPECT_EQ(d.decoders.DisplayCount(), c.count);
        EXPECT_EQ(d.mirror.pbar2Position, c.bar);
        EXPECT_EQ(d.host.calls, c.calls);
        EXPECT_EQ(d.mirror.idleTicks, 0);
    }
}

TEST(OakDecoder, UndecodablePositionsThreeAndFourLeaveTheRightDigitBlank) {
    Decoded d;
    std::string frame = FrameBuilder().main("1234").second("0001").text();
    frame[2] = 'C';
    frame[3] = 'B';
    d.decoders.LcdDisplayOak(frame);
    EXPECT_EQ(d.mirror.digit(Digit::LcdDd), "");
    EXPECT_EQ(d.reading.ValueText, "123");
}

TEST(OakDecoder, AnnunciatorsAndSecondRowUnits) {
    const struct {
        const char* name;
        std::vector<int> bits;
        std::set<std::string> shown;
        const char* unit2;
        const char* label4;
        const char* label5;
    } cases[] = {
        {"none", {}, {}, "", "", ""},
        {"celsius", {93}, {"c"}, "#", "", ""},
        {"celsius then fahrenheit: highest wins", {93, 95}, {"c", "f"}, "$", "", ""},
        {"humidity", {94, 97}, {"RH", "TEMP"}, "%RH", "", ""},
        {"caption symbols", {90, 92}, {}, ">", "^", ">"},
        {"caption symbol under a unit", {90, 93}, {"c"}, "#", "^", ""},
        {"hold, minus sign and load number", {88, 87, 99}, {"LCDHold", "LcdFH", "loadNO"}, "", "", ""},
        {"first and last", {73, 113}, {"AVE", "NO"}, "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d;
        FrameBuilder f = FrameBuilder().main("0001").second("0001");
        for (int b : c.bits) f.bit(b);
        d.decoders.LcdDisplayOak(f.text());
        EXPECT_EQ(d.shownAnnunciators(), c.shown);
        EXPECT_EQ(d.reading.Unit2Text, c.unit2);
        EXPECT_EQ(d.mirror.label4, c.label4);
        EXPECT_EQ(d.mirror.label5, c.label5);
    }
}

TEST(OakDecoder, SecondRowUnitStaysWhenAFrameSetsNone) {
    Decoded d;
    d.decoders.LcdDisplayOak(FrameBuilder().main("0001").second("0001").bit(94).text());
    d.decoders.LcdDisplayOak(FrameBuilder().main("0001").second("0001").text());
    EXPECT_EQ(d.reading.Unit2Text, "%RH");
    EXPECT_FALSE(d.mirror.shown(Annunciator::RH));
}

TEST(OakDecoder, EachFrameHidesWhatTheLastOneShowed) {
    Decoded d;
    d.decoders.LcdDisplayOak(FrameBuilder().main("0001").second("0001").bit(73).bit(102).bit(87).text());
    d.decoders.LcdDisplayOak(FrameBuilder().main("0001").second("0001").bit(74).text());
    EXPECT_EQ(d.shownAnnunciators(), std::set<std::string>{"MAX"});
}

TEST(OakDecoder, FourteenPositionFrameRepeatsItsLastDigit) {
    Decoded d;
    // Position 14 = F: digit 6's lower half, digits 7 and 8 and every
    // annunciator bit follow it, so the second row reads 8.8.
    FrameBuilder f = FrameBuilder().main("1234").digit(5, '8');
    std::string text = f.text(14);
    text[12] = 'F';
    text[13] = 'F';
    d.decoders.LcdDisplayOak(text);
    EXPECT_EQ(d.mirror.digit(Digit::LcdDa2), "8");
    EXPECT_EQ(d.mirror.digit(Digit::LcdDb2), "8");
    EXPECT_EQ(d.mirror.digit(Digit::LcdDc2), "8");
    EXPECT_EQ(d.reading.UnitText, "X100");  // bits 102..112 all set
    EXPECT_TRUE(d.mirror.shown(Annunciator::AVE));
    EXPECT_TRUE(d.mirror.shown(Annunciator::NO));
}

TEST(OakDecoder, ActivityBlinkerTogglesOnEveryFrameEvenBlankOnes) {
    Decoded d;
    EXPECT_FALSE(d.mirror.image1Visible);
    d.mirror.idleTicks = 3;
    d.decoders.LcdDisplayOak(FrameBuilder().text());
    EXPECT_TRUE(d.mirror.image1Visible);
    EXPECT_FALSE(d.mirror.image2Visible);
    EXPECT_EQ(d.mirror.idleTicks, 0);
    d.decoders.LcdDisplayOak(FrameBuilder().text());
    EXPECT_FALSE(d.mirror.image1Visible);
    EXPECT_TRUE(d.mirror.image2Visible);
}

TEST(OakDecoder, RunningExtremesRestartOnUnitOrPointChange) {
    Decoded d;
    auto frame = [](const char* main, int pointBit, int unitBit) {
        FrameBuilder f = FrameBuilder().main(main).second("0001").bit(unitBit);
        if (pointBit) f.bit(pointBit);
        return f.text();
    };
    // First frame: the start unit "113" matches nothing, so a restart.
    d.decoders.LcdDisplayOak(frame("0123", 28, 104));
    EXPECT_EQ(d.host.calls, kOakFullRun);
    EXPECT_EQ(d.mirror.maxText, "");
    EXPECT_EQ(d.mirror.minText, "");
    EXPECT_EQ(d.decoders.RunningMax(), -4000.0f);
    EXPECT_EQ(d.decoders.RunningMin(), 4000.0f);
    EXPECT_EQ(d.mirror.maxTextU, "m|s");

    // Same unit and point: the reading becomes both extremes.
    d.host.calls.clear();
    d.decoders.LcdDisplayOak(frame("0123", 28, 104));
    EXPECT_EQ(d.host.calls, (std::vector<std::string>{"alarm", "judge", "log"}));
    EXPECT_EQ(d.mirror.maxText, "01.23");
    EXPECT_EQ(d.mirror.minText, "01.23");

    d.decoders.LcdDisplayOak(frame("0200", 28, 104));
    d.decoders.LcdDisplayOak(frame("0050", 28, 104));
    EXPECT_EQ(d.mirror.maxText, "02.00");
    EXPECT_EQ(d.mirror.minText, "00.50");

    // The point moves from LcdP2 to LcdP3: restart, texts kept; the line
    // series is chosen when Fill is off.
    d.host.calls.clear();
    d.host.fill = false;
    d.decoders.LcdDisplayOak(frame("0300", 20, 104));
    EXPECT_EQ(d.host.calls, (std::vector<std::string>{"alarm", "series1", "judge", "log"}));
    EXPECT_EQ(d.mirror.maxText, "02.00");
    EXPECT_EQ(d.decoders.RunningPointPosition(), 3);
    d.decoders.LcdDisplayOak(frame("0310", 20, 104));
    EXPECT_EQ(d.mirror.maxText, "031.0");
    EXPECT_EQ(d.mirror.minText, "031.0");

    // The unit changes: restart again.
    d.host.calls.clear();
    d.decoders.LcdDisplayOak(frame("0310", 20, 106));
    EXPECT_EQ(d.host.calls[1], "series1");
    EXPECT_EQ(d.decoders.RunningUnit(), "ft|min");
}

TEST(OakDecoder, RangeClassSetsOverloadCountAndBar) {
    const struct {
        const char* rangeClass;
        double count;
        int bar;
    } cases[] = {{"4", 4000, 40}, {"6", 6000, 60}, {"34", 3400, 34}};
    for (const auto& c : cases) {
        Decoded d(".", c.rangeClass);
        d.decoders.LcdDisplayOak(FrameBuilder().main(" 0@ ").second("0001").text());
        EXPECT_EQ(d.decoders.DisplayCount(), c.count) << c.rangeClass;
        EXPECT_EQ(d.host.lastCount, c.count) << c.rangeClass;
        EXPECT_EQ(d.mirror.pbar2Position, c.bar) << c.rangeClass;
    }
}

TEST(PineDecoder, FramesGiveMirrorAndReading) {
    const struct {
        const char* name;
        std::string frame;
        const char* value;
        const char* value2;
        const char* unit;
        Captions captions;
        std::vector<std::string> calls;
    } cases[] = {
        {"m/s from bit 104", FrameBuilder().main("0123").bit(28).second("0001").bit(104).text(), "01.23", "0001",
         "m|s", {"0", "1", "2", "3", "0", "0", "0", "1"}, {"alarm", "log"}},
        {"bits past 104 show nothing",
         FrameBuilder().main("0123").second("0001").bit(105).bit(106).bit(108).bit(112).bit(113).text(), "0123",
         "0001", "", {"0", "1", "2", "3", "0", "0", "0", "1"}, {"alarm", "log"}},
        {"blank second row is still logged", FrameBuilder().main("0123").second("    ").text(), "0123", "", "",
         {"0", "1", "2", "3", "", "", "", ""}, {"alarm", "log"}},
        {"blank main row ends after the count", FrameBuilder().main("    ").second("0001").bit(103).text(), "",
         "0001", "CFM", kLayoutCaptions, {}},
        {"L outside the over-load is no number", FrameBuilder().main("@000").second("0001").text(), "@000", "0001",
         "", kLayoutCaptions, {}},
        {"over-load counts full scale", FrameBuilder().main(" 0@ ").second("0001").text(), "0L", "0001", "",
         {"", "0", "@", "", "0", "0", "0", "1"}, {"alarm", "log"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d;
        d.mirror.idleTicks = 2;
        const bool blinker = d.mirror.image1Visible;
        d.decoders.LcdDisplayPine(c.frame);
        EXPECT_EQ(d.reading.ValueText, c.value);
        EXPECT_EQ(d.reading.Value2Text, c.value2);
        EXPECT_EQ(d.reading.UnitText, c.unit);
        Captions captions;
        for (int i = 0; i < 8; ++i) captions[i] = d.mirror.digits[i];
        EXPECT_EQ(captions, c.captions);
        EXPECT_EQ(d.host.calls, c.calls);
        EXPECT_EQ(d.mirror.idleTicks, 0);
        EXPECT_EQ(d.mirror.image1Visible, blinker);
        EXPECT_EQ(d.mirror.pbar2Position, 30);  // the bar is not the Pine decoder's
    }
}

TEST(PineDecoder, TwentyPositionsRepeatToTwentySix) {
    Decoded d;
    // Position 20 holds 1: bits 77..80 end in 1 (usb), and the repeats
    // at 21..26 give bits 84, 88, ..., 104 (power, LCDHold, ..., ms).
    std::string frame = FrameBuilder().main("0001").second("0001").text(20);
    frame[19] = '1';
    d.decoders.LcdDisplayPine(frame);
    EXPECT_TRUE(d.mirror.shown(Annunciator::usb));
    EXPECT_TRUE(d.mirror.shown(Annunciator::ms));
    EXPECT_EQ(d.reading.UnitText, "m|s");
}

TEST(BirchDecoder, ElevenPositionSerialFrame) {
    Decoded d;
    d.reading.ValueText = "kept";
    d.reading.UnitText = "m|s";
    d.mirror.shown(Annunciator::LcdFH) = true;
    d.mirror.shown(Annunciator::AVE) = true;
    d.mirror.label4 = "^";
    std::string frame = FrameBuilder().digit(4, '1').pattern(3, "1011101").pattern(2, "0011111").digit(1, '3').text(10);
    frame[0] = 'A';
    frame += 'D';
    d.decoders.LcdDisplayBirch(frame);
    EXPECT_EQ(d.mirror.digit(Digit::LcdDa), "1");
    EXPECT_EQ(d.mirror.digit(Digit::LcdDb), "s");
    EXPECT_EQ(d.mirror.digit(Digit::LcdDc), "b");
    EXPECT_EQ(d.mirror.digit(Digit::LcdDd), "3");
    for (Digit g : {Digit::LcdDa2, Digit::LcdDb2, Digit::LcdDc2, Digit::LcdDd2}) EXPECT_EQ(d.mirror.digit(g), "");
    EXPECT_EQ(d.shownPoints(), (std::set<std::string>{"LcdP12", "LcdP22", "LcdP32"}));
    EXPECT_TRUE(d.mirror.conOkVisible);
    EXPECT_FALSE(d.mirror.conOkNVisible);
    // Display only: the reading's texts but the unit, the extremes, the
    // symbols it does not own and the decoder calls stay as they were.
    EXPECT_EQ(d.reading.ValueText, "kept");
    EXPECT_EQ(d.reading.UnitText, "");
    EXPECT_TRUE(d.mirror.shown(Annunciator::LcdFH));
    EXPECT_FALSE(d.mirror.shown(Annunciator::AVE));
    EXPECT_EQ(d.mirror.label4, "^");
    EXPECT_TRUE(d.host.calls.empty());
}
