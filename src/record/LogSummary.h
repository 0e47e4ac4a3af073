#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/ReadingLogStore.h"

namespace corvel {

// Figures of one value column over the rows whose text is a number.
struct ColumnFigures {
    long long count = 0;  // rows with a number
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    // Of all the numbers (divided by their count, not one less), so that
    // a single reading has a deviation of 0.
    double deviation = 0;
};

// What a log sums up to. Value texts count when they are numbers in the
// log's decimal separator; "OL" and the like are left out of the figures.
struct LogSummary {
    long long rows = 0;
    std::string firstTime;  // the first and the last row's time ("" without rows)
    std::string lastTime;
    // Those times as seconds of the day, when they are times.
    std::optional<int> firstSecond;
    std::optional<int> lastSecond;
    ColumnFigures value;
    ColumnFigures value2;
    // The limits, when they are numbers.
    std::optional<double> high;
    std::optional<double> low;
    // Rows whose Value lies above the High limit / below the Low limit;
    // nothing when that limit is no number.
    std::optional<long long> aboveHigh;
    std::optional<long long> belowLow;
};

// The limits and separator the figures are taken with.
struct SummaryLimits {
    char decimal = '.';
    std::string high;  // the limit texts as the user typed them
    std::string low;
};

// Takes rows one at a time, so a writer that walks the log once can sum
// it up on the way.
class SummaryBuilder {
public:
    explicit SummaryBuilder(const SummaryLimits& limits);
    void Add(const ReadingLogStore& rows, int row);
    // The same, with the row's Value and Value2 numbers already read (a
    // writer that needs them anyway reads them once).
    void Add(const ReadingLogStore& rows, int row, std::optional<double> value, std::optional<double> value2);
    LogSummary Result() const;

    // The number a value text stands for, if any.
    std::optional<double> Number(std::string_view text) const;

private:
    struct Running {
        long long count = 0;
        long double mean = 0;
        long double m2 = 0;  // sum of squared distances from the mean
        double minimum = 0;
        double maximum = 0;
        void Add(double v);
        ColumnFigures Figures() const;
    };
    SummaryLimits limits_;
    std::optional<double> high_;
    std::optional<double> low_;
    LogSummary summary_;
    Running value_;
    Running value2_;
    // The last row's time is formatted only when asked for.
    const ReadingLogStore* lastRows_ = nullptr;
    int lastRow_ = 0;
};

LogSummary Summarize(const ReadingLogStore& rows, const SummaryLimits& limits);

// The summary as label and text pairs, in the order people read them: the
// rows and times, the Value figures, the Value2 figures when a Value2 is a
// number, and the limit counts when the limits are numbers.
struct SummaryLine {
    std::string label;
    std::string text;
    std::optional<double> number;  // for a spreadsheet cell
};
std::vector<SummaryLine> SummaryLines(const LogSummary& summary);

// A number as short as it can be written and still read back the same.
std::string ShortestText(double v);

}  // namespace corvel
