#pragma once

// A hand-held air-speed meter held in a draught: the air wanders around a
// few metres a second with gusts now and then, the meter refreshes its
// display twice a second, and its second row shows the air temperature.
// The "user" switches between m/s and ft/min from time to time, which moves
// the point, and a strong gust drives the meter over its range (0L).
//
// The unit change reaches the display at the next refresh, with the digits
// of that refresh: the display changes as a whole, never half.
//
// Everything is driven by simulated time and a seed, so a run can be
// replayed exactly.

#include <cstdint>
#include <random>

#include "sim/MeterFrames.h"

namespace corvel::sim {

class ReadingModel {
public:
    using Unit = SpeedUnit;

    static constexpr double kRefreshSeconds = 0.5;

    // `temperatureDecimals`: the second row's digits after the point, 0 or
    // 1 (whole degrees are what a serial Oak frame carries).
    explicit ReadingModel(std::uint32_t seed, int temperatureDecimals = 0);

    // Moves the air, the temperature and the user on by `seconds`; the
    // display changes at each refresh that falls in that time.
    void Advance(double seconds);

    const Display& display() const { return display_; }
    double airSpeed() const { return base_ + gust_; }    // m/s
    double temperature() const { return temperature_; }  // deg C
    // The unit the user has chosen; the display shows it from the next
    // refresh on.
    Unit unit() const { return unit_; }

    // The display for an air speed in a unit, as the meter ranges it.
    static Display Show(double metresPerSecond, Unit unit, double celsius, int temperatureDecimals = 0);

private:
    void Step(double dt);
    void Refresh();

    int temperatureDecimals_;
    std::mt19937 rng_;
    double base_ = 3.2;
    double gust_ = 0.0;
    double gustTarget_ = 0.0;
    double temperature_ = 17.0;
    Unit unit_ = Unit::MetresPerSecond;
    double untilUnitChange_;
    double sinceRefresh_ = 0.0;
    Display display_;
};

}  // namespace corvel::sim
