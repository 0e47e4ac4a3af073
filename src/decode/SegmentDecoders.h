#pragma once

#include <string>
#include <string_view>

#include "decode/DecoderHost.h"
#include "decode/LcdMirror.h"
#include "decode/RangeClass.h"

namespace corvel {

// The three segment decoders. Each takes one accepted frame, updates the
// mirror and the reading, and calls out to the alarm, the judge, the log
// and the chart at fixed steps (Oak and Pine) or only shows the digits
// (Birch).
class SegmentDecoders {
public:
    SegmentDecoders(LcdMirror& mirror, Reading& reading, DecoderHost& host)
        : mirror_(mirror), reading_(reading), host_(host) {}

    // The range class values and the extremes' start values.
    void SetRange(const RangeValues& range);
    const RangeValues& Range() const { return range_; }
    // The text put in a row where the LCD lights a decimal point.
    void SetDecimalSeparator(std::string separator) { separator_ = std::move(separator); }
    const std::string& DecimalSeparator() const { return separator_; }

    void LcdDisplayOak(std::string_view frame);
    void LcdDisplayPine(std::string_view frame);
    void LcdDisplayBirch(std::string_view frame);

    double DisplayCount() const { return displayCount_; }
    float RunningMax() const { return runningMax_; }
    float RunningMin() const { return runningMin_; }
    const std::string& RunningMaxText() const { return runningMaxText_; }
    const std::string& RunningMinText() const { return runningMinText_; }
    const std::string& RunningUnit() const { return runningUnit_; }
    int RunningPointPosition() const { return runningPointPosition_; }

private:
    struct Rows;
    // Steps shared by Oak and Pine: annunciators, digits, points, unit
    // texts and the two row texts.
    Rows decodeRows(std::string_view frame, int positions);
    void setDigitCaptions(const Rows& rows);
    static int pointPosition(const LcdMirror& mirror);

    LcdMirror& mirror_;
    Reading& reading_;
    DecoderHost& host_;
    RangeValues range_;
    std::string separator_ = ".";

    double displayCount_ = 0.0;
    float runningMax_ = -40.0f;
    float runningMin_ = 40.0f;
    std::string runningMaxText_;
    std::string runningMinText_;
    std::string runningUnit_ = "113";
    int runningPointPosition_ = 0;
};

}  // namespace corvel
