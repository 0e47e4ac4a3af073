#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvel {

// Every annunciator of the mirror. The first 36 are the ones each decoded
// frame hides before it shows those whose bit is set; LcdFH and loadNO are
// set straight from their bits.
enum class Annunciator : std::uint8_t {
    AVE, MAX, PH, MIN, READ, rec, NO, usb, ESC, NODATA, power, VEL, frame, FLOW, t_p, c, f, RH,
    KEY, TEMP, LOAD, time_l, TIMER, p_off, CFM, CMM, ms, knots, mph, ftmin, X1, kmh, LCDHold,
    V23, Z0, Z1,
    // not in the hide list
    loadNO, LcdFH,
};
constexpr int kAnnunciatorCount = 38;
constexpr int kHiddenEachFrame = 36;

std::string_view AnnunciatorName(Annunciator a);

// The mirror's digit labels: main row LcdDa..LcdDd, second row LcdDa2..LcdDd2.
enum class Digit : std::uint8_t { LcdDa, LcdDb, LcdDc, LcdDd, LcdDa2, LcdDb2, LcdDc2, LcdDd2 };
constexpr int kDigitCount = 8;
std::string_view DigitName(Digit d);

enum class Point : std::uint8_t { LcdP1, LcdP2, LcdP3, LcdP12, LcdP22, LcdP32 };
constexpr int kPointCount = 6;
std::string_view PointName(Point p);

// The on-screen copy of the meter's display, and the few elements beside it
// that the decoders drive. The window draws whatever this says.
struct LcdMirror {
    // Captions as the layout has them: 3 0 0 0 over 9 9 9 9.
    std::array<std::string, kDigitCount> digits{"3", "0", "0", "0", "9", "9", "9", "9"};
    std::array<bool, kPointCount> points{};
    std::array<bool, kAnnunciatorCount> annunciators{};
    std::string label4 = "^";  // caption-driven symbols of the second row's unit
    std::string label5 = ">";

    bool image1Visible = false;  // the activity blinker pair
    bool image2Visible = true;
    bool conOkVisible = false;   // link images: data arriving / no data
    bool conOkNVisible = true;
    int pbar2Position = 30;      // bar graph, range 0..60

    // The running extremes panel.
    std::string maxText = "30.00";
    std::string minText = "00.00";
    std::string maxTextU;
    std::string minTextU;

    // Decoder runs since the link watch last looked.
    int idleTicks = 0;

    std::string& digit(Digit d) { return digits[static_cast<int>(d)]; }
    const std::string& digit(Digit d) const { return digits[static_cast<int>(d)]; }
    bool& point(Point p) { return points[static_cast<int>(p)]; }
    bool point(Point p) const { return points[static_cast<int>(p)]; }
    bool& shown(Annunciator a) { return annunciators[static_cast<int>(a)]; }
    bool shown(Annunciator a) const { return annunciators[static_cast<int>(a)]; }

    // The bar graph holds its range; a value outside it is clamped.
    void setBar(long long position) {
        pbar2Position = static_cast<int>(position < 0 ? 0 : position > 60 ? 60 : position);
    }
};

// The reading the decoders leave for the judge, the log and the chart.
struct Reading {
    std::string ValueText;
    std::string UnitText;
    std::string Value2Text;
    std::string Unit2Text;
    double MeasuredValue = 0.0;
};

}  // namespace corvel
