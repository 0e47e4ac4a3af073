#pragma once

#include <QSettings>

namespace corvel {

// The chart's view options from the Graphic menu, remembered between runs
// in the user's settings under "chart/". Without settings (tests that do
// not ask for them) nothing is read or written and both stay off.
class ChartViewSettings {
public:
    explicit ChartViewSettings(QSettings* settings) : settings_(settings) {}

    static constexpr const char* kFitToReadings = "chart/fitToReadings";
    static constexpr const char* kLimitLines = "chart/limitLines";

    // A key never written, or a value that is no truth value, reads off.
    bool Read(const char* key) const;
    void Write(const char* key, bool on) const;

private:
    QSettings* settings_;
};

}  // namespace corvel
