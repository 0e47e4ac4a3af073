#pragma once

#include <string>
#include <string_view>

namespace corvel {

// The values that follow from the meter display's digit-count class: a
// 4000-count ("4"), 6000-count ("6") or 3400-count ("34") display.
struct RangeValues {
    std::string rangeClass = "4";
    int FullScale = 4000;
    int OverloadBarPosition = 40;
    float AlarmHigh = 40.0f;
    float AlarmLow = -40.0f;
    float RunningMax = -40.0f;  // start values of the running extremes
    float RunningMin = 40.0f;
    std::string RunningUnit = "113";  // matches no unit, so the first reading restarts
    // Texts of the threshold edits and the extremes panel; empty means the
    // layout's own text stays.
    std::string SetmaxText;
    std::string SetMinText;
    std::string MinTextCaption;
    std::string MaxTextCaption;
};

// The class "4" values, replaced by the "6" or "34" column where the class
// says so. Any other class text keeps the "4" values.
RangeValues RangeValuesFor(std::string_view rangeClass);

}  // namespace corvel
