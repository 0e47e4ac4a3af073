#pragma once

#include <string>
#include <vector>

#include "record/ReadingLog.h"
#include "support/ScriptedClock.h"
#include "support/ScriptedPrompts.h"

namespace corvel::test {

// The chart as the log sees it: records what the log asked of it.
class RecordingLogChart : public ReadingLogChart {
public:
    std::vector<double> values;
    std::vector<std::string> calls;  // "clear", "new"
    int page = 1;
    int caption = -1;

    void AddValue(double value) override { values.push_back(value); }
    int Page() const override { return page; }
    void SetPageCaption(int p) override { caption = p; }
    void ClearView() override { calls.push_back("clear"); }
    void BtNewClick() override { calls.push_back("new"); }
};

// A decoded reading handed to the log, as a decoder does.
inline void ReadInto(Reading& reading, ReadingLog& log, const std::string& value, const std::string& unit,
                     const std::string& value2, const std::string& unit2, double measured) {
    reading.ValueText = value;
    reading.UnitText = unit;
    reading.Value2Text = value2;
    reading.Unit2Text = unit2;
    reading.MeasuredValue = measured;
    log.INDataToTable();
}

// Each row as "No time Value Unit Value2 Unit2", fields joined by '|'.
inline std::vector<std::string> RowsOf(const ReadingLog& log) {
    std::vector<std::string> rows;
    for (int r = 0; r < log.RowCount(); ++r) {
        std::string line;
        for (int f = 0; f < ReadingLog::kFieldCount; ++f) {
            if (f) line += '|';
            log.AppendText(r, f, line);
        }
        rows.push_back(line);
    }
    return rows;
}

// A log with everything it talks to scripted.
struct LogRig {
    Reading reading;
    LcdMirror mirror;
    RecordingLogChart chart;
    ScriptedPrompts prompts;
    ScriptedClock clock;
    ReadingLog log{reading, mirror, chart, prompts, clock, ":"};

    void Read(const std::string& value, const std::string& unit, const std::string& value2 = "",
              const std::string& unit2 = "", double measured = 0) {
        ReadInto(reading, log, value, unit, value2, unit2, measured);
    }
    std::vector<std::string> Rows() const { return RowsOf(log); }
};

}  // namespace corvel::test
