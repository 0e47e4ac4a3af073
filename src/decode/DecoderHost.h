#pragma once

namespace corvel {

// What a segment decoder calls out to at its fixed steps: the over-limit
// alarm and the limit judge, the reading log, and the chart's series
// choice. The program wires these to the judge, the log and the chart;
// tests record the calls.
class DecoderHost {
public:
    virtual ~DecoderHost() = default;
    virtual void OverLimitAlarm(double displayCount) = 0;
    virtual void JudgeReading() = 0;
    virtual void INDataToTable() = 0;
    virtual void ShowSeries(int index) = 0;
    virtual bool BtFillChecked() const = 0;
};

}  // namespace corvel
