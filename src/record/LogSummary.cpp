#include "record/LogSummary.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "record/NumberText.h"

namespace corvel {

void SummaryBuilder::Running::Add(double v) {
    if (count == 0) {
        minimum = maximum = v;
    } else {
        minimum = std::min(minimum, v);
        maximum = std::max(maximum, v);
    }
    // Welford's running mean and spread: one pass, and no loss of the
    // small differences between large readings.
    ++count;
    const long double d = v - mean;
    mean += d / static_cast<long double>(count);
    m2 += d * (v - mean);
}

ColumnFigures SummaryBuilder::Running::Figures() const {
    ColumnFigures f;
    f.count = count;
    if (count == 0) return f;
    f.minimum = minimum;
    f.maximum = maximum;
    f.mean = static_cast<double>(mean);
    f.deviation = static_cast<double>(std::sqrt(std::max<long double>(0, m2 / count)));
    return f;
}

SummaryBuilder::SummaryBuilder(const SummaryLimits& limits) : limits_(limits) {
    high_ = Number(limits_.high);
    low_ = Number(limits_.low);
    summary_.high = high_;
    summary_.low = low_;
    if (high_) summary_.aboveHigh = 0;
    if (low_) summary_.belowLow = 0;
}

std::optional<double> SummaryBuilder::Number(std::string_view text) const {
    const auto v = ReadNumber(text, limits_.decimal);
    if (!v) return std::nullopt;
    const auto d = static_cast<double>(*v);
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}

void SummaryBuilder::Add(const ReadingLogStore& rows, int row) {
    Add(rows, row, Number(rows.TextView(row, ReadingLogStore::Value)),
        Number(rows.TextView(row, ReadingLogStore::Value2)));
}

void SummaryBuilder::Add(const ReadingLogStore& rows, int row, std::optional<double> value,
                         std::optional<double> value2) {
    if (summary_.rows == 0) {
        rows.AppendText(row, ReadingLogStore::Time, summary_.firstTime);
        summary_.firstSecond = rows.SecondOfDay(row);
    }
    ++summary_.rows;
    if (value) {
        value_.Add(*value);
        if (high_ && *value > *high_) ++*summary_.aboveHigh;
        if (low_ && *value < *low_) ++*summary_.belowLow;
    }
    if (value2) value2_.Add(*value2);
    lastRow_ = row;
    lastRows_ = &rows;
}

LogSummary SummaryBuilder::Result() const {
    LogSummary s = summary_;
    if (lastRows_) {
        s.lastTime = lastRows_->Text(lastRow_, ReadingLogStore::Time);
        s.lastSecond = lastRows_->SecondOfDay(lastRow_);
    }
    s.value = value_.Figures();
    s.value2 = value2_.Figures();
    return s;
}

LogSummary Summarize(const ReadingLogStore& rows, const SummaryLimits& limits) {
    SummaryBuilder builder(limits);
    for (int row = 0; row < rows.RowCount(); ++row) builder.Add(rows, row);
    return builder.Result();
}

std::string ShortestText(double v) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

namespace {
SummaryLine Figure(std::string label, double v) {
    return {std::move(label), ShortestText(v), v};
}
SummaryLine Count(std::string label, long long n) {
    return {std::move(label), std::to_string(n), static_cast<double>(n)};
}
void AddColumn(std::vector<SummaryLine>& lines, const std::string& name, const ColumnFigures& f) {
    lines.push_back(Count(name + " numbers", f.count));
    if (f.count == 0) return;
    lines.push_back(Figure(name + " minimum", f.minimum));
    lines.push_back(Figure(name + " maximum", f.maximum));
    lines.push_back(Figure(name + " mean", f.mean));
    lines.push_back(Figure(name + " standard deviation", f.deviation));
}
}  // namespace

std::vector<SummaryLine> SummaryLines(const LogSummary& s) {
    std::vector<SummaryLine> lines;
    lines.push_back(Count("Rows", s.rows));
    lines.push_back({"First time", s.firstTime, std::nullopt});
    lines.push_back({"Last time", s.lastTime, std::nullopt});
    AddColumn(lines, "Value", s.value);
    if (s.value2.count > 0) AddColumn(lines, "Value2", s.value2);
    if (s.high) lines.push_back(Figure("High limit", *s.high));
    if (s.low) lines.push_back(Figure("Low limit", *s.low));
    if (s.aboveHigh) lines.push_back(Count("Rows above High", *s.aboveHigh));
    if (s.belowLow) lines.push_back(Count("Rows below Low", *s.belowLow));
    return lines;
}

}  // namespace corvel
