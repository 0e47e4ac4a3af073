#include "decode/RangeClass.h"

namespace corvel {

RangeValues RangeValuesFor(std::string_view rangeClass) {
    RangeValues v;  // class "4", written first and unconditionally
    v.rangeClass = std::string(rangeClass);
    if (rangeClass == "6") {
        v.FullScale = 6000;
        v.OverloadBarPosition = 60;
        v.AlarmHigh = 6002.0f;
        v.AlarmLow = -6002.0f;
        v.RunningMax = -6001.0f;
        v.RunningMin = 6001.0f;
        v.SetmaxText = "6000";
        v.SetMinText = "-6000";
        v.MinTextCaption = "6001";
        v.MaxTextCaption = "-6001";
    } else if (rangeClass == "34") {
        v.FullScale = 3400;
        v.OverloadBarPosition = 34;
        v.AlarmHigh = 3402.0f;
        v.AlarmLow = -3402.0f;
        v.RunningMax = -3401.0f;
        v.RunningMin = 3401.0f;
        v.SetmaxText = "3400";
        v.SetMinText = "-3400";
        v.MinTextCaption = "3401";
        v.MaxTextCaption = "-3401";
    }
    return v;
}

}  // namespace corvel
