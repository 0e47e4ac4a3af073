#include "decode/LcdMirror.h"

namespace corvel {

std::string_view AnnunciatorName(Annunciator a) {
    static constexpr std::string_view kNames[kAnnunciatorCount] = {
        "AVE",  "MAX",   "PH",    "MIN",  "READ",   "rec",   "NO",    "usb",     "ESC",    "NODATA",
        "power", "VEL",  "frame", "FLOW", "t_p",    "c",     "f",     "RH",      "KEY",    "TEMP",
        "LOAD", "time_l", "TIMER", "p_off", "CFM",  "CMM",   "ms",    "knots",   "mph",    "ftmin",
        "X1",   "kmh",   "LCDHold", "V23", "Z0",    "Z1",    "loadNO", "LcdFH"};
    return kNames[static_cast<int>(a)];
}

std::string_view DigitName(Digit d) {
    static constexpr std::string_view kNames[kDigitCount] = {"LcdDa",  "LcdDb",  "LcdDc",  "LcdDd",
                                                             "LcdDa2", "LcdDb2", "LcdDc2", "LcdDd2"};
    return kNames[static_cast<int>(d)];
}

std::string_view PointName(Point p) {
    static constexpr std::string_view kNames[kPointCount] = {"LcdP1",  "LcdP2",  "LcdP3",
                                                             "LcdP12", "LcdP22", "LcdP32"};
    return kNames[static_cast<int>(p)];
}

}  // namespace corvel
