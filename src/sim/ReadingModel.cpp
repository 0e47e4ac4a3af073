#include "sim/ReadingModel.h"

#include <algorithm>
#include <cmath>

namespace corvel::sim {

namespace {

constexpr double kMeanSpeed = 3.2;      // m/s
constexpr double kSpeedPull = 0.25;     // 1/s, how fast the air returns to its mean
constexpr double kSpeedNoise = 0.35;    // m/s per sqrt(s)
constexpr double kGustRate = 1.0 / 12;  // gusts a second
constexpr double kStrongGustShare = 0.12;
constexpr double kGustDecay = 0.6;  // 1/s
constexpr double kGustRise = 4.0;   // 1/s
constexpr double kFeetPerMinute = 196.850394;
constexpr double kStep = 0.05;  // s, the model's own time step

double uniform(std::mt19937& rng, double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
}

}  // namespace

ReadingModel::ReadingModel(std::uint32_t seed, int temperatureDecimals)
    : temperatureDecimals_(std::clamp(temperatureDecimals, 0, 1)),
      rng_(seed),
      untilUnitChange_(uniform(rng_, 45, 90)) {
    Refresh();
}

void ReadingModel::Advance(double seconds) {
    while (seconds > 0) {
        const double dt = std::min(seconds, kStep);
        Step(dt);
        seconds -= dt;
        sinceRefresh_ += dt;
        if (sinceRefresh_ >= kRefreshSeconds - 1e-9) {
            sinceRefresh_ -= kRefreshSeconds;
            Refresh();
        }
    }
}

void ReadingModel::Step(double dt) {
    std::normal_distribution<double> normal(0.0, 1.0);
    base_ += kSpeedPull * (kMeanSpeed - base_) * dt + kSpeedNoise * std::sqrt(dt) * normal(rng_);
    base_ = std::clamp(base_, 0.3, 9.0);

    if (uniform(rng_, 0, 1) < kGustRate * dt) {
        const bool strong = uniform(rng_, 0, 1) < kStrongGustShare;
        gustTarget_ += strong ? uniform(rng_, 38, 50) : uniform(rng_, 1, 5);
    }
    // A gust builds up quickly and dies away slowly.
    gust_ += (gustTarget_ - gust_) * std::min(1.0, kGustRise * dt);
    gustTarget_ *= std::exp(-kGustDecay * dt);
    if (gustTarget_ < 0.01 && gust_ < 0.01) gust_ = gustTarget_ = 0.0;

    temperature_ += 0.02 * (17.0 - temperature_) * dt + 0.05 * std::sqrt(dt) * normal(rng_);
    temperature_ = std::clamp(temperature_, 10.0, 19.4);

    untilUnitChange_ -= dt;
    if (untilUnitChange_ <= 0) {
        if (unit_ == Unit::MetresPerSecond) {
            unit_ = Unit::FeetPerMinute;
            untilUnitChange_ = uniform(rng_, 20, 40);
        } else {
            unit_ = Unit::MetresPerSecond;
            untilUnitChange_ = uniform(rng_, 45, 90);
        }
    }
}

void ReadingModel::Refresh() {
    display_ = Show(airSpeed(), unit_, temperature_, temperatureDecimals_);
}

Display ReadingModel::Show(double metresPerSecond, Unit unit, double celsius, int temperatureDecimals) {
    Display d;
    d.unit = unit;
    d.temperature = true;
    // Whole degrees keep to 10..19, which an Oak frame carries whole (see
    // MeterFrames.h); tenths go where the whole frame travels.
    if (temperatureDecimals > 0) {
        FormatRow(std::clamp(celsius, 10.0, 19.9), 1, d.second);
        d.secondDecimals = 1;
    } else {
        FormatRow(std::clamp(std::round(celsius), 10.0, 19.0), 0, d.second);
        d.secondDecimals = 0;
    }

    // A 4000-count meter: m/s with two decimals up to 39.99; ft/min with
    // one decimal below 400 and whole numbers up to 3999.
    double value = metresPerSecond;
    int decimals = 2;
    if (unit == Unit::FeetPerMinute) {
        value = metresPerSecond * kFeetPerMinute;
        decimals = value < 399.95 ? 1 : 0;
    }
    const double count = std::round(value * std::pow(10.0, decimals));
    if (count > 3999 || !FormatRow(value, decimals, d.main)) return Overload(d);
    d.mainDecimals = decimals;
    return d;
}

}  // namespace corvel::sim
