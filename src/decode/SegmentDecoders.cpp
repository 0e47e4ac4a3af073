#include "decode/SegmentDecoders.h"

#include <array>

#include "decode/SegmentFormat.h"

namespace corvel {

namespace {

using A = Annunciator;

// What an annunciator bit drives: an element, and where given a unit text
// for the main row (unit) or the second row (unit2).
// Bits 90 and 92 drive the caption-driven labels Label4 and Label5 rather
// than an element that is shown or hidden; bit 91 drives nothing.
enum class Drives : std::uint8_t { Element, Label4, Label5 };
struct AnnunciatorBit {
    int bit;
    A element;
    const char* unit;
    const char* unit2;
    Drives drives = Drives::Element;
};

constexpr std::array<AnnunciatorBit, 40> kAnnunciatorBits{{
    {73, A::AVE, nullptr, nullptr},      {74, A::MAX, nullptr, nullptr},
    {75, A::V23, nullptr, nullptr},      {76, A::PH, nullptr, nullptr},
    {77, A::MIN, nullptr, nullptr},      {78, A::rec, nullptr, nullptr},
    {79, A::READ, nullptr, nullptr},     {80, A::usb, nullptr, nullptr},
    {81, A::ESC, nullptr, nullptr},      {82, A::VEL, nullptr, nullptr},
    {83, A::NODATA, nullptr, nullptr},   {84, A::power, nullptr, nullptr},
    {85, A::frame, nullptr, nullptr},    {86, A::FLOW, nullptr, nullptr},
    {87, A::LcdFH, nullptr, nullptr},    {88, A::LCDHold, nullptr, nullptr},
    {89, A::t_p, nullptr, nullptr},      {90, A::AVE, nullptr, "^", Drives::Label4},
    {92, A::AVE, nullptr, ">", Drives::Label5}, {93, A::c, nullptr, "#"},
    {94, A::RH, nullptr, "%RH"},         {95, A::f, nullptr, "$"},
    {96, A::KEY, nullptr, nullptr},      {97, A::TEMP, nullptr, nullptr},
    {98, A::LOAD, nullptr, nullptr},     {99, A::loadNO, nullptr, nullptr},
    {100, A::time_l, nullptr, nullptr},  {101, A::TIMER, nullptr, nullptr},
    {102, A::CMM, "CMM", nullptr},       {103, A::CFM, "CFM", nullptr},
    {104, A::ms, "m|s", nullptr},        {105, A::knots, "Knots", nullptr},
    {106, A::ftmin, "ft|min", nullptr},  {107, A::mph, "MPH", nullptr},
    {108, A::X1, "x1", nullptr},         {109, A::kmh, "Km|h", nullptr},
    {110, A::Z1, "X10", nullptr},        {111, A::p_off, nullptr, nullptr},
    {112, A::Z0, "X100", nullptr},       {113, A::NO, nullptr, nullptr},
}};

// Point bits with the point they light. Bit 12 (the rightmost digit's
// point) is ignored: the LCD has no point there, and a separator the mirror
// does not show would make the reading disagree with the display.
struct PointBit {
    int bit;
    Point point;
};
constexpr std::array<PointBit, 6> kPointBits{{{20, Point::LcdP3},
                                              {28, Point::LcdP2},
                                              {36, Point::LcdP1},
                                              {52, Point::LcdP32},
                                              {60, Point::LcdP22},
                                              {68, Point::LcdP12}}};

void hideEachFrame(LcdMirror& mirror) {
    for (int i = 0; i < kHiddenEachFrame; ++i) mirror.annunciators[i] = false;
}

bool blank(const std::string& text) {
    for (char ch : text) {
        if (static_cast<unsigned char>(ch) > ' ') return false;
    }
    return true;
}

// The integer a run of displayed digits reads as, or -1 when it is not an
// integer (no digit at all, or the L of an over-load among them).
long digitsValue(std::initializer_list<char> digits) {
    long value = 0;
    bool any = false;
    for (char d : digits) {
        if (d == 0) continue;  // a blank digit adds nothing
        if (d < '0' || d > '9') return -1;
        value = value * 10 + (d - '0');
        any = true;
    }
    return any ? value : -1;
}

}  // namespace

struct SegmentDecoders::Rows {
    std::array<char, 9> digit{};  // digits 1..8, 0 for blank
    bool overload = false;        // main row reads 0L in LcdDb, LcdDc
    long count = -1;              // main row as an integer, -1 if none
};

void SegmentDecoders::SetRange(const RangeValues& range) {
    range_ = range;
    runningMax_ = range.RunningMax;
    runningMin_ = range.RunningMin;
    runningUnit_ = range.RunningUnit;
}

int SegmentDecoders::pointPosition(const LcdMirror& mirror) {
    int p = 0;
    if (mirror.point(Point::LcdP1)) p = 1;
    if (mirror.point(Point::LcdP2)) p = 2;
    if (mirror.point(Point::LcdP3)) p = 3;
    return p;
}

SegmentDecoders::Rows SegmentDecoders::decodeRows(std::string_view frame, int positions) {
    const SegmentBits bits(frame, positions);
    hideEachFrame(mirror_);
    Rows rows;
    for (int k = 1; k <= 8; ++k) rows.digit[k] = SegmentCodeTable::Lookup(bits.pattern(k));
    reading_.UnitText.clear();

    std::array<const std::string*, 9> sep{};  // separator after digit k (to its right)
    static const std::string kNone;
    sep.fill(&kNone);
    for (const PointBit& pb : kPointBits) {
        const bool on = bits.bit(pb.bit);
        mirror_.point(pb.point) = on;
        // the point of bit 8k + 4 stands right of digit k
        sep[(pb.bit - 4) / 8] = on ? &separator_ : &kNone;
    }

    // Ascending bit order: where several unit bits are set, the highest wins.
    for (const AnnunciatorBit& ab : kAnnunciatorBits) {
        const bool on = bits.bit(ab.bit);
        switch (ab.drives) {
            case Drives::Element: mirror_.shown(ab.element) = on; break;
            case Drives::Label4: mirror_.label4 = on ? ab.unit2 : ""; break;
            case Drives::Label5: mirror_.label5 = on ? ab.unit2 : ""; break;
        }
        if (!on) continue;
        if (ab.unit) reading_.UnitText = ab.unit;
        if (ab.unit2) reading_.Unit2Text = ab.unit2;
    }

    auto shown = [](char d, bool thirdFromLeft) -> std::string {
        if (d == 0) return {};
        if (thirdFromLeft && d == '@') return "L";
        return std::string(1, d);
    };
    const auto& d = rows.digit;
    reading_.ValueText = shown(d[4], false) + *sep[4] + shown(d[3], false) + *sep[3] +
                         shown(d[2], true) + *sep[2] + shown(d[1], false);
    reading_.Value2Text = shown(d[8], false) + *sep[8] + shown(d[7], false) + *sep[7] +
                          shown(d[6], true) + *sep[6] + shown(d[5], false);

    rows.overload = d[3] == '0' && d[2] == '@';
    rows.count = digitsValue({d[4], d[3], d[2], d[1]});
    return rows;
}

void SegmentDecoders::setDigitCaptions(const Rows& rows) {
    static constexpr Digit kOrder[9] = {Digit::LcdDd,  Digit::LcdDd,  Digit::LcdDc,
                                        Digit::LcdDb,  Digit::LcdDa,  Digit::LcdDd2,
                                        Digit::LcdDc2, Digit::LcdDb2, Digit::LcdDa2};
    for (int k = 1; k <= 8; ++k) {
        std::string& caption = mirror_.digit(kOrder[k]);
        caption.clear();
        if (rows.digit[k] != 0) caption.push_back(rows.digit[k]);
    }
}

void SegmentDecoders::LcdDisplayOak(std::string_view frame) {
    mirror_.image1Visible = !mirror_.image1Visible;
    mirror_.image2Visible = !mirror_.image2Visible;
    mirror_.idleTicks = 0;

    const Rows rows = decodeRows(frame, 32);
    // A blank row means the meter is between readings: leave everything
    // that depends on the numbers as it was.
    if (blank(reading_.ValueText) || blank(reading_.Value2Text)) return;

    displayCount_ = rows.overload ? range_.FullScale : (rows.count < 0 ? 0 : rows.count);
    host_.OverLimitAlarm(displayCount_);

    const int p = pointPosition(mirror_);
    if (reading_.UnitText == runningUnit_ && p == runningPointPosition_) {
        if (displayCount_ >= runningMax_) {
            runningMaxText_ = reading_.ValueText;
            runningMax_ = static_cast<float>(displayCount_);
        }
        if (displayCount_ <= runningMin_) {
            runningMinText_ = reading_.ValueText;
            runningMin_ = static_cast<float>(displayCount_);
        }
    } else {
        host_.ShowSeries(host_.BtFillChecked() ? 0 : 1);
        runningUnit_ = reading_.UnitText;
        runningMax_ = static_cast<float>(-range_.FullScale);
        runningMin_ = static_cast<float>(range_.FullScale);
    }
    runningPointPosition_ = p;

    mirror_.maxText = runningMaxText_;
    mirror_.minText = runningMinText_;
    mirror_.maxTextU = reading_.UnitText;
    mirror_.minTextU = reading_.UnitText;
    setDigitCaptions(rows);

    host_.JudgeReading();
    host_.INDataToTable();

    if (rows.overload) {
        mirror_.setBar(range_.OverloadBarPosition);
    } else {
        const long n = digitsValue({rows.digit[4], rows.digit[3]});
        mirror_.setBar(n > 1 ? n : 1);
    }
}

void SegmentDecoders::LcdDisplayPine(std::string_view frame) {
    mirror_.idleTicks = 0;
    const Rows rows = decodeRows(frame, 26);
    if (rows.overload) {
        displayCount_ = range_.FullScale;
    } else if (rows.count >= 0) {
        displayCount_ = static_cast<double>(rows.count);
    } else {
        return;  // no number on the main row: nothing more for this frame
    }
    host_.OverLimitAlarm(displayCount_);
    runningPointPosition_ = pointPosition(mirror_);
    mirror_.maxText = runningMaxText_;
    mirror_.minText = runningMinText_;
    mirror_.maxTextU = reading_.UnitText;
    mirror_.minTextU = reading_.UnitText;
    setDigitCaptions(rows);
    host_.INDataToTable();
}

void SegmentDecoders::LcdDisplayBirch(std::string_view frame) {
    mirror_.conOkVisible = true;
    mirror_.conOkNVisible = false;
    mirror_.idleTicks = 0;

    const SegmentBits bits(frame, 32);
    hideEachFrame(mirror_);
    Rows rows;
    for (int k = 1; k <= 8; ++k) rows.digit[k] = BirchLookup(k, bits.pattern(k));
    reading_.UnitText.clear();
    mirror_.point(Point::LcdP1) = bits.bit(36);
    mirror_.point(Point::LcdP3) = bits.bit(20);
    mirror_.point(Point::LcdP2) = bits.bit(28);
    mirror_.point(Point::LcdP32) = bits.bit(52);
    mirror_.point(Point::LcdP22) = bits.bit(60);
    mirror_.point(Point::LcdP12) = bits.bit(68);
    setDigitCaptions(rows);
}

}  // namespace corvel
